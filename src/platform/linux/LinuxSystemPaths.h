#pragma once

#include "platform/SystemPaths.h"

namespace stowline::platform {

// Program folder: STOWLINE_PROGRAM_DIR when set (tests, portable installs), else the
// executable's folder. Data folders follow the XDG layout.
class LinuxSystemPaths final : public SystemPaths {
public:
    QString programFolder() const override;
    QString temporaryFolder() const override;
    QString allUsersDataFolder() const override;
    QString thisUserDataFolder() const override;
    QString fallbackInfoFolder() const override;
    QString findExecutable(const QString& name) const override;
};

} // namespace stowline::platform
