#include "scheduler/NextTime.h"

#include <numeric>

namespace stowline::scheduler {

namespace {
constexpr qint64 kMinutesPerDay = 24 * 60;
constexpr qint64 kMinutesPerWeek = 7 * kMinutesPerDay;
constexpr qint64 kMillisecondsPerMinute = 60 * 1000;
constexpr qint64 kMillisecondsPerDay = kMinutesPerDay * kMillisecondsPerMinute;

bool dayAllowed(const QString& mask, const QDateTime& time) {
    return mask.at(time.date().dayOfWeek() - 1) == QLatin1Char('1');
}

bool anyDayAllowed(const QString& mask) {
    for (int day = 0; day < 7; ++day) {
        if (mask.at(day) == QLatin1Char('1'))
            return true;
    }
    return false;
}

// The smallest k >= 0 with start + k x step later than now.
qint64 firstStepAfter(const QDateTime& start, qint64 stepMilliseconds, const QDateTime& now) {
    const qint64 behind = start.msecsTo(now);
    return behind < 0 ? 0 : behind / stepMilliseconds + 1;
}
} // namespace

std::optional<QDateTime> NextScheduleTime(const tschopt& entry, const QDateTime& now) {
    if (entry.interval < 1)
        return std::nullopt;
    const QString mask = normalizedDayMask(entry.dow);
    if (!anyDayAllowed(mask))
        return std::nullopt;

    const QDateTime date = wallClock(entry.date);
    const QDateTime present = wallClock(now);
    const qint64 step = entry.interval * kMillisecondsPerMinute;
    const QDateTime series = entry.precise ? date : present;
    const qint64 candidateStep = entry.precise ? firstStepAfter(date, step, present) : 1;
    const QDateTime candidate = series.addMSecs(candidateStep * step);
    if (dayAllowed(mask, candidate))
        return candidate;

    if (mask.at(7) == QLatin1Char('1')) {
        // Some day of every week is allowed, so seven day steps always find one.
        const qint64 firstDay =
            std::max<qint64>(1, firstStepAfter(date, kMillisecondsPerDay, present));
        for (qint64 day = firstDay; day < firstDay + 7; ++day) {
            const QDateTime next = date.addMSecs(day * kMillisecondsPerDay);
            if (dayAllowed(mask, next))
                return next;
        }
        return std::nullopt;
    }

    // The weekday of series + k x interval repeats once k x interval is a whole number of
    // weeks; no step beyond that can reach a day not reached before.
    const qint64 stepsPerCycle =
        kMinutesPerWeek / std::gcd(qint64(entry.interval), kMinutesPerWeek);
    for (qint64 k = candidateStep + 1; k <= candidateStep + stepsPerCycle; ++k) {
        const QDateTime next = series.addMSecs(k * step);
        if (dayAllowed(mask, next))
            return next;
    }
    return std::nullopt;
}

} // namespace stowline::scheduler
