#include "SmallFileSystem.h"

#include <QDir>
#include <QProcess>

namespace stowline::testing {

SmallFileSystem::SmallFileSystem(const QString& mountPoint, qint64 bytes)
    : mountPoint_(mountPoint) {
    QDir().mkpath(mountPoint_);
    mounted_ = QProcess::execute(QStringLiteral("mount"),
                                 {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                  QStringLiteral("-o"), QStringLiteral("size=%1").arg(bytes),
                                  QStringLiteral("stowline-test"), mountPoint_}) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint_});
}

bool SmallFileSystem::remountReadOnly() {
    return QProcess::execute(QStringLiteral("mount"),
                             {QStringLiteral("-o"), QStringLiteral("remount,ro"), mountPoint_}) ==
           0;
}

} // namespace stowline::testing
