#include "protocols/MimeMessage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <cstring>

namespace stowline::protocols {

namespace {

// 57 input bytes make one 76-character base64 line.
constexpr qint64 kBase64LineInput = 57;
constexpr qint64 kFileChunk = kBase64LineInput * 2048;

bool isPlainAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

// No header may be broken open by a line break in a value.
QString oneLine(QString text) {
    text.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral(" "));
    return text;
}

QByteArray randomToken() {
    return QByteArray::number(QRandomGenerator::global()->generate64(), 36) +
           QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36);
}

// ASCII-only names are quoted as they are; others use the RFC 2231 form.
QByteArray fileNameParameter(const char* parameter, const QString& name) {
    if (isPlainAscii(name) && !name.contains('"') && !name.contains('\\'))
        return QByteArray(parameter) + "=\"" + name.toLatin1() + '"';
    return QByteArray(parameter) + "*=UTF-8''" + name.toUtf8().toPercentEncoding();
}

QByteArray textBody(const QStringList& lines, QByteArray* encoding) {
    const QString joined = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    bool sevenBit = true;
    for (const QString& line : lines)
        if (line.size() > 998 || !isPlainAscii(QString(line).remove('\t')))
            sevenBit = false;
    if (sevenBit) {
        *encoding = "7bit";
        return joined.toLatin1();
    }
    *encoding = "base64";
    const QByteArray utf8 = joined.toUtf8();
    QByteArray body;
    for (qsizetype i = 0; i < utf8.size(); i += kBase64LineInput)
        body += utf8.mid(i, kBase64LineInput).toBase64() + "\r\n";
    return body;
}

} // namespace

QByteArray MimeMessage::encodeHeaderText(const QString& text) {
    const QString line = oneLine(text);
    if (isPlainAscii(line))
        return line.toLatin1();
    // Encoded words of at most 45 bytes of UTF-8 each, cut between characters.
    QByteArray result;
    QByteArray word;
    const auto flush = [&] {
        if (word.isEmpty())
            return;
        if (!result.isEmpty())
            result += "\r\n ";
        result += "=?UTF-8?B?" + word.toBase64() + "?=";
        word.clear();
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        QString character(line[i]);
        if (line[i].isHighSurrogate() && i + 1 < line.size())
            character += line[++i];
        const QByteArray bytes = character.toUtf8();
        if (word.size() + bytes.size() > 45)
            flush();
        word += bytes;
    }
    flush();
    return result;
}

QByteArray MimeMessage::encodeAddressHeader(const QString& text) {
    const QString line = oneLine(text).trimmed();
    static const QRegularExpression named(QStringLiteral("^(.*?)\\s*<([^<>]*)>$"));
    const QRegularExpressionMatch match = named.match(line);
    if (!match.hasMatch() || isPlainAscii(match.captured(1)))
        return line.toUtf8();
    return encodeHeaderText(match.captured(1)) + " <" + match.captured(2).toUtf8() + '>';
}

namespace {
QByteArray messageHeaders(const MimeMessage::Content& content) {
    QByteArray head;
    head += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    head += "From: " + MimeMessage::encodeAddressHeader(content.from) + "\r\n";
    head += "To: " + MimeMessage::encodeAddressHeader(content.to) + "\r\n";
    head += "Subject: " + MimeMessage::encodeHeaderText(content.subject) + "\r\n";
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty() || !isPlainAscii(host))
        host = QStringLiteral("localhost");
    head += "Message-ID: <" + randomToken() + '@' + host.toLatin1() + ">\r\n";
    head += "MIME-Version: 1.0\r\n";
    head += "X-Mailer: Stowline\r\n";
    return head;
}

// The headers and the encoded text of the message's text, for the body or a part.
QByteArray textPart(const QStringList& textLines) {
    QByteArray encoding;
    const QByteArray body = textBody(textLines, &encoding);
    return "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: " + encoding +
           "\r\n\r\n" + body;
}

QByteArray attachmentHeaders(const QByteArray& boundary, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return "--" + boundary + "\r\n" + "Content-Type: application/octet-stream; " +
           fileNameParameter("name", name) + "\r\n" + "Content-Transfer-Encoding: base64\r\n" +
           "Content-Disposition: attachment; " + fileNameParameter("filename", name) + "\r\n\r\n";
}
} // namespace

bool MimeMessage::open(const Content& content, QString* error) {
    pieces_.clear();
    ready_.clear();
    readyOffset_ = 0;
    failed_ = false;
    attachmentBytesRead_ = 0;

    QByteArray head = messageHeaders(content);
    if (content.attachments.isEmpty()) {
        pieces_.push_back({head + textPart(content.textLines), nullptr});
        return true;
    }

    const QByteArray boundary = "=_stowline_" + randomToken();
    head += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    head += "This is a multi-part message in MIME format.\r\n";
    if (!content.textLines.isEmpty())
        head += "--" + boundary + "\r\n" + textPart(content.textLines);
    QByteArray text = head;
    for (const QString& path : content.attachments) {
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly)) {
            if (error)
                *error =
                    QStringLiteral("Cannot read attachment %1: %2").arg(path, file->errorString());
            pieces_.clear();
            return false;
        }
        pieces_.push_back({text + attachmentHeaders(boundary, path), nullptr});
        pieces_.push_back({{}, std::move(file)});
        text.clear();
    }
    text += "--" + boundary + "--\r\n";
    pieces_.push_back({text, nullptr});
    return true;
}

bool MimeMessage::refill() {
    ready_.clear();
    readyOffset_ = 0;
    while (ready_.isEmpty() && !pieces_.empty()) {
        Piece& piece = pieces_.front();
        if (!piece.file) {
            ready_ = std::move(piece.text);
            pieces_.pop_front();
            continue;
        }
        const QByteArray chunk = piece.file->read(kFileChunk);
        if (piece.file->error() != QFileDevice::NoError) {
            failed_ = true;
            return false;
        }
        if (chunk.isEmpty()) {
            pieces_.pop_front();
            continue;
        }
        attachmentBytesRead_ += chunk.size();
        // The chunk is a whole number of 57-byte lines (but for the file's last one), so
        // its encoding cut every 76 characters gives the same lines.
        const QByteArray encoded = chunk.toBase64();
        ready_.reserve(encoded.size() + encoded.size() / 38 + 4);
        for (qsizetype i = 0; i < encoded.size(); i += 76) {
            ready_.append(encoded.constData() + i, std::min<qsizetype>(76, encoded.size() - i));
            ready_.append("\r\n", 2);
        }
    }
    return true;
}

qint64 MimeMessage::read(char* buffer, qint64 size) {
    qint64 copied = 0;
    while (copied < size) {
        if (readyOffset_ >= ready_.size() && !refill())
            return -1;
        if (ready_.isEmpty())
            break;
        const qint64 take = std::min<qint64>(size - copied, ready_.size() - readyOffset_);
        std::memcpy(buffer + copied, ready_.constData() + readyOffset_, take);
        copied += take;
        readyOffset_ += take;
    }
    return failed_ ? -1 : copied;
}

} // namespace stowline::protocols
