#pragma once

#include <QString>

namespace stowline::platform {

// Folders the program takes from the system rather than from its own settings.
class SystemPaths {
public:
    virtual ~SystemPaths() = default;
    // Folder of the program's executable, without a trailing separator.
    virtual QString programFolder() const = 0;
    // The system's temporary folder, without a trailing separator.
    virtual QString temporaryFolder() const = 0;
    // Data folder shared by every user of the machine.
    virtual QString allUsersDataFolder() const = 0;
    // Data folder of the current user.
    virtual QString thisUserDataFolder() const = 0;
    // Folder that holds swlinfo.dat when the program folder is not writable.
    virtual QString fallbackInfoFolder() const = 0;
    // Full path of an executable found on the search path, or empty.
    virtual QString findExecutable(const QString& name) const = 0;
};

} // namespace stowline::platform
