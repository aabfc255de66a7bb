#include "scheduler/ScheduleForm.h"
#include "scheduler/NextTime.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline::scheduler;

namespace {

// 14 March 2016 was a Monday.
const QDate kMonday(2016, 3, 14);

ScheduleFormFields baseFields() {
    ScheduleFormFields fields;
    fields.presetName = QStringLiteral("Docs");
    fields.date = kMonday;
    fields.time = QTime(18, 0);
    fields.repeat = -1;
    return fields;
}

std::array<bool, 7> onlyDays(std::initializer_list<int> days) {
    std::array<bool, 7> weekdays{};
    for (const int day : days)
        weekdays[day - 1] = true;
    return weekdays;
}

tschopt built(const ScheduleFormFields& fields) {
    const auto result = buildScheduleEntry(fields);
    EXPECT_TRUE(std::holds_alternative<tschopt>(result));
    return std::holds_alternative<tschopt>(result) ? std::get<tschopt>(result) : tschopt{};
}

QString refusal(const ScheduleFormFields& fields) {
    const auto result = buildScheduleEntry(fields);
    return std::holds_alternative<FormRefusal>(result) ? std::get<FormRefusal>(result).messageKey
                                                       : QString();
}

TEST(ScheduleFormTest, IntervalSplitsIntoDaysHoursAndMinutesAndBack) {
    const std::pair<qint32, IntervalParts> cases[] = {
        {1590, {1, 2, 30}}, {0, {0, 0, 0}},     {59, {0, 0, 59}},    {1439, {0, 23, 59}},
        {1440, {1, 0, 0}},  {10080, {7, 0, 0}}, {43261, {30, 1, 1}},
    };
    for (const auto& [minutes, parts] : cases) {
        EXPECT_EQ(splitInterval(minutes), parts) << minutes;
        EXPECT_EQ(joinInterval(parts), minutes) << minutes;
    }
}

TEST(ScheduleFormTest, IntervalModeBuildsTheEntryFromTheFields) {
    ScheduleFormFields fields = baseFields();
    fields.days = 1;
    fields.hours = 2;
    fields.minutes = 30;
    fields.precise = false;
    fields.lateChoice = 2;
    fields.weekdays = onlyDays({1, 3, 7});
    fields.daySkip = true;

    const tschopt entry = built(fields);
    EXPECT_EQ(entry.presname, QStringLiteral("Docs"));
    EXPECT_EQ(entry.date, wallClock(QDateTime(kMonday, QTime(18, 0))));
    EXPECT_EQ(entry.repeat, -1);
    EXPECT_EQ(entry.interval, 1590);
    EXPECT_FALSE(entry.precise);
    EXPECT_EQ(entry.ondelay, 2);
    EXPECT_EQ(entry.dow, QStringLiteral("10100011"));
}

TEST(ScheduleFormTest, FieldsThatMakeNoEntryAreRefused) {
    struct Case {
        const char* what;
        qint32 repeat;
        qint32 minutes;
        std::array<bool, 7> weekdays;
        QString refusal;
    };
    const Case cases[] = {
        {"repeating without an interval", -1, 0, onlyDays({1}), QStringLiteral("intervaltooshort")},
        {"repeating three times without an interval", 3, 0, onlyDays({1}),
         QStringLiteral("intervaltooshort")},
        {"once needs no interval", 0, 0, onlyDays({1}), QString()},
        {"no weekday ticked", 0, 5, onlyDays({}), QStringLiteral("select1dow")},
    };
    for (const Case& c : cases) {
        ScheduleFormFields fields = baseFields();
        fields.repeat = c.repeat;
        fields.minutes = c.minutes;
        fields.weekdays = c.weekdays;
        EXPECT_EQ(refusal(fields), c.refusal) << c.what;
    }
}

TEST(ScheduleFormTest, DaysOfWeekModeRunsOnEveryTickedDay) {
    ScheduleFormFields fields = baseFields();
    fields.mode = RepeatMode::DaysOfWeek;
    fields.precise = false; // the mode makes the entry precise all the same
    fields.days = 3;        // and ignores the interval fields
    fields.weekdays = onlyDays({1, 5});

    tschopt entry = built(fields);
    EXPECT_EQ(entry.interval, 1440);
    EXPECT_TRUE(entry.precise);
    EXPECT_EQ(entry.dow, QStringLiteral("10001000"));
    EXPECT_EQ(entry.date, wallClock(QDateTime(kMonday, QTime(18, 0))));

    // The tick moves the entry on one second after each run: Monday, Friday, Monday...
    QList<QDate> runs{entry.date.date()};
    for (int run = 0; run < 4; ++run) {
        const std::optional<QDateTime> next = NextScheduleTime(entry, entry.date.addSecs(1));
        ASSERT_TRUE(next);
        EXPECT_EQ(next->time(), QTime(18, 0));
        entry.date = *next;
        runs << next->date();
    }
    EXPECT_EQ(runs, (QList<QDate>{kMonday, kMonday.addDays(4), kMonday.addDays(7),
                                  kMonday.addDays(11), kMonday.addDays(14)}));
}

TEST(ScheduleFormTest, DaysOfWeekModeStartsOnTheFirstTickedDay) {
    // Chosen date: Tuesday; ticked: Monday and Friday. Without the move the first run
    // would fall on the Tuesday, since the day mask is looked at only from the second run.
    const std::pair<QDate, QDate> cases[] = {
        {kMonday, kMonday},
        {kMonday.addDays(1), kMonday.addDays(4)},
        {kMonday.addDays(5), kMonday.addDays(7)},
    };
    for (const auto& [chosen, first] : cases) {
        ScheduleFormFields fields = baseFields();
        fields.mode = RepeatMode::DaysOfWeek;
        fields.date = chosen;
        fields.weekdays = onlyDays({1, 5});
        EXPECT_EQ(built(fields).date.date(), first) << chosen.toString().toStdString();
    }
}

TEST(ScheduleFormTest, ShowingAnEntryFillsTheFields) {
    ScheduleFormFields current = baseFields();
    current.presetName = QStringLiteral("left over");

    tschopt interval;
    interval.presname = QStringLiteral("Mail");
    interval.date = wallClock(QDateTime(QDate(2016, 3, 20), QTime(23, 15, 5)));
    interval.repeat = 4;
    interval.interval = 1590;
    interval.ondelay = 1;
    interval.precise = false;
    interval.dow = QStringLiteral("01111111");
    const ScheduleFormFields shown = fieldsFromEntry(interval, current);
    EXPECT_EQ(shown.presetName, QStringLiteral("Mail"));
    EXPECT_EQ(shown.date, QDate(2016, 3, 20));
    EXPECT_EQ(shown.time, QTime(23, 15, 5));
    EXPECT_EQ(shown.repeat, 4);
    EXPECT_EQ(shown.mode, RepeatMode::Interval);
    EXPECT_EQ((IntervalParts{shown.days, shown.hours, shown.minutes}), (IntervalParts{1, 2, 30}));
    EXPECT_FALSE(shown.precise);
    EXPECT_EQ(shown.lateChoice, 1);
    EXPECT_EQ(shown.weekdays, onlyDays({2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(shown.daySkip);
}

TEST(ScheduleFormTest, OnlyEntriesOfTheDaysModeShowInIt) {
    struct Case {
        qint32 interval;
        bool precise;
        QString dow;
        RepeatMode mode;
    };
    const Case cases[] = {
        {1440, true, QStringLiteral("10001000"), RepeatMode::DaysOfWeek},
        // Every day allowed: a plain daily entry.
        {1440, true, QStringLiteral("11111110"), RepeatMode::Interval},
        {1440, false, QStringLiteral("10001000"), RepeatMode::Interval},
        // A weekly entry stays weekly when it is shown and updated.
        {10080, true, QStringLiteral("10001000"), RepeatMode::Interval},
    };
    for (const Case& c : cases) {
        tschopt entry;
        entry.presname = QStringLiteral("Docs");
        entry.date = wallClock(QDateTime(kMonday, QTime(18, 0)));
        entry.repeat = -1;
        entry.interval = c.interval;
        entry.precise = c.precise;
        entry.dow = c.dow;
        const ScheduleFormFields shown = fieldsFromEntry(entry, baseFields());
        EXPECT_EQ(shown.mode, c.mode) << c.interval << " " << c.dow.toStdString();
        // Shown and added again, the entry is the same.
        const tschopt again = built(shown);
        EXPECT_EQ(FormatScheduleEntry(again), FormatScheduleEntry(entry))
            << c.interval << " " << c.dow.toStdString();
    }
}

TEST(ScheduleFormTest, AnUnreadableRowShowsItsNameAsItStands) {
    ScheduleFormFields current = baseFields();
    current.repeat = 7;
    const tschdata handEdited{QStringLiteral("2016.13.45 99:00:00 "), QStringLiteral("Docs "),
                              QStringLiteral("REPEAT=x INTERVAL=1440")};
    ScheduleFormFields expected = current;
    expected.presetName = QStringLiteral("Docs ");
    EXPECT_EQ(fieldsFromStored(handEdited, current), expected);
}

TEST(ScheduleFormTest, WeekdayNamesCountFromSunday) {
    EXPECT_EQ(weekdayNameKey(kMonday.addDays(-1)), QStringLiteral("dow1"));
    EXPECT_EQ(weekdayNameKey(kMonday), QStringLiteral("dow2"));
    EXPECT_EQ(weekdayNameKey(kMonday.addDays(5)), QStringLiteral("dow7"));
}

} // namespace
