#include "backup/FileMove.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace stowline::backup {

namespace {
constexpr qint64 kCopyChunk = 1 << 20;

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool copyFlushed(const QString& source, const QString& target, QString* error) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, in.errorString());
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(error, out.errorString());
    QByteArray buffer;
    while (!in.atEnd()) {
        buffer = in.read(kCopyChunk);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
            return fail(error, in.errorString());
        if (out.write(buffer) != buffer.size())
            return fail(error, out.errorString());
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return fail(error, systemError());
    out.close();
    if (QFileInfo(target).size() != QFileInfo(source).size())
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
