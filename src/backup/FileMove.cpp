#include "backup/FileMove.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

// Gives `partial` the name `target` unless `target` exists, then drops the name `partial`.
bool nameWithoutReplacing(const QByteArray& partial, const QByteArray& target, QString* error) {
    if (::renameat2(AT_FDCWD, partial.constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail(error, systemError());
    // A file system without the no-replace rename: a link gives the same guarantee.
    if (::link(partial.constData(), target.constData()) != 0)
        return fail(error, systemError());
    ::unlink(partial.constData());
    return true;
}

// The hidden name a copy has in the target's folder until it is whole.
QString partialName(const QString& target) {
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part");
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
    // The copy gets the target's name only once it is whole: a program killed mid-copy
    // leaves a hidden partial file, never a torn archive under the archive's name. A
    // partial file of such an earlier copy is replaced.
    const QString partial = partialName(target);
    QFile::remove(partial);
    if (!copyFlushed(source, partial, error, copied) ||
        !nameWithoutReplacing(QFile::encodeName(partial), to, error)) {
        QFile::remove(partial);
        return false;
    }
    // The verified copy is the delivery; a source left behind goes with the run folder.
    QFile::remove(source);
    return true;
}

} // namespace stowline::backup
