#pragma once

#include "platform/NamedEvent.h"

#include <QElapsedTimer>

namespace stowline::platform {

// The receiving side of an event that the test signals by setting `signalled`.
class FakeNamedEventListener final : public NamedEventListener {
public:
    bool tryConsume() override {
        ++tests;
        const bool wasSignalled = signalled;
        signalled = false;
        return wasSignalled;
    }

    bool signalled = false;
    int tests = 0;
};

// A sender that records how often it signalled and how long it kept the signal alive.
class RecordingNamedEventSender final : public NamedEventSender {
public:
    bool signal() override {
        ++signalCount;
        if (!held.isValid())
            held.start();
        return listenerPresent;
    }
    void release() override {
        if (held.isValid() && heldMilliseconds < 0)
            heldMilliseconds = held.elapsed();
    }

    bool listenerPresent = true;
    int signalCount = 0;
    QElapsedTimer held;
    qint64 heldMilliseconds = -1; // -1 until released
};

} // namespace stowline::platform
