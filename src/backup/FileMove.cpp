#include "backup/FileMove.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::backup {

namespace {
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
bool copyFlushed(const QString& source, const QString& target, QString* error) {
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
        const ssize_t sent = ::sendfile(out.fd, in.fd, nullptr, status.st_size - copied);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return fail(error, sent < 0 ? systemError() : QStringLiteral("the source shrank"));
        copied += sent;
    }
    if (::fsync(out.fd) != 0)
        return fail(error, systemError());
    struct stat written {};
    if (::fstat(out.fd, &written) != 0 || written.st_size != status.st_size)
        return fail(error, QStringLiteral("the copy is incomplete"));
    return true;
}
} // namespace

bool moveFile(const QString& source, const QString& target, QString* error) {
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
    if (!copyFlushed(source, target, error)) {
        QFile::remove(target);
        return false;
    }
    // The verified copy is the delivery; a source left behind goes with the run folder.
    QFile::remove(source);
    return true;
}

} // namespace stowline::backup
