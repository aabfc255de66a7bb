#include "platform/linux/LinuxSystemPaths.h"
#include "platform/PathText.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace stowline::platform {

namespace {
QString xdgFolder(const char* variable, const QString& underHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty())
        return withoutTrailingSeparator(value);
    return QDir::homePath() + QLatin1Char('/') + underHome;
}
} // namespace

QString LinuxSystemPaths::programFolder() const {
    const QString overridden = qEnvironmentVariable("STOWLINE_PROGRAM_DIR");
    if (!overridden.isEmpty())
        return withoutTrailingSeparator(QDir(overridden).absolutePath());
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
}

QString LinuxSystemPaths::temporaryFolder() const {
    return withoutTrailingSeparator(QDir::tempPath());
}

QString LinuxSystemPaths::allUsersDataFolder() const {
    return QStringLiteral("/var/lib/Velmora/SWL");
}

QString LinuxSystemPaths::thisUserDataFolder() const {
    return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
           QStringLiteral("/Velmora/SWL");
}

QString LinuxSystemPaths::fallbackInfoFolder() const {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/stowline");
}

QStringList LinuxSystemPaths::archiverCandidates() const {
    QStringList candidates;
    const QString rar = QStandardPaths::findExecutable(QStringLiteral("rar"));
    if (!rar.isEmpty())
        candidates << rar;
    candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/stowarc");
    return candidates;
}

} // namespace stowline::platform
