#include "platform/linux/UserServiceManager.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace stowline::platform {

namespace {
// systemctl answers within milliseconds; the limit only guards against a hung manager
// while the program is ending.
constexpr int kSystemctlTimeoutMs = 10000;
} // namespace

bool SystemctlUserServiceManager::reachable() const {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty())
        return false;
    return QFileInfo::exists(runtimeDir + QStringLiteral("/systemd/private"));
}

bool SystemctlUserServiceManager::run(const QStringList& arguments) {
    QProcess systemctl;
    systemctl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    systemctl.setStandardOutputFile(QProcess::nullDevice());
    systemctl.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!systemctl.waitForStarted(kSystemctlTimeoutMs)) {
        std::fprintf(stderr, "Cannot start systemctl: %s\n", qPrintable(systemctl.errorString()));
        return false;
    }
    if (!systemctl.waitForFinished(kSystemctlTimeoutMs)) {
        systemctl.kill();
        systemctl.waitForFinished();
        std::fprintf(stderr, "systemctl --user %s did not finish\n",
                     qPrintable(arguments.join(QLatin1Char(' '))));
        return false;
    }
    return systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

} // namespace stowline::platform
