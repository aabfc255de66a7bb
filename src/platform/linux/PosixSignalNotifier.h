#pragma once

#include "platform/SessionNotifier.h"

class QSocketNotifier;

namespace stowline::platform {

// Turns SIGTERM, SIGHUP and SIGINT into sessionEnding() on the event loop's thread.
// The signal handler only writes one byte to a socket pair (the only safe thing to do
// there); the notifier reads it back on the event loop.
class PosixSignalNotifier final : public SessionNotifier {
    Q_OBJECT
public:
    explicit PosixSignalNotifier(QObject* parent = nullptr);
    ~PosixSignalNotifier() override;
    PosixSignalNotifier(const PosixSignalNotifier&) = delete;
    PosixSignalNotifier& operator=(const PosixSignalNotifier&) = delete;

private:
    void drainSignals();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace stowline::platform
