#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace stowline::core {

struct ProgramFlags;

// How a wait that processes events may end besides its condition.
struct WaitRules {
    // The longest the wait sleeps without an event before it looks at the condition
    // again; none: only events (and the time-out) wake it.
    std::optional<std::chrono::milliseconds> wakeUp;
    // The wait gives up after this long; none: it waits for the condition or an abort.
    std::optional<std::chrono::milliseconds> timeout;
    // Gives up the processor for 1 ms each turn, so that a wait whose events come in a
    // stream does not keep a core busy (the option cms turns this off).
    bool pauseEachTurn = false;
    // The wait ends when AbortRequested is set, before it looks at the condition.
    const ProgramFlags* abortOn = nullptr;

    WaitRules& wakeUpEvery(std::chrono::milliseconds period) {
        wakeUp = period;
        return *this;
    }
    WaitRules& endAfter(std::chrono::milliseconds limit) {
        timeout = limit;
        return *this;
    }
    WaitRules& pausingEachTurn(bool pause) {
        pauseEachTurn = pause;
        return *this;
    }
    WaitRules& endingOnAbort(const ProgramFlags& flags) {
        abortOn = &flags;
        return *this;
    }
};

enum class WaitEnd { Done, Aborted, TimedOut };

// Processes events (timers, sockets, other completions) on this thread until `done`
// returns true, the abort of `rules` is requested or the time-out has passed. Every long
// wait of the program goes through here, so that the UI thread is never blocked.
WaitEnd waitProcessingEvents(const std::function<bool()>& done, const WaitRules& rules);

// The synchronous forms of the clients: until `done` or `timeout`; true when done.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return waitProcessingEvents(done, WaitRules().endAfter(timeout)) == WaitEnd::Done;
}

} // namespace stowline::core
