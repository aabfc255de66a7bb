#include "core/StartupMode.h"

#include "platform/StartupRegistration.h"

namespace stowline::core {

bool ApplyStartupMode(int sta, platform::StartupRegistration& registration) {
    const QString hide = QStringLiteral("/hide");
    switch (static_cast<StartupMode>(sta)) {
    case StartupMode::HiddenThenExit: {
        const bool service = registration.disableService();
        return registration.enableLoginStart({hide, QStringLiteral("/exit")}) && service;
    }
    case StartupMode::Hidden: {
        const bool service = registration.disableService();
        return registration.enableLoginStart({hide}) && service;
    }
    case StartupMode::Service: {
        const bool login = registration.disableLoginStart();
        return registration.enableService() && login;
    }
    case StartupMode::NotStarted:
        break;
    }
    const bool login = registration.disableLoginStart();
    return registration.disableService() && login;
}

} // namespace stowline::core
