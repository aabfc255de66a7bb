#pragma once

#include "platform/SystemPaths.h"

namespace stowline::platform {

// Program folder: STOWLINE_PROGRAM_DIR when set (tests, portable installs), else the
// executable's folder. Data folders follow the XDG layout. The archiver is "rar" on
// the search path, else the bundled "stowarc" beside the executable.
class LinuxSystemPaths final : public SystemPaths {
public:
    QString programFolder() const override;
    QString temporaryFolder() const override;
    QString allUsersDataFolder() const override;
    QString thisUserDataFolder() const override;
    QString fallbackInfoFolder() const override;
    QStringList archiverCandidates() const override;
};

} // namespace stowline::platform
