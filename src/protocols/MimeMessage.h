#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>

namespace stowline::protocols {

// An e-mail message in MIME form, produced piece by piece while it is sent: attachments
// are read and base64-encoded as the connection takes them, so a large archive is never
// held in memory. The SMTP layer adds the dot-stuffing and the final ".".
class MimeMessage final {
public:
    struct Content {
        QString from;
        QString to;
        QString subject;
        QStringList textLines;
        QStringList attachments; // paths of local files
    };

    // Lays the message out and opens every attachment; false, with the reason, when one
    // cannot be read.
    bool open(const Content& content, QString* error);
    // Up to `size` bytes of the message; 0 at its end, -1 when an attachment fails.
    qint64 read(char* buffer, qint64 size);
    // Bytes of the attached files read into the message so far.
    qint64 attachmentBytesRead() const { return attachmentBytesRead_; }

    // Header value helpers, public for their tests.
    static QByteArray encodeHeaderText(const QString& text);
    static QByteArray encodeAddressHeader(const QString& text);

private:
    struct Piece {
        QByteArray text;             // literal text, or
        std::unique_ptr<QFile> file; // a file sent base64-encoded
    };

    bool refill();

    std::deque<Piece> pieces_;
    QByteArray ready_;
    qsizetype readyOffset_ = 0;
    bool failed_ = false;
    qint64 attachmentBytesRead_ = 0;
};

} // namespace stowline::protocols
