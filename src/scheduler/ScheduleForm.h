#pragma once

#include "scheduler/ScheduleEntry.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <array>
#include <optional>
#include <variant>

namespace stowline::scheduler {

// How the fields of the scheduler window repeat an entry.
enum class RepeatMode {
    Interval,   // every days/hours/minutes
    DaysOfWeek, // at the chosen time on each ticked day
};

// The fields of the scheduler window, as plain values.
struct ScheduleFormFields {
    QString presetName;
    QDate date;
    QTime time;
    qint32 repeat = 0;
    RepeatMode mode = RepeatMode::Interval;
    qint32 days = 0;
    qint32 hours = 0;
    qint32 minutes = 0;
    bool precise = true;
    // The late-entry choice: 0 run anyway, 1 skip this run, 2 remove the entry.
    qint32 lateChoice = 0;
    // Monday to Sunday.
    std::array<bool, 7> weekdays{true, true, true, true, true, true, true};
    bool daySkip = false;

    friend bool operator==(const ScheduleFormFields&, const ScheduleFormFields&) = default;
};

// An interval in minutes as whole days, hours of the rest and minutes of the rest.
struct IntervalParts {
    qint32 days = 0;
    qint32 hours = 0;
    qint32 minutes = 0;

    friend bool operator==(const IntervalParts&, const IntervalParts&) = default;
};

inline constexpr qint32 kMinutesPerDay = 24 * 60;

IntervalParts splitInterval(qint32 minutes);
qint32 joinInterval(const IntervalParts& parts);

// "1" or "0" for each weekday box, Monday first, then the day-skip flag.
QString dayMaskText(const std::array<bool, 7>& weekdays, bool daySkip);

// Why the fields make no entry; the value is the message key to show.
struct FormRefusal {
    QString messageKey;
};

// The entry the fields stand for.
// - Interval mode: interval = days x 1440 + hours x 60 + minutes. A repeating entry
//   (repeat not 0) needs an interval of at least one minute.
// - Days-of-the-week mode: the entry runs at the chosen time on every ticked day: a
//   daily, precise series whose day mask skips the other days, starting on the first
//   ticked day at or after the chosen date (the engine checks the day mask only when
//   it moves an entry on, so a first run on an unticked day would otherwise happen).
// - With no weekday ticked the fields are refused.
std::variant<tschopt, FormRefusal> buildScheduleEntry(const ScheduleFormFields& fields);

// The fields that show `entry`; `current` provides what the entry does not hold.
// Days-of-the-week mode is chosen for the entries that mode makes: daily, precise, with
// some but not all weekdays allowed. Any other entry, a weekly one too, shows in
// interval mode, so updating it keeps how often it runs.
ScheduleFormFields fieldsFromEntry(const tschopt& entry, const ScheduleFormFields& current);

// The fields that show a stored row. A row that cannot be read (edited by hand) fills
// only the preset field, with its text as it stands; the other fields keep `current`.
ScheduleFormFields fieldsFromStored(const tschdata& stored, const ScheduleFormFields& current);

// The message key of a date's weekday name: "dow1" (Sunday) to "dow7" (Saturday).
QString weekdayNameKey(const QDate& date);

} // namespace stowline::scheduler
