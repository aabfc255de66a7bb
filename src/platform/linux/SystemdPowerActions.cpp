#include "platform/linux/SystemdPowerActions.h"

#include <QProcess>

namespace stowline::platform {

PowerCommand sessionExitCommand(SessionExit exit, const QString& sessionId) {
    const QString systemctl = QStringLiteral("systemctl");
    const QString ignoreInhibitors = QStringLiteral("-i");
    switch (exit) {
    case SessionExit::Reboot:
        return {systemctl, {QStringLiteral("reboot"), ignoreInhibitors}};
    case SessionExit::PowerOff:
        return {systemctl, {QStringLiteral("poweroff"), ignoreInhibitors}};
    case SessionExit::LogOff:
        // "self" is logind's name for the caller's own session.
        return {QStringLiteral("loginctl"),
                {QStringLiteral("terminate-session"),
                 sessionId.isEmpty() ? QStringLiteral("self") : sessionId}};
    }
    return {};
}

PowerCommand suspendCommand(bool hibernate) {
    return {QStringLiteral("systemctl"),
            {hibernate ? QStringLiteral("hibernate") : QStringLiteral("suspend"),
             QStringLiteral("-i")}};
}

bool powerActionsAreDry(const QByteArray& dryPowerValue) {
    return !dryPowerValue.isEmpty() && dryPowerValue != "0";
}

PowerResult SystemdPowerActions::ExitSystem(SessionExit exit) {
    return carryOut(sessionExitCommand(exit, qEnvironmentVariable("XDG_SESSION_ID")));
}

PowerResult SystemdPowerActions::SuspendSystem(bool hibernate) {
    return carryOut(suspendCommand(hibernate));
}

PowerResult SystemdPowerActions::carryOut(const PowerCommand& command) {
    // Checked on every call, not once at start-up, so that no path can slip past it.
    if (powerActionsAreDry(qgetenv("STOWLINE_DRY_POWER")))
        return {PowerResult::Outcome::Refused, command.text()};
    const bool started = QProcess::startDetached(command.program, command.arguments);
    return {started ? PowerResult::Outcome::Requested : PowerResult::Outcome::Failed,
            command.text()};
}

} // namespace stowline::platform
