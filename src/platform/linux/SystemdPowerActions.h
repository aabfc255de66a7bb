#pragma once

#include "platform/PowerActions.h"

#include <QByteArray>
#include <QStringList>

namespace stowline::platform {

// A command line that carries out one power or session action.
struct PowerCommand {
    QString program;
    QStringList arguments;

    QString text() const { return (QStringList{program} + arguments).join(QLatin1Char(' ')); }
};

// The systemd-logind command of each action. "-i" ignores inhibitor locks, which is how
// the forced variants close other programs without asking them.
PowerCommand sessionExitCommand(SessionExit exit, const QString& sessionId);
PowerCommand suspendCommand(bool hibernate);

// True when the value of STOWLINE_DRY_POWER forbids real power actions: anything but an
// unset or empty variable and the exact value "0".
bool powerActionsAreDry(const QByteArray& dryPowerValue);

// Power and session actions through systemctl and loginctl. While STOWLINE_DRY_POWER is
// set it refuses every action and only reports the command it would have run.
class SystemdPowerActions final : public PowerActions {
public:
    PowerResult ExitSystem(SessionExit exit) override;
    PowerResult SuspendSystem(bool hibernate) override;

private:
    static PowerResult carryOut(const PowerCommand& command);
};

} // namespace stowline::platform
