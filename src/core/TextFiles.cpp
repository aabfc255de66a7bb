#include "core/TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace stowline::core {

namespace {
QByteArray joinedWithCrLf(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}
} // namespace

QList<QByteArrayView> splitLineBytes(QByteArrayView bytes) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes.at(end - 1) == '\r')
            --end;
        lines << bytes.sliced(start, end - start);
        start = next;
    }
    return lines;
}

std::optional<QStringList> readTextLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringList lines;
    for (const QByteArrayView line : splitLineBytes(bytes))
        lines << QString::fromUtf8(line);
    return lines;
}

namespace {
// Reads the rest of a line that did not fit, up to and with its line end.
bool skipRestOfLine(QFile& file) {
    char scratch[4096];
    while (!file.atEnd()) {
        const qint64 read = file.readLine(scratch, sizeof scratch);
        if (read < 0)
            return false;
        if (read > 0 && scratch[read - 1] == '\n')
            break;
    }
    return true;
}

// The length of the first `length` bytes of UTF-8 text, shortened so that no character
// is split.
qsizetype utf8Boundary(QByteArrayView text, qsizetype length) {
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return length;
}
} // namespace

std::optional<QStringList> readCappedTextLines(const QString& path, qsizetype maxLineBytes,
                                               const QString& cutMark, int* cutLines) {
    // Opening a FIFO or a device for reading could block or never end.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Room for a whole line of the largest length, its CR LF and readLine's terminator.
    QByteArray buffer(maxLineBytes + 3, Qt::Uninitialized);
    QStringList lines;
    int cut = 0;
    while (!file.atEnd()) {
        const qint64 read = file.readLine(buffer.data(), buffer.size());
        if (read < 0)
            return std::nullopt;
        QByteArrayView line(buffer.constData(), read);
        if (line.endsWith('\n'))
            line.chop(1);
        else if (!file.atEnd() && !skipRestOfLine(file))
            return std::nullopt;
        if (line.endsWith('\r'))
            line.chop(1);
        // A line that filled the buffer is longer than the limit even without its CR.
        if (line.size() > maxLineBytes) {
            ++cut;
            lines << QString::fromUtf8(line.first(utf8Boundary(line, maxLineBytes))) + cutMark;
        } else {
            lines << QString::fromUtf8(line);
        }
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (cutLines)
        *cutLines = cut;
    return lines;
}

std::optional<QString> readFirstLine(const QString& path) {
    const std::optional<QStringList> lines = readTextLines(path);
    if (!lines || lines->isEmpty())
        return std::nullopt;
    return lines->first();
}

bool writeTextLinesAtomically(const QString& path, const QStringList& lines, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    const QByteArray bytes = joinedWithCrLf(lines);
    // QSaveFile::commit() does not notice a write that fails while its buffer is
    // flushed (a full disk): it would rename the truncated file over the old one. An
    // explicit flush reports that failure first.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool appendTextLine(const QString& path, const QString& line, QString* error) {
    QFile file(path);
    // Unbuffered: what did not reach the file must not be written later, when the file
    // closes, after a torn line has been cut off.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        setError(error, file.errorString());
        return false;
    }
    const qint64 sizeBefore = file.size();
    const QByteArray bytes = joinedWithCrLf({line});
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        setError(error, file.errorString());
        // A full disk takes part of the line: cut it off again, so that the next line
        // does not continue a torn one.
        file.resize(sizeBefore);
        return false;
    }
    return true;
}

bool replaceFile(const QString& source, const QString& target, QString* error) {
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) !=
        0) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

} // namespace stowline::core
