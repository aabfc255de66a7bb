#include "protocols/SyncWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace stowline::protocols {

bool waitProcessingEvents(const std::function<bool()>& finished,
                          std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    // Wakes the wait below at the deadline when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeout);
    while (!finished() && !deadline.hasExpired()) {
        // A coarse timer may fire a little before the deadline; without a new wake-up
        // the wait would then sleep until some unrelated event came.
        if (!wake.isActive())
            wake.start(std::max<qint64>(1, deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return finished();
}

} // namespace stowline::protocols
