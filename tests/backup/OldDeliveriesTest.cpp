#include "backup/OldDeliveries.h"
#include "core/TextFiles.h"

#include "QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stowline;

namespace {

const QDateTime kNow(QDate(2016, 3, 15), QTime(12, 0, 0));

// A history of runs, newest first, each with its files.
QStringList historyOf(const QList<std::pair<QDateTime, QStringList>>& runs) {
    QStringList lines;
    for (const auto& [stamp, files] : runs) {
        lines << backup::formatHistoryStamp(stamp) << files << QString();
    }
    return lines;
}

struct CleanerCase {
    const char* name;
    int count;
    int days;
    QList<std::pair<QDateTime, QStringList>> runs;
    QStringList expectedDeleted;
    int expectedEntriesLeft;
};

class OldDeliveriesTest : public ::testing::TestWithParam<CleanerCase> {};

TEST_P(OldDeliveriesTest, SelectsOldRunsAndCutsThemFromTheHistory) {
    const CleanerCase& c = GetParam();
    QTemporaryDir presets;
    const QString path = backup::cleanerHistoryPath(presets.path(), QStringLiteral("Docs"),
                                                    backup::CleanerHistory::Copy);
    const QStringList history = historyOf(c.runs);
    ASSERT_TRUE(core::writeTextLinesAtomically(path, history));

    const QStringList deleted =
        backup::SelectOldDeliveries(presets.path(), QStringLiteral("Docs"), c.count, c.days,
                                    backup::CleanerHistory::Copy, kNow);

    EXPECT_EQ(deleted, c.expectedDeleted);
    const QStringList left = core::readTextLines(path).value();
    EXPECT_EQ(left, history.mid(0, left.size())) << "only the tail is cut";
    EXPECT_EQ(left.count(QString()), c.expectedEntriesLeft);
}

QDateTime daysAgo(double days) {
    return kNow.addSecs(static_cast<qint64>(-days * 86400));
}

std::pair<QDateTime, QStringList> run(double age, QStringList files) {
    return {daysAgo(age), files};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OldDeliveriesTest,
    ::testing::Values(
        CleanerCase{"count 1 deletes every earlier run",
                    1,
                    0,
                    {run(1, {"b2.zip"}), run(2, {"b1.zip"})},
                    {"b2.zip", "b1.zip"},
                    0},
        CleanerCase{"count 3 keeps the two newest of five",
                    3,
                    0,
                    {run(1, {"r1"}), run(2, {"r2"}), run(3, {"r3"}), run(4, {"r4a", "r4b"}),
                     run(5, {"r5"})},
                    {"r3", "r4a", "r4b", "r5"},
                    2},
        CleanerCase{"age 7: 7 days and a minute is old, 6 days 23 hours stays",
                    0,
                    7,
                    {run(6 + 23.0 / 24, {"young"}), run(7 + 1.0 / 1440, {"old"})},
                    {"old"},
                    1},
        CleanerCase{"age mode cuts everything below the first old entry",
                    0,
                    7,
                    {run(8, {"old"}), run(1, {"misplaced"})},
                    {"old"},
                    0},
        CleanerCase{"a name twice is deleted once",
                    1,
                    0,
                    {run(1, {"same", "same"}), run(2, {"same"})},
                    {"same"},
                    0},
        CleanerCase{"count 0 and days 0 make every earlier run old",
                    0,
                    0,
                    {run(0.01, {"a"}), run(1, {"b"})},
                    {"a", "b"},
                    0},
        CleanerCase{
            "nothing old leaves the file as it is", 5, 0, {run(1, {"a"}), run(2, {"b"})}, {}, 2}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(OldDeliveries, MissingHistoryMeansNothingToDelete) {
    QTemporaryDir presets;
    EXPECT_TRUE(backup::SelectOldDeliveries(presets.path(), QStringLiteral("None"), 1, 0,
                                            backup::CleanerHistory::Ftp, kNow)
                    .isEmpty());
}

} // namespace
