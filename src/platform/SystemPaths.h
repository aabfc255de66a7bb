#pragma once

#include <QString>
#include <QStringList>

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
    // Archiver programs to try, best first, when the configured one does not exist.
    virtual QStringList archiverCandidates() const = 0;
};

} // namespace stowline::platform
