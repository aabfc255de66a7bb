#include "protocols/SyncWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace stowline::protocols {

bool waitProcessingEvents(const std::function<bool()>& finished,
                          std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    // Wakes the wait below at the deadline when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeout);
    while (!finished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return finished();
}

} // namespace stowline::protocols
