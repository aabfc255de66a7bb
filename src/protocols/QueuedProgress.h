#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

namespace stowline::protocols {

// Carries a byte count that libcurl reports from inside a transfer out to the event
// loop: `report` runs from there, at most once per turn of the loop and only when the
// count changed, always with the latest count.
class QueuedProgress final {
public:
    QueuedProgress(QObject* owner, std::function<void(qint64)> report)
        : owner_(owner), report_(std::move(report)) {}

    void note(qint64 bytes) {
        if (bytes == bytes_)
            return;
        bytes_ = bytes;
        if (scheduled_)
            return;
        scheduled_ = true;
        QMetaObject::invokeMethod(
            owner_,
            [this] {
                scheduled_ = false;
                report_(bytes_);
            },
            Qt::QueuedConnection);
    }
    // A new transfer counts from zero.
    void restart() { bytes_ = 0; }

private:
    QObject* owner_;
    std::function<void(qint64)> report_;
    qint64 bytes_ = 0;
    bool scheduled_ = false;
};

} // namespace stowline::protocols
