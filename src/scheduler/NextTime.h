#pragma once

#include "scheduler/ScheduleEntry.h"

#include <QDateTime>

#include <optional>

namespace stowline::scheduler {

// The time a repeating entry moves on to when it is handled at `now`, as a wall-clock
// time (see wallClock):
// 1. the candidate is the first time of the series date + k x interval after `now`
//    (precise), or now + interval;
// 2. when the day mask allows the candidate's weekday, that is the next time;
// 3. otherwise the next time is searched for from the entry's date, one day at a time
//    when the day-skip flag is "1", else by the interval (from `now` when not precise),
//    and only times after `now` count, so a late entry never falls due again at once.
// The search is bounded: one week of day steps, or as many interval steps as it takes
// the interval to come back to the same minute of the week. Nothing when there is no
// next time: an interval below 1 minute, a day mask that allows no day, or a series
// that never reaches an allowed day.
std::optional<QDateTime> NextScheduleTime(const tschopt& entry, const QDateTime& now);

} // namespace stowline::scheduler
