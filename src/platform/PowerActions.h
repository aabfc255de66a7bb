#pragma once

#include <QString>

namespace stowline::platform {

// The ways of ending the user's session or the machine's activity. Every one of them is
// forced: other programs are closed without being asked and cannot veto.
enum class SessionExit {
    Reboot,   // "/REBOOT"
    PowerOff, // "/SHUTDOWN"
    LogOff,   // "/LOGOFF"
};

// What became of a power or session request.
struct PowerResult {
    enum class Outcome {
        Requested, // handed to the system
        Refused,   // deliberately not carried out (dry mode)
        Failed,    // the system could not be asked
    };
    Outcome outcome = Outcome::Failed;
    // The request as the system sees it, for the event log: what was, or would have
    // been, carried out.
    QString command;
};

// Ends the session or the machine, or sends the machine to sleep.
class PowerActions {
public:
    virtual ~PowerActions() = default;
    virtual PowerResult ExitSystem(SessionExit exit) = 0;
    // Hibernates (true) or suspends (false) the machine.
    virtual PowerResult SuspendSystem(bool hibernate) = 0;
};

} // namespace stowline::platform
