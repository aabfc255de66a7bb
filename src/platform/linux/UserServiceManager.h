#pragma once

#include <QStringList>

namespace stowline::platform {

// The user's systemd instance, reached through "systemctl --user". A seam of its own so
// that tests can check the commands without touching the real service manager.
class UserServiceManager {
public:
    virtual ~UserServiceManager() = default;
    // True when a user service manager runs and can be talked to.
    virtual bool reachable() const = 0;
    // Runs "systemctl --user" with `arguments`; true when it ended with exit code 0.
    virtual bool run(const QStringList& arguments) = 0;
};

// The real manager: reachable when systemctl is on the search path and the manager's
// private socket exists in $XDG_RUNTIME_DIR.
class SystemctlUserServiceManager final : public UserServiceManager {
public:
    bool reachable() const override;
    bool run(const QStringList& arguments) override;
};

} // namespace stowline::platform
