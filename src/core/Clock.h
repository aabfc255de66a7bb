#pragma once

#include <QDateTime>

namespace stowline::core {

// Source of the current local time, so that date and time rules can be tested
// without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& time) { now_ = time; }
    void advanceSeconds(qint64 seconds) { now_ = now_.addSecs(seconds); }
    void advanceDays(qint64 days) { now_ = now_.addDays(days); }

private:
    QDateTime now_;
};

// "yyyy.mm.dd hh:nn:ss": the time stamp of log lines, histories and last-run times.
inline constexpr const char* kHistoryTimeFormat = "yyyy.MM.dd HH:mm:ss";

inline QString formatHistoryTime(const QDateTime& time) {
    return time.toString(QLatin1String(kHistoryTimeFormat));
}

} // namespace stowline::core
