#include "backup/FileMove.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::backup {

namespace {
// Copied in steps of this size when someone follows the copy: small enough for a few
// reports a second, large enough to cost nothing.
constexpr off_t kReportedStep = 16 * 1024 * 1024;

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Copies inside the kernel (sendfile), then flushes the copy to the disk and checks that
// it is as long as the source.
bool copyFlushed(const QString& source, const QString& target, QString* error,
                 const std::function<void(qint64)>& copiedSoFar) {
    const Descriptor in{::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return fail(error, systemError());
    struct stat status {};
    if (::fstat(in.fd, &status) != 0)
        return fail(error, systemError());
    const Descriptor out{::open(QFile::encodeName(target).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777)};
    if (out.fd < 0)
        return fail(error, systemError());
    off_t copied = 0;
    while (copied < status.st_size) {
        const off_t left = status.st_size - copied;
        const ssize_t sent =
            ::sendfile(out.fd, in.fd, nullptr, copiedSoFar ? std::min(left, kReportedStep) : left);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return fail(error, sent < 0 ? systemError() : QStringLiteral("the source shrank"));
        copied += sent;
        if (copiedSoFar)
            copiedSoFar(copied);
    }
    if (::fsync(out.fd) != 0)
        return fail(error, systemError());
    struct stat written {};
    if (::fstat(out.fd, &written) != 0 || written.st_size != status.st_size)
        return fail(error, QStringLiteral("the copy is incomplete"));
    return true;
}
} // namespace

bool moveFile(const QString& source, const QString& target, QString* error,
              const std::function<void(qint64)>& copied) {
    if (QFileInfo::exists(target))
        return fail(error, QStringLiteral("the target exists"));
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    // renameat2 with RENAME_NOREPLACE would close the gap between the check and the
    // rename; link + unlink gives the same guarantee on every file system that has links.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno != EXDEV && errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return fail(error, systemError());
    if (!copyFlushed(source, target, error, copied)) {
        QFile::remove(target);
        return false;
    }
    // The verified copy is the delivery; a source left behind goes with the run folder.
    QFile::remove(source);
    return true;
}

} // namespace stowline::backup
