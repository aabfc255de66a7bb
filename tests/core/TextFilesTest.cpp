#include "core/TextFiles.h"

#include "QtPrinters.h"
#include "SmallFileSystem.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace stowline::core;

namespace {

TEST(TextFiles, CappedReadCutsOnlyLinesBeyondTheLimitAtACharacterBoundary) {
    // Limit 4 bytes; "é" is two bytes in UTF-8 and must never be split.
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList expected;
        int cut;
    } cases[] = {
        {"fits, CR LF", "abcd\r\nab\r\n", {"abcd", "ab"}, 0},
        {"fits, LF, no final line end", "abcd\nxy", {"abcd", "xy"}, 0},
        {"one byte over", "abcde\r\nz\r\n", {"abcd~", "z"}, 1},
        {"CR at the buffer's end", "abcdef\r\nz", {"abcd~", "z"}, 1},
        {"far over, last line", QByteArray(100000, 'q'), {"qqqq~"}, 1},
        {"multi-byte character at the cut", "abc\xc3\xa9z\r\n", {"abc~"}, 1},
        {"empty lines stay", "\r\n\r\nab", {"", "", "ab"}, 0},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        int cut = -1;
        const std::optional<QStringList> lines =
            readCappedTextLines(path, 4, QStringLiteral("~"), &cut);
        ASSERT_TRUE(lines);
        EXPECT_EQ(*lines, c.expected);
        EXPECT_EQ(cut, c.cut);
    }
}

TEST(TextFiles, CappedReadRefusesWhatIsNotARegularFile) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a FIFO without a writer would block for ever.
    EXPECT_FALSE(readCappedTextLines(fifo, 100, {}));
    EXPECT_FALSE(readCappedTextLines(dir.path(), 100, {}));
    EXPECT_FALSE(readCappedTextLines(dir.filePath(QStringLiteral("missing")), 100, {}));
}

TEST(TextFiles, AnAppendThatFillsTheDiskLeavesNoTornLine) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir folder;
    const QString mountPoint = folder.filePath(QStringLiteral("full"));
    stowline::testing::SmallFileSystem disk(mountPoint, 4096);
    ASSERT_TRUE(disk.mounted());
    const QString path = mountPoint + QStringLiteral("/log.txt");
    // Whole lines up to a few bytes short of the file system's only page.
    ASSERT_TRUE(appendTextLine(path, QString(4096 - 2 - 10, QLatin1Char('a'))));
    const QByteArray before = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    QString error;
    EXPECT_FALSE(appendTextLine(path, QString(100, QLatin1Char('b')), &error));
    EXPECT_FALSE(error.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

} // namespace
