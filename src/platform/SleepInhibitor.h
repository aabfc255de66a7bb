#pragma once

#include <QString>

namespace stowline::platform {

// Keeps the machine from sleeping or idling into sleep while work is under way, so that
// a backup left to run overnight is not cut off by the power settings.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Holds sleep off, giving `why` as the reason the desktop may show; false when the
    // system cannot be asked (errorString() says why). Holding twice keeps one hold.
    virtual bool inhibit(const QString& why) = 0;
    // Lets the machine sleep again at once. Harmless when nothing is held.
    virtual void release() = 0;
    virtual QString errorString() const = 0;
};

} // namespace stowline::platform
