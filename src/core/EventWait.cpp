#include "core/EventWait.h"

#include "core/ProgramState.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace stowline::core {

namespace {

// How long the wait may sleep from now: the wake-up period, cut at the deadline.
std::optional<std::chrono::milliseconds> nextWakeUp(const WaitRules& rules,
                                                    const QDeadlineTimer& deadline) {
    if (!rules.timeout)
        return rules.wakeUp;
    // At least 1 ms: a zero-length timer would turn the wait into a busy loop.
    const std::chrono::milliseconds untilDeadline{std::max<qint64>(1, deadline.remainingTime())};
    return rules.wakeUp ? std::min(*rules.wakeUp, untilDeadline) : untilDeadline;
}

} // namespace

WaitEnd waitProcessingEvents(const std::function<bool()>& done, const WaitRules& rules) {
    const QDeadlineTimer deadline =
        rules.timeout ? QDeadlineTimer(*rules.timeout) : QDeadlineTimer(QDeadlineTimer::Forever);
    // Bounds each sleep when no event comes. It is started again whenever it has fired:
    // a coarse timer may fire a little before the deadline, and without a new wake-up the
    // wait would then sleep until some unrelated event came.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    while (true) {
        if (rules.abortOn && rules.abortOn->AbortRequested)
            return WaitEnd::Aborted;
        if (done())
            return WaitEnd::Done;
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
        if (!wakeUp.isActive())
            if (const auto period = nextWakeUp(rules, deadline))
                wakeUp.start(*period);
        if (rules.pauseEachTurn)
            QThread::msleep(1);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace stowline::core
