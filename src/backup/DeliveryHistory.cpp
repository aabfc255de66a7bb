#include "backup/DeliveryHistory.h"

#include <QHash>

namespace stowline::backup {

namespace {
constexpr int kShownPerKind = 3;

// "\040" and the other octal escapes the kernel writes for blanks, tabs, newlines and
// backslashes in mount table fields.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return QString::fromUtf8(out);
}
} // namespace

std::optional<DeliveryRecord> parseDeliveryRecord(const QString& line) {
    const qsizetype firstTab = line.indexOf(QLatin1Char('\t'));
    if (firstTab < 0)
        return std::nullopt;
    const qsizetype secondTab = line.indexOf(QLatin1Char('\t'), firstTab + 1);
    if (secondTab < 0)
        return std::nullopt;
    return DeliveryRecord{line.left(firstTab), line.mid(firstTab + 1, secondTab - firstTab - 1),
                          line.mid(secondTab + 1)};
}

QList<DeliveryRecord> deliveryRecords(const QStringList& lines, bool onlyThreeOfEachKind) {
    QList<DeliveryRecord> records;
    QHash<QChar, int> seen;
    for (const QString& line : lines) {
        std::optional<DeliveryRecord> record = parseDeliveryRecord(line);
        if (!record)
            continue;
        const int count = ++seen[record->kind()];
        if (onlyThreeOfEachKind && count > kShownPerKind)
            continue;
        records << std::move(*record);
    }
    return records;
}

FtpLocation splitFtpLocation(const QString& location) {
    const qsizetype first = location.indexOf(QLatin1Char('/'));
    if (first < 0)
        return {location, {}, {}};
    const qsizetype last = location.lastIndexOf(QLatin1Char('/'));
    FtpLocation split{location.left(first), {}, location.mid(last + 1)};
    if (last > first)
        split.folder = location.mid(first + 1, last - first - 1);
    return split;
}

QString uploadedFileName(const QString& location) {
    const qsizetype last = location.lastIndexOf(QLatin1Char('/'));
    return last < 0 ? QStringLiteral("*") : location.mid(last + 1);
}

bool listingHolds(const QStringList& listing, const QString& fileName) {
    return listing.contains(fileName, Qt::CaseInsensitive);
}

MailRecordParts mailRecordParts(const DeliveryRecord& record) {
    MailRecordParts parts;
    const qsizetype slash = record.location.indexOf(QLatin1Char('/'));
    parts.recipient = slash < 0 ? record.location : record.location.left(slash);
    parts.fileName = slash < 0 ? QString() : record.location.mid(slash + 1);
    const qsizetype blank = record.stamp.indexOf(QLatin1Char(' '));
    parts.day = blank < 0 ? record.stamp : record.stamp.left(blank);
    return parts;
}

std::optional<QString> mountedDiscFile(const QString& location,
                                       const QList<std::pair<QString, QString>>& mounts) {
    const qsizetype split = location.lastIndexOf(QLatin1String(":/"));
    if (split <= 0)
        return std::nullopt;
    QString device = location.left(split);
    if (device.startsWith(QLatin1String("stdio:")))
        device = device.mid(6);
    const QString name = location.mid(split + 2);
    if (name.isEmpty())
        return std::nullopt;
    for (const auto& [mounted, folder] : mounts) {
        if (mounted == device)
            return folder.endsWith(QLatin1Char('/')) ? folder + name
                                                     : folder + QLatin1Char('/') + name;
    }
    return std::nullopt;
}

QList<std::pair<QString, QString>> parseMountTable(const QByteArray& table) {
    QList<std::pair<QString, QString>> mounts;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || fields[0].isEmpty() || fields[1].isEmpty())
            continue;
        mounts.append({unescapeMountField(fields[0]), unescapeMountField(fields[1])});
    }
    return mounts;
}

} // namespace stowline::backup
