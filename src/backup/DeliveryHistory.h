#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::backup {

// What the restore window knows about a delivered archive.
enum class DeliveryMark { Untested, Present, Missing };

// One line of a preset's delivery history (.hst): "stamp TAB kind TAB location".
struct DeliveryRecord {
    QString stamp;    // as written, "yyyy.mm.dd hh:nn:ss" (a trailing blank is kept)
    QString kindText; // "1-CD", "2-SMTP", "3-FTP", "4-COPY"
    QString location; // everything after the second TAB

    // The kind is told by the first character of the kind text; 0 when it is empty.
    QChar kind() const { return kindText.isEmpty() ? QChar() : kindText.front(); }
    bool operator==(const DeliveryRecord&) const = default;
};

inline constexpr QChar kDiscKind{u'1'};
inline constexpr QChar kMailKind{u'2'};
inline constexpr QChar kFtpKind{u'3'};
inline constexpr QChar kCopyKind{u'4'};

// A line without two TABs is not a record (a damaged or hand-edited file): nothing is
// shown of it rather than half of it.
std::optional<DeliveryRecord> parseDeliveryRecord(const QString& line);

// The records of the history lines, newest (top) first. With `onlyThreeOfEachKind` only
// the first three records of each kind are kept; the file's order stays.
QList<DeliveryRecord> deliveryRecords(const QStringList& lines, bool onlyThreeOfEachKind);

// Where an upload went: location "host:port/folder/name" or "host:port/name".
struct FtpLocation {
    QString server; // "host:port", as the server field takes it
    QString folder; // empty when the file lay in the log-in folder
    QString file;
    bool operator==(const FtpLocation&) const = default;
};
FtpLocation splitFtpLocation(const QString& location);

// The file name an upload's row is compared with in a server listing: the text after the
// last "/" of its location, "*" (which no listed name equals) when there is none.
QString uploadedFileName(const QString& location);

// Whether the listing (one name per line) holds `fileName`, letter case aside.
bool listingHolds(const QStringList& listing, const QString& fileName);

// The parts of an e-mail row's explanation: the account, the attachment's name and the
// day it was sent. Location "recipient/name", stamp "yyyy.mm.dd hh:nn:ss".
struct MailRecordParts {
    QString recipient;
    QString fileName;
    QString day;
};
MailRecordParts mailRecordParts(const DeliveryRecord& record);

// A disc row's location is the recorder address, ":/" and the file name on the disc
// ("/dev/sr0:/Docs.zip", "stdio:/tmp/disc.iso:/Docs.zip"). `mounts` maps a device or
// image path to the folder it is mounted on (the lines of /proc/self/mounts give them).
// The file's path under that folder, or nothing when the disc is not mounted.
std::optional<QString> mountedDiscFile(const QString& location,
                                       const QList<std::pair<QString, QString>>& mounts);
// The device/mount-point pairs of a mount table in the format of /proc/self/mounts
// (octal escapes such as "\040" for a blank decoded).
QList<std::pair<QString, QString>> parseMountTable(const QByteArray& table);

} // namespace stowline::backup
