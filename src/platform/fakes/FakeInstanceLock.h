#pragma once

#include "platform/InstanceLock.h"

namespace stowline::platform {

// An instance lock whose holder the test decides.
class FakeInstanceLock final : public InstanceLock {
public:
    explicit FakeInstanceLock(bool anotherInstanceRuns = false)
        : anotherInstanceRuns_(anotherInstanceRuns) {}
    bool tryAcquire() override { return !anotherInstanceRuns_; }

private:
    bool anotherInstanceRuns_;
};

} // namespace stowline::platform
