#include "backup/DeliveryHistory.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline;
using backup::DeliveryRecord;

namespace {

QString line(const char* stamp, const char* kind, const char* location) {
    return QString::fromUtf8(stamp) + QLatin1Char('\t') + QString::fromUtf8(kind) +
           QLatin1Char('\t') + QString::fromUtf8(location);
}

QStringList kindsOf(const QList<DeliveryRecord>& records) {
    QStringList kinds;
    for (const DeliveryRecord& record : records)
        kinds << record.kindText + QLatin1Char(' ') + record.location;
    return kinds;
}

TEST(DeliveryHistoryTest, LineSplitsAtTheFirstTwoTabsOnly) {
    struct Case {
        const char* line;
        std::optional<DeliveryRecord> expected;
    };
    const Case cases[] = {
        {"2016.03.03 10:00:00 \t4-COPY\t/backup/Docs.zip",
         DeliveryRecord{"2016.03.03 10:00:00 ", "4-COPY", "/backup/Docs.zip"}},
        // A TAB in the location belongs to the location.
        {"2016.03.03\t3-FTP\thost:21/a\tb.zip",
         DeliveryRecord{"2016.03.03", "3-FTP", "host:21/a\tb.zip"}},
        {"\t\t", DeliveryRecord{"", "", ""}},
        {"2016.03.03 10:00:00 \t4-COPY /backup/Docs.zip", std::nullopt},
        {"2016.03.03 10:00:00 4-COPY /backup/Docs.zip", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(backup::parseDeliveryRecord(QString::fromUtf8(c.line)), c.expected) << c.line;
}

TEST(DeliveryHistoryTest, OnlyThreeOfEachKindKeepsTheNewestInTheFilesOrder) {
    QStringList lines;
    for (int i = 1; i <= 5; ++i)
        lines << line("2016.03.0%1 10:00:00 ", "4-COPY", "/b/c") + QString::number(i);
    lines.insert(1, line("2016.03.05 11:00:00 ", "3-FTP", "h:21/f1"));
    lines.insert(4, line("2016.03.02 11:00:00 ", "3-FTP", "h:21/f2"));
    lines.insert(2, QStringLiteral("damaged line without tabs"));

    EXPECT_EQ(kindsOf(backup::deliveryRecords(lines, false)),
              (QStringList{"4-COPY /b/c1", "3-FTP h:21/f1", "4-COPY /b/c2", "4-COPY /b/c3",
                           "3-FTP h:21/f2", "4-COPY /b/c4", "4-COPY /b/c5"}));
    EXPECT_EQ(kindsOf(backup::deliveryRecords(lines, true)),
              (QStringList{"4-COPY /b/c1", "3-FTP h:21/f1", "4-COPY /b/c2", "4-COPY /b/c3",
                           "3-FTP h:21/f2"}));
}

TEST(DeliveryHistoryTest, FtpLocationGivesServerFolderAndFile) {
    struct Case {
        const char* location;
        backup::FtpLocation expected;
        const char* listedAs;
    };
    const Case cases[] = {
        {"host:21/backup/Docs.rar", {"host:21", "backup", "Docs.rar"}, "Docs.rar"},
        {"host:21/Docs.rar", {"host:21", "", "Docs.rar"}, "Docs.rar"},
        {"host:21/a/b/c/Docs.rar", {"host:21", "a/b/c", "Docs.rar"}, "Docs.rar"},
        {"host:21//abs/Docs.rar", {"host:21", "/abs", "Docs.rar"}, "Docs.rar"},
        {"host:21", {"host:21", "", ""}, "*"},
        {"", {"", "", ""}, "*"},
    };
    for (const Case& c : cases) {
        const QString location = QString::fromUtf8(c.location);
        EXPECT_EQ(backup::splitFtpLocation(location), c.expected) << c.location;
        EXPECT_EQ(backup::uploadedFileName(location), QString::fromUtf8(c.listedAs)) << c.location;
    }
}

TEST(DeliveryHistoryTest, ListingMatchesNamesWithoutRegardToCase) {
    const QStringList listing{"docs.RAR", "Other.zip"};
    EXPECT_TRUE(backup::listingHolds(listing, QStringLiteral("Docs.rar")));
    EXPECT_FALSE(backup::listingHolds(listing, QStringLiteral("Docs.ra")));
    EXPECT_FALSE(backup::listingHolds(listing, QStringLiteral("*")));
    EXPECT_FALSE(backup::listingHolds({}, QStringLiteral("Docs.rar")));
}

TEST(DeliveryHistoryTest, MailRecordNamesAccountFileAndDay) {
    const backup::MailRecordParts parts =
        backup::mailRecordParts({QStringLiteral("2016.03.03 10:20:30 "), QStringLiteral("2-SMTP"),
                                 QStringLiteral("ann@example.org/Docs.rar")});
    EXPECT_EQ(parts.recipient, "ann@example.org");
    EXPECT_EQ(parts.fileName, "Docs.rar");
    EXPECT_EQ(parts.day, "2016.03.03");
    // A run at midnight has no blank after the date.
    EXPECT_EQ(backup::mailRecordParts({QStringLiteral("2016.03.03"), {}, {}}).day, "2016.03.03");
}

TEST(DeliveryHistoryTest, DiscFileIsLookedUpWhereTheDiscIsMounted) {
    const auto mounts = backup::parseMountTable("/dev/sda1 / ext4 rw 0 0\n"
                                                "/dev/sr0 /media/u/My\\040Disc iso9660 ro 0 0\n"
                                                "/tmp/disc.iso /mnt/image iso9660 ro 0 0\n");
    struct Case {
        const char* location;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"/dev/sr0:/Docs.zip", QStringLiteral("/media/u/My Disc/Docs.zip")},
        {"stdio:/tmp/disc.iso:/Docs.zip", QStringLiteral("/mnt/image/Docs.zip")},
        {"/dev/sr1:/Docs.zip", std::nullopt},
        {"/dev/sr0:/", std::nullopt},
        {"E", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(backup::mountedDiscFile(QString::fromUtf8(c.location), mounts), c.expected)
            << c.location;
}

} // namespace
