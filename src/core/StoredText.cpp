#include "core/StoredText.h"

#include <QByteArray>

namespace stowline::core {

namespace {
constexpr int kChecksumDigits = 6;
constexpr int kGroupDigits = 3;

// The last six decimal digits of the sum of (position + 1) * byte.
QByteArray checksumDigits(const QByteArray& bytes) {
    quint64 sum = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        sum += static_cast<quint64>(i + 1) * static_cast<quint8>(bytes.at(i));
    return QByteArray::number(sum % 1000000).rightJustified(kChecksumDigits, '0');
}

int byteOffset(qsizetype position) {
    return position % 2 == 0 ? 32 : 16;
}
} // namespace

QString EncodeStoredText(const QString& plain) {
    return EncodeStoredBytes(plain.toUtf8());
}

QString DecodeStoredText(const QString& stored) {
    return QString::fromUtf8(DecodeStoredBytes(stored));
}

QString EncodeStoredBytes(const QByteArray& bytes) {
    QByteArray digits = checksumDigits(bytes);
    digits.reserve(kChecksumDigits + bytes.size() * kGroupDigits);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int value = static_cast<quint8>(bytes.at(i)) + byteOffset(i);
        digits += QByteArray::number(value).rightJustified(kGroupDigits, '0');
    }
    return QString::fromLatin1(digits.toBase64());
}

QByteArray DecodeStoredBytes(const QString& stored) {
    QByteArray encoded = stored.toLatin1();
    encoded.replace('\r', QByteArray()).replace('\n', QByteArray());
    const auto decoded =
        QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    const QByteArray& digits = *decoded;
    if (digits.size() < kChecksumDigits || digits.size() % kGroupDigits != 0)
        return {};
    for (char c : digits)
        if (c < '0' || c > '9')
            return {};
    QByteArray bytes;
    bytes.reserve((digits.size() - kChecksumDigits) / kGroupDigits);
    for (qsizetype at = kChecksumDigits, k = 0; at < digits.size(); at += kGroupDigits, ++k) {
        const int value = digits.mid(at, kGroupDigits).toInt();
        bytes += static_cast<char>(((value - byteOffset(k)) % 256 + 256) % 256);
    }
    if (checksumDigits(bytes) != digits.left(kChecksumDigits))
        return {};
    return bytes;
}

} // namespace stowline::core
