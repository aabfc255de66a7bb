#pragma once

#include "platform/StartupRegistration.h"

#include <QStringList>

namespace stowline::platform {

// Records each call as one line ("login /hide /exit", "no-login", "service",
// "no-service") and succeeds.
class RecordingStartupRegistration final : public StartupRegistration {
public:
    bool enableLoginStart(const QStringList& arguments) override {
        calls << (QStringList{QStringLiteral("login")} + arguments).join(QLatin1Char(' '));
        return true;
    }
    bool disableLoginStart() override {
        calls << QStringLiteral("no-login");
        return true;
    }
    bool enableService() override {
        calls << QStringLiteral("service");
        return true;
    }
    bool disableService() override {
        calls << QStringLiteral("no-service");
        return true;
    }
    QStringList calls;
};

} // namespace stowline::platform
