#include "scheduler/NextTime.h"

#include "SchedulerTestSupport.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline::scheduler;
using namespace stowline::scheduler::testing;

namespace {

// 14 March 2016 was a Monday, 18 March a Friday, 21 March the Monday after.
TEST(NextScheduleTime, FollowsSeriesIntervalAndDayMask) {
    struct Case {
        const char* what;
        QDateTime date;
        QDateTime now;
        qint32 interval;
        bool precise;
        const char* dow;
        std::optional<QDateTime> next;
    };
    const Case cases[] = {
        {"missed runs are not caught up", at(18, 10), at(18, 13, 20), 60, true, "11111110",
         at(18, 14)},
        {"not precise: from the present moment", at(18, 10), at(18, 13, 20), 60, false, "11111110",
         at(18, 14, 20)},
        {"on time, precise", at(18, 10), at(18, 10, 0, 1), 60, true, "11111110", at(18, 11)},
        {"exactly on a later series time moves past it", at(18, 10), at(18, 12), 60, true,
         "11111110", at(18, 13)},
        {"weekly on Mondays of a Monday/Wednesday mask", at(14, 18), at(14, 18), 10080, true,
         "10100000", at(21, 18)},
        {"daily Friday 18:00 on weekdays: Monday", at(18, 18), at(18, 18), 1440, true, "11111000",
         at(21, 18)},
        {"same with the day-skip flag", at(18, 18), at(18, 18), 1440, true, "11111001", at(21, 18)},
        {"not precise, day by interval from now", at(18, 18), at(18, 18, 0, 30), 1440, false,
         "11111000", at(21, 18, 0, 30)},
        {"not precise, day-skip from the entry's date", at(18, 18), at(18, 18, 0, 30), 1440, false,
         "11111001", at(21, 18)},
        {"every 2 days on weekends only, by interval", at(18, 9), at(18, 9), 2880, true, "00000110",
         at(20, 9)},
        // Handled days late: the search never returns a time already past.
        {"late by days, interval search", at(14, 18), at(17, 10), 1440, true, "10100000",
         at(21, 18)},
        {"late by days, day-skip search", at(14, 18), at(17, 10), 1440, true, "11000001",
         at(21, 18)},
        // No next time at all.
        {"interval 0", at(18, 10), at(18, 10), 0, true, "11111110", std::nullopt},
        {"negative interval, not precise", at(18, 10), at(18, 10), -5, false, "11111110",
         std::nullopt},
        {"no day allowed", at(18, 10), at(18, 10), 60, true, "00000001", std::nullopt},
        {"weekly on a day the mask forbids", at(15, 18), at(15, 18), 10080, true, "10100000",
         std::nullopt},
        {"every two weeks, not precise, forbidden day", at(15, 18), at(15, 18), 20160, false,
         "10100000", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tschopt entry;
        entry.date = c.date;
        entry.interval = c.interval;
        entry.precise = c.precise;
        entry.dow = QString::fromLatin1(c.dow);
        const std::optional<QDateTime> next = NextScheduleTime(entry, c.now);
        ASSERT_EQ(next.has_value(), c.next.has_value());
        if (next) {
            EXPECT_EQ(FormatScheduleDate(*next), FormatScheduleDate(*c.next));
        }
    }
}

TEST(NextScheduleTime, StaysBoundedForAnIntervalCoprimeToTheWeek) {
    tschopt entry;
    entry.date = at(15, 18); // a Tuesday
    entry.interval = 10079;  // one minute short of a week: visits every minute of the week
    entry.dow = QStringLiteral("00000000");
    EXPECT_FALSE(NextScheduleTime(entry, at(15, 18)).has_value());
    entry.dow = QStringLiteral("10000000");
    const std::optional<QDateTime> next = NextScheduleTime(entry, at(15, 18));
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->date().dayOfWeek(), 1);
}

} // namespace
