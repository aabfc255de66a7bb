#include "scheduler/ScheduleForm.h"

#include <algorithm>

namespace stowline::scheduler {

namespace {
constexpr qint32 kMinutesPerHour = 60;
constexpr int kDaysPerWeek = 7;

bool anyTicked(const std::array<bool, 7>& weekdays) {
    return std::any_of(weekdays.begin(), weekdays.end(), [](bool ticked) { return ticked; });
}

// The first date at or after `date` whose weekday is ticked; `date` when none is.
QDate firstTickedDay(const QDate& date, const std::array<bool, 7>& weekdays) {
    for (int offset = 0; offset < kDaysPerWeek; ++offset) {
        const QDate day = date.addDays(offset);
        if (weekdays.at(day.dayOfWeek() - 1))
            return day;
    }
    return date;
}
} // namespace

IntervalParts splitInterval(qint32 minutes) {
    IntervalParts parts;
    if (minutes >= kMinutesPerDay) {
        parts.days = minutes / kMinutesPerDay;
        minutes %= kMinutesPerDay;
    }
    parts.hours = minutes / kMinutesPerHour;
    parts.minutes = minutes % kMinutesPerHour;
    return parts;
}

qint32 joinInterval(const IntervalParts& parts) {
    return parts.days * kMinutesPerDay + parts.hours * kMinutesPerHour + parts.minutes;
}

QString dayMaskText(const std::array<bool, 7>& weekdays, bool daySkip) {
    QString mask;
    for (const bool ticked : weekdays)
        mask += ticked ? QLatin1Char('1') : QLatin1Char('0');
    return mask + (daySkip ? QLatin1Char('1') : QLatin1Char('0'));
}

std::variant<tschopt, FormRefusal> buildScheduleEntry(const ScheduleFormFields& fields) {
    if (!anyTicked(fields.weekdays))
        return FormRefusal{QStringLiteral("select1dow")};
    tschopt entry;
    entry.presname = fields.presetName;
    entry.repeat = fields.repeat;
    entry.ondelay = fields.lateChoice;
    entry.dow = dayMaskText(fields.weekdays, fields.daySkip);
    if (fields.mode == RepeatMode::DaysOfWeek) {
        entry.interval = kMinutesPerDay;
        entry.precise = true;
        entry.date = wallClock(
            QDateTime(firstTickedDay(fields.date, fields.weekdays), fields.time, Qt::UTC));
        return entry;
    }
    entry.interval = joinInterval({fields.days, fields.hours, fields.minutes});
    if (entry.repeat != 0 && entry.interval < 1)
        return FormRefusal{QStringLiteral("intervaltooshort")};
    entry.precise = fields.precise;
    entry.date = wallClock(QDateTime(fields.date, fields.time, Qt::UTC));
    return entry;
}

ScheduleFormFields fieldsFromEntry(const tschopt& entry, const ScheduleFormFields& current) {
    ScheduleFormFields fields = current;
    fields.presetName = entry.presname;
    fields.date = entry.date.date();
    fields.time = entry.date.time();
    fields.repeat = entry.repeat;
    fields.precise = entry.precise;
    fields.lateChoice = std::clamp(entry.ondelay, 0, 2);
    const QString mask = normalizedDayMask(entry.dow);
    for (int day = 0; day < kDaysPerWeek; ++day)
        fields.weekdays[day] = mask.at(day) == QLatin1Char('1');
    fields.daySkip = mask.at(kDaysPerWeek) == QLatin1Char('1');

    const bool someDaysLeftOut = !std::all_of(fields.weekdays.begin(), fields.weekdays.end(),
                                              [](bool ticked) { return ticked; });
    if (entry.interval == kMinutesPerDay && entry.precise && anyTicked(fields.weekdays) &&
        someDaysLeftOut) {
        fields.mode = RepeatMode::DaysOfWeek;
        fields.days = fields.hours = fields.minutes = 0;
    } else {
        fields.mode = RepeatMode::Interval;
        const IntervalParts parts = splitInterval(std::max<qint32>(entry.interval, 0));
        fields.days = parts.days;
        fields.hours = parts.hours;
        fields.minutes = parts.minutes;
    }
    return fields;
}

ScheduleFormFields fieldsFromStored(const tschdata& stored, const ScheduleFormFields& current) {
    if (const std::optional<tschopt> entry = ParseScheduleEntry(stored))
        return fieldsFromEntry(*entry, current);
    ScheduleFormFields fields = current;
    fields.presetName = stored.presname;
    return fields;
}

QString weekdayNameKey(const QDate& date) {
    // dayOfWeek counts Monday = 1 to Sunday = 7; the names count Sunday = 1.
    return QStringLiteral("dow%1").arg(date.dayOfWeek() % kDaysPerWeek + 1);
}

} // namespace stowline::scheduler
