#pragma once

namespace stowline::platform {

// Marks the first running instance of the program for the current user. The lock is
// only tested, never waited for; it is held until the object is destroyed.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // True when this process now holds the lock, false when another process holds it
    // or the lock could not be taken at all.
    virtual bool tryAcquire() = 0;
};

} // namespace stowline::platform
