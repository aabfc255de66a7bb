#pragma once

#include <csignal>

namespace stowline::archiver {

// Thrown at the next check after SIGINT, SIGTERM or SIGHUP arrived.
struct StopRequested {};

// Holds SIGINT, SIGTERM and SIGHUP back for the life of the object and lets the work
// ask at safe points whether one of them arrived, so a stop can clean up what is
// unfinished instead of dying in the middle of a write. No signal handler and no global
// flag are needed: the signals simply stay pending until they are asked for.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // True once a stop signal has arrived (it stays true).
    bool requested();
    // Throws StopRequested once a stop signal has arrived.
    void check();

private:
    sigset_t stopSignals_;
    sigset_t previousMask_;
    bool requested_ = false;
};

} // namespace stowline::archiver
