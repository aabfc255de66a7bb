#include "core/StoredText.h"

#include <gtest/gtest.h>

#include <QByteArray>

namespace stowline::core {
namespace {

TEST(StoredText, EncodesTheVersionLineToTheKnownStoredForm) {
    EXPECT_EQ(EncodeStoredText(QStringLiteral("ver 0")),
              QStringLiteral("MDAxMDMwMTUwMTE3MTQ2MDQ4MDgw"));
    EXPECT_EQ(DecodeStoredText(QStringLiteral("MDAxMDMwMTUwMTE3MTQ2MDQ4MDgw")),
              QStringLiteral("ver 0"));
}

TEST(StoredText, EveryByteValueSurvivesTheRoundTrip) {
    // Each byte is tried at an even and at an odd position, since the two positions use
    // different offsets (32 and 16); high bytes go past 255 and must wrap back.
    for (int value = 0; value < 256; ++value) {
        for (const QByteArray& prefix : {QByteArray(), QByteArray("a")}) {
            const QByteArray bytes = prefix + QByteArray(1, static_cast<char>(value));
            EXPECT_EQ(DecodeStoredBytes(EncodeStoredBytes(bytes)), bytes) << "byte " << value;
        }
    }
    QByteArray all;
    for (int value = 0; value < 256; ++value)
        all += static_cast<char>(value);
    EXPECT_EQ(DecodeStoredBytes(EncodeStoredBytes(all)), all);
}

TEST(StoredText, TextRoundTripKeepsBlanksAndNonAsciiCharacters) {
    for (const QString& plain : {QStringLiteral("pwi /opt/My Programs/rar  "),
                                 QStringLiteral("sgp p\u00e4ss w\u00f6rd \u20ac"),
                                 QStringLiteral(" \t leading and trailing \t ")}) {
        EXPECT_EQ(DecodeStoredText(EncodeStoredText(plain)), plain);
    }
}

TEST(StoredText, LongLinesKeepExactlySixChecksumDigits) {
    // The checksum sum exceeds six digits here; only its last six are stored.
    const QString plain(2000, QLatin1Char('z'));
    const QByteArray digits = QByteArray::fromBase64(EncodeStoredText(plain).toLatin1());
    EXPECT_EQ(digits.size(), 6 + 3 * plain.size());
    EXPECT_EQ(DecodeStoredText(EncodeStoredText(plain)), plain);
}

TEST(StoredText, EmptyTextEncodesToTheChecksumAlone) {
    EXPECT_EQ(QByteArray::fromBase64(EncodeStoredText(QString()).toLatin1()), "000000");
    EXPECT_EQ(DecodeStoredText(EncodeStoredText(QString())), QString());
}

TEST(StoredText, IgnoresLineBreaksInsideTheStoredLine) {
    EXPECT_EQ(DecodeStoredText(QStringLiteral("MDAxMDMw\r\nMTUwMTE3MTQ2MDQ4MDgw\r\n")),
              QStringLiteral("ver 0"));
}

QString storedDigits(const QByteArray& digits) {
    return QString::fromLatin1(digits.toBase64());
}

TEST(StoredText, DamagedLinesDecodeToTheEmptyText) {
    // "ver 0" is 001030 | 150 117 146 048 080.
    const struct {
        const char* what;
        QString stored;
    } cases[] = {
        {"one digit group changed by hand", storedDigits("001030150117146048081")},
        {"two bytes swapped", storedDigits("001030117150146048080")},
        {"checksum changed", storedDigits("001031150117146048080")},
        {"length not divisible by three", storedDigits("0010301501171460480")},
        {"shorter than the checksum", storedDigits("001")},
        {"a non-digit", storedDigits("00103015011714604808x")},
        {"not Base64 at all", QStringLiteral("this is not base64!")},
        {"plain text line", QStringLiteral("son 1")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeStoredText(c.stored), QString()) << c.what;
}

} // namespace
} // namespace stowline::core
