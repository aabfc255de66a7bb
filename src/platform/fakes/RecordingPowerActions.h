#pragma once

#include "platform/PowerActions.h"

#include <QStringList>

namespace stowline::platform {

// Records every power and session request instead of carrying it out: "reboot",
// "poweroff", "logoff", "hibernate", "suspend".
class RecordingPowerActions final : public PowerActions {
public:
    PowerResult ExitSystem(SessionExit exit) override {
        switch (exit) {
        case SessionExit::Reboot:
            return record(QStringLiteral("reboot"));
        case SessionExit::PowerOff:
            return record(QStringLiteral("poweroff"));
        case SessionExit::LogOff:
            return record(QStringLiteral("logoff"));
        }
        return {};
    }
    PowerResult SuspendSystem(bool hibernate) override {
        return record(hibernate ? QStringLiteral("hibernate") : QStringLiteral("suspend"));
    }

    QStringList requests;
    PowerResult::Outcome outcome = PowerResult::Outcome::Requested;

private:
    PowerResult record(const QString& request) {
        requests << request;
        return {outcome, request};
    }
};

} // namespace stowline::platform
