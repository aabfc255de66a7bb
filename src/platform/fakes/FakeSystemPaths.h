#pragma once

#include "platform/SystemPaths.h"

namespace stowline::platform {

// System folders under a test's own temporary folder.
class FakeSystemPaths final : public SystemPaths {
public:
    explicit FakeSystemPaths(const QString& root)
        : program(root + QStringLiteral("/program")), temporary(root + QStringLiteral("/tmp")),
          allUsers(root + QStringLiteral("/all-users/Velmora/SWL")),
          thisUser(root + QStringLiteral("/this-user/Velmora/SWL")),
          fallbackInfo(root + QStringLiteral("/config/stowline")) {}

    QString programFolder() const override { return program; }
    QString temporaryFolder() const override { return temporary; }
    QString allUsersDataFolder() const override { return allUsers; }
    QString thisUserDataFolder() const override { return thisUser; }
    QString fallbackInfoFolder() const override { return fallbackInfo; }
    QStringList archiverCandidates() const override { return archivers; }

    QString program;
    QString temporary;
    QString allUsers;
    QString thisUser;
    QString fallbackInfo;
    QStringList archivers;
};

} // namespace stowline::platform
