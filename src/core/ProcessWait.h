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

// Waits for a started program while the event loop keeps running: AbortRequested is
// looked at before the program, and at least every 500 ms.
WaitOutcome waitForProgram(platform::RunningProcess& process, const ProgramFlags& flags);

} // namespace stowline::core
