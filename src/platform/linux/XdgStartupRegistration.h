#pragma once

#include "platform/StartupRegistration.h"

#include <QString>

namespace stowline::platform {

class UserServiceManager;

// Log-in start through an XDG autostart entry, configHome/autostart/stowline.desktop;
// the service as the systemd user unit configHome/systemd/user/stowline.service, which
// runs the program with "/svc". The unit is enabled through the user's systemd when it
// is reachable, else by linking it into default.target.wants as "systemctl enable"
// would, so that the manager picks it up when it next starts.
class XdgStartupRegistration final : public StartupRegistration {
public:
    XdgStartupRegistration(QString programPath, QString configHome, UserServiceManager& services);

    // $XDG_CONFIG_HOME, or $HOME/.config when it is not set.
    static QString userConfigHome();

    bool enableLoginStart(const QStringList& arguments) override;
    bool disableLoginStart() override;
    bool enableService() override;
    bool disableService() override;

    QString autostartFile() const;
    QString unitFile() const;
    QString unitLink() const;

    // The Exec= value of a desktop entry that runs `program` with `arguments`, quoted so
    // that blanks, quotes, "$", "%" and backslashes in the path survive.
    static QString desktopExecValue(const QString& program, const QStringList& arguments);
    // The ExecStart= value of a systemd unit, quoted in the same spirit.
    static QString unitExecValue(const QString& program, const QStringList& arguments);

private:
    QString programPath_;
    QString configHome_;
    UserServiceManager& services_;
};

} // namespace stowline::platform
