#pragma once

namespace stowline::platform {
class RunningProcess;
}

namespace stowline::core {

struct ProgramFlags;

enum class WaitOutcome {
    Finished,     // the program ended
    Aborted,      // AbortRequested was set while waiting
    ShuttingDown, // the application is going down
};

// Waits for a started program while the event loop keeps running: each turn checks
// AbortRequested, then serves events for up to 500 ms or until the program ends.
WaitOutcome waitForProgram(platform::RunningProcess& process, const ProgramFlags& flags);

} // namespace stowline::core
