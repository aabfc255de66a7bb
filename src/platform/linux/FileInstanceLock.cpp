#include "platform/linux/FileInstanceLock.h"
#include "platform/linux/RuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace stowline::platform {

FileInstanceLock::FileInstanceLock(const QString& name) {
    QString safeName = name;
    safeName.replace(QLatin1Char('\\'), QLatin1Char('_'))
        .replace(QLatin1Char('/'), QLatin1Char('_'));
    path_ = runtimeFolder() + QStringLiteral("/%1-%2.lock").arg(safeName).arg(getuid());
}

FileInstanceLock::~FileInstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileInstanceLock::tryAcquire() {
    if (fd_ >= 0)
        return true;
    const QByteArray native = QFile::encodeName(path_);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

} // namespace stowline::platform
