#include "NetFixture.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace stowline::net::testing {
namespace {

void useFtp(NetRun& f, const FtpServer& server) {
    f.preset.ftp = true;
    f.preset.fse = server.address();
    f.preset.fus = QStringLiteral("user");
    f.preset.fpa = QStringLiteral("secret");
    f.preset.ffo = QStringLiteral("up");
    f.preset.fco = true;
}

// Three earlier runs in the cleaner history, 1, 7 and 31 days old; their files are on
// the server, except gone.zip, which someone has deleted already.
QStringList earlierRuns(const NetRun& f) {
    return {f.stampDaysAgo(1), "old1.zip",  "", f.stampDaysAgo(7),
            "old2a.zip",       "old2b.zip", "", f.stampDaysAgo(31),
            "gone.zip",        "old3.zip",  ""};
}

void seed(NetRun& f, const FtpServer& server, const QStringList& history) {
    f.writePresetFile(".lgf", history);
    for (const QString& name : history)
        if (name.endsWith(".zip") && name != "gone.zip")
            server.put("up/" + name);
}

QStringList cleanerLines(const QStringList& names) {
    QStringList lines;
    for (const QString& name : names) {
        lines << "Docs: FTP - Cleaner is trying to delete " + name + ".";
        lines << (name == "gone.zip" ? "Docs: FTP - Cleaner cannot delete gone.zip. [!]"
                                     : "Docs: FTP - Cleaner successfully deleted " + name + ".");
    }
    return lines;
}

struct CleanerCase {
    const char* name;
    int fcm;
    int fcv;
    bool after;
    QStringList deleted;  // in the order the cleaner deletes them
    int historyLinesKept; // lines of the earlier history that stay
};

void PrintTo(const CleanerCase& c, std::ostream* out) {
    *out << c.name;
}

class FtpCleanerModes : public ::testing::TestWithParam<CleanerCase> {};

TEST_P(FtpCleanerModes, DeletesTheUploadsOfOldRuns) {
    const CleanerCase& c = GetParam();
    NetRun f;
    FtpServer server;
    f.useFakeArchiver(0);
    useFtp(f, server);
    f.preset.fcm = c.fcm;
    f.preset.fcv = c.fcv;
    f.preset.fca = c.after;
    seed(f, server, earlierRuns(f));

    const QStringList lines = f.runPreset();

    const QStringList upload{"Docs: FTP - Trying to upload \"backup-1.zip\".",
                             "Docs: FTP - Successfully uploaded \"backup-1.zip\"."};
    QStringList expected{"Docs: FTP - Connecting to " + server.address() + ".",
                         "Docs: FTP - Changing folder to \"up\"."};
    expected << (c.after ? upload + cleanerLines(c.deleted) : cleanerLines(c.deleted) + upload);
    expected << "Docs: FTP - Disconnected."
             << "Docs: Done.";
    EXPECT_EQ(lines, expected);

    QStringList left{"backup-1.zip", "old1.zip", "old2a.zip", "old2b.zip", "old3.zip"};
    for (const QString& name : c.deleted)
        left.removeAll(name);
    EXPECT_EQ(server.files("up"), left);
    EXPECT_EQ(f.presetFile(".lgf"), QStringList({f.stamp(), "backup-1.zip", ""}) +
                                        earlierRuns(f).mid(0, c.historyLinesKept));
}

const QStringList kAllOld{"old1.zip", "old2a.zip", "old2b.zip", "gone.zip", "old3.zip"};

INSTANTIATE_TEST_SUITE_P(Cases, FtpCleanerModes,
                         ::testing::Values(
                             // The newest earlier run stays; with the new one that makes two.
                             CleanerCase{"count_2_before_upload", 0, 2, false, kAllOld.mid(1), 3},
                             CleanerCase{"count_1_after_upload", 0, 1, true, kAllOld, 0},
                             CleanerCase{"age_5_days_before_upload", 1, 5, false, kAllOld.mid(1),
                                         3},
                             CleanerCase{"count_0_counts_as_age_0", 0, 0, false, kAllOld, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Archive names without a date stamp are the same every run: the cleaner after the
// upload must not delete what this run has just put there.
TEST(FtpCleaner, AfterTheUploadNeverDeletesThisRunsFiles) {
    NetRun f;
    FtpServer server;
    f.useFakeArchiver(FakeArchives{.numbered = false});
    useFtp(f, server);
    f.preset.fcv = 1;
    f.preset.fca = true;
    seed(f, server,
         {f.stampDaysAgo(1), "backup.zip", "", f.stampDaysAgo(2), "backup.zip", "other.zip", ""});

    const QStringList lines = f.runPreset();

    EXPECT_FALSE(lines.contains("Docs: FTP - Cleaner is trying to delete backup.zip."));
    EXPECT_TRUE(lines.contains("Docs: FTP - Cleaner successfully deleted other.zip."));
    EXPECT_EQ(server.files("up"), QStringList{"backup.zip"});
    EXPECT_EQ(server.file("up/backup.zip"), f.madeFile("backup.zip"));
    EXPECT_EQ(f.presetFile(".lgf"), QStringList({f.stamp(), "backup.zip", ""}));
}

// A DELE the server never answers times out (tft is 0); the names the cleaner did not
// delete stay in the history, with their old time stamps, for the next run.
TEST(FtpCleaner, HistoryKeepsTheNamesNotDeleted) {
    NetRun f;
    FtpServer server({"--fault", "hang-dele", "--fault-at", "2"});
    f.useFakeArchiver(0);
    useFtp(f, server);
    f.preset.fcv = 1;
    seed(f, server, earlierRuns(f));

    const QStringList lines = f.runPreset();

    EXPECT_TRUE(lines.contains("Docs: FTP - Cleaner successfully deleted old1.zip."));
    EXPECT_TRUE(lines.contains(
        "Docs: FTP - All FTP tasks have been canceled (reiteration feature is off). [!]"))
        << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains("Docs: FTP - Trying to upload \"backup-1.zip\"."));
    EXPECT_EQ(lines.last(), "Docs: Done.");
    EXPECT_EQ(server.files("up"), QStringList({"old2a.zip", "old2b.zip", "old3.zip"}));
    EXPECT_EQ(f.presetFile(".lgf"), earlierRuns(f).mid(3));
}

// The connection breaks at the cleaner's DELE after every upload: the retry finds no
// file left to upload and goes straight on with the cleaner.
TEST(FtpCleaner, RetryAfterTheLastUploadOnlyCleans) {
    NetRun f;
    FtpServer server({"--fault", "drop-dele"});
    f.useFakeArchiver(FakeArchives{.volumes = 2});
    useFtp(f, server);
    f.preset.fcv = 1;
    f.preset.fca = true;
    f.options.fre = true;
    seed(f, server, {f.stampDaysAgo(1), "old1.zip", ""});

    const QStringList lines = f.runPreset();

    const qsizetype retry = lines.indexOf("Docs: FTP - Trying again in 1 seconds (1/3).");
    ASSERT_GE(retry, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(lines.indexOf("Docs: FTP - Connecting to 127.0.0.1.")),
              QStringList({"Docs: FTP - Connecting to 127.0.0.1.",
                           "Docs: FTP - Changing folder to \"up\".",
                           "Docs: FTP - Cleaner is trying to delete old1.zip.",
                           "Docs: FTP - Cleaner successfully deleted old1.zip.",
                           "Docs: FTP - Disconnected.", "Docs: Done."}));
    const QStringList commands = server.commands();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const QString& command) { return command.startsWith("STOR"); }),
              2);
    EXPECT_EQ(server.files("up"), QStringList({"backup-1.part1.zip", "backup-1.part2.zip"}));
    EXPECT_EQ(f.presetFile(".lgf"),
              QStringList({f.stamp(), "backup-1.part1.zip", "backup-1.part2.zip", ""}));
}

} // namespace
} // namespace stowline::net::testing
