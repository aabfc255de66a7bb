#pragma once

namespace stowline::platform {

// An auto-reset event shared by the running instances of the program for one user. A
// signal can be noticed only while its sender keeps it alive; testing the event
// consumes the signal, and several signals before one test count as one.
//
// The receiving side, held by the first instance for its whole run.
class NamedEventListener {
public:
    virtual ~NamedEventListener() = default;
    // Tests the event without waiting; true when it was signalled, and it is reset then.
    virtual bool tryConsume() = 0;
};

// The sending side, used by a second instance.
class NamedEventSender {
public:
    virtual ~NamedEventSender() = default;
    // Signals the event. False when no instance listens for it.
    virtual bool signal() = 0;
    // Stops keeping the signal alive; a signal not yet consumed is lost. Destruction
    // releases too.
    virtual void release() = 0;
};

} // namespace stowline::platform
