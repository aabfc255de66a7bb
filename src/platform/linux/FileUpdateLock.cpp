#include "platform/FileUpdateLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace stowline::platform {

namespace {
constexpr std::chrono::milliseconds kRetryPause{5};

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

QString FileUpdateLock::lockFilePath(const QString& filePath) {
    return filePath + QStringLiteral(".lock");
}

FileUpdateLock::FileUpdateLock(const QString& filePath, std::chrono::milliseconds timeout) {
    const QString path = lockFilePath(filePath);
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = QStringLiteral("Cannot open %1: %2").arg(path, systemError(errno));
        return;
    }
    // Polled rather than blocking, so that a holder that hangs costs at most `timeout`.
    // Cycles under the lock take milliseconds.
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return;
        }
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) || deadline.hasExpired()) {
            error_ = error == EWOULDBLOCK
                         ? QStringLiteral("Timed out waiting for %1").arg(path)
                         : QStringLiteral("Cannot lock %1: %2").arg(path, systemError(error));
            ::close(fd);
            return;
        }
        QThread::msleep(static_cast<unsigned long>(kRetryPause.count()));
    }
}

FileUpdateLock::~FileUpdateLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace stowline::platform
