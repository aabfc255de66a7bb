#pragma once

namespace stowline::platform {
class StartupRegistration;
}

namespace stowline::core {

// The start-up modes of the option sta.
enum class StartupMode {
    NotStarted = 0,     // not started with the session
    HiddenThenExit = 1, // started hidden with "/hide /exit": runs what is due, then ends
    Hidden = 2,         // started hidden with "/hide" and stays
    Service = 3,        // runs as a service of the user
};

// Brings the system's start-up entries in line with `sta`: the log-in entry for modes 1
// and 2, the user service for mode 3, neither for 0 (and for any other value). Called
// when the program ends; the settings dialog may call it on OK to take effect at once.
// False when a step failed (the platform reports which on standard error).
bool ApplyStartupMode(int sta, platform::StartupRegistration& registration);

} // namespace stowline::core
