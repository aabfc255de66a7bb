#include "NetFixture.h"

#include "QtPrinters.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::net::testing {
namespace {

// Larger than what the socket buffers take in, so that a stalled server stops the upload.
constexpr int kStallingSize = 32 * 1024 * 1024;

const QString kNoRetries =
    "Docs: FTP - All FTP tasks have been canceled (no more retries allowed). [!]";
const QString kNoReiteration =
    "Docs: FTP - All FTP tasks have been canceled (reiteration feature is off). [!]";

const QStringList kThreeFiles{"backup-1.part1.zip", "backup-1.part2.zip", "backup-1.part3.zip"};

void useFtp(NetRun& f, const FtpServer& server, const QString& folder = QStringLiteral("up")) {
    f.preset.ftp = true;
    f.preset.fse = server.address();
    f.preset.fus = QStringLiteral("user");
    f.preset.fpa = QStringLiteral("secret");
    f.preset.ffo = folder;
}

QStringList uploadLines(const QStringList& names) {
    QStringList lines;
    for (const QString& name : names)
        lines << "Docs: FTP - Trying to upload \"" + name + "\"."
              << "Docs: FTP - Successfully uploaded \"" + name + "\".";
    return lines;
}

int countOf(const QStringList& lines, const QString& start) {
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(start); }));
}

struct UploadCase {
    const char* name;
    const char* serverTls;
    int fss;
    const char* folder;
    bool anonymous;
};

void PrintTo(const UploadCase& c, std::ostream* out) {
    *out << c.name;
}

class FtpUpload : public ::testing::TestWithParam<UploadCase> {};

TEST_P(FtpUpload, EveryArchiveArrivesByteIdenticalAndIsRecorded) {
    const UploadCase& c = GetParam();
    NetRun f;
    FtpServer server(c.anonymous ? QStringList{"--anonymous-write"} : QStringList{}, c.serverTls);
    f.useFakeArchiver(FakeArchives{.bytes = 300 * 1024, .volumes = 3});
    useFtp(f, server, c.folder);
    f.preset.fss = c.fss;
    if (c.anonymous) {
        f.preset.fus.clear();
        f.preset.fpa.clear();
    }

    const QStringList lines = f.runPreset();

    const QString folder = QString::fromLatin1(c.folder);
    QStringList expected{"Docs: FTP - Connecting to " + server.address() + "."};
    if (!folder.isEmpty())
        expected << "Docs: FTP - Changing folder to \"up\".";
    expected << uploadLines(kThreeFiles) << "Docs: FTP - Disconnected."
             << "Docs: Done.";
    EXPECT_EQ(lines, expected);
    const QString prefix = folder.isEmpty() ? QString() : folder + '/';
    for (const QString& name : kThreeFiles)
        EXPECT_EQ(server.file(prefix + name), f.madeFile(name)) << name.toStdString();
    EXPECT_EQ(server.commands().contains(c.anonymous ? "USER anonymous" : "USER user"), true);

    // The delivery history gains one line per file, the last file on top.
    const QString location = "127.0.0.1:" + QString::number(server.port()) + '/' + prefix;
    QStringList history;
    for (qsizetype i = kThreeFiles.size() - 1; i >= 0; --i)
        history << f.stamp() + "\t3-FTP\t" + location + kThreeFiles[i];
    EXPECT_EQ(f.presetFile(".hst"), history);
    EXPECT_EQ(f.presetFile(".lgf"), QStringList{f.stamp()} + kThreeFiles + QStringList{""});
    EXPECT_TRUE(f.leftInTemp().isEmpty()) << "run folder left behind";
    EXPECT_FALSE(f.flags.OperationInProgress);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpUpload,
                         ::testing::Values(UploadCase{"plain_into_folder", "none", 0, "up", false},
                                           UploadCase{"explicit_tls_anonymous", "explicit", 1, "",
                                                      true},
                                           UploadCase{"implicit_tls", "implicit", 3, "up", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A failed second upload is retried after the pause; the retry logs in again over TLS
// and resumes with that file, without sending the first one again.
TEST(FtpDelivery, RetryResumesWithTheFailedFileOverANewTlsSession) {
    NetRun f;
    FtpServer server({"--fault", "stor451", "--fault-at", "2"}, "explicit");
    f.useFakeArchiver(FakeArchives{.volumes = 3});
    useFtp(f, server);
    f.preset.fss = 1;
    f.options.fre = true;

    const QStringList lines = f.runPreset();

    ASSERT_GE(lines.size(), 7) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 5),
              QStringList({"Docs: FTP - Connecting to " + server.address() + ".",
                           "Docs: FTP - Changing folder to \"up\"."}) +
                  uploadLines({kThreeFiles[0]}) +
                  QStringList{"Docs: FTP - Trying to upload \"" + kThreeFiles[1] + "\"."});
    EXPECT_TRUE(lines[5].startsWith("Docs: FTP - Error 451 ") && lines[5].endsWith(" [!]"))
        << lines[5].toStdString();
    EXPECT_EQ(lines.mid(6),
              QStringList({"Docs: FTP - Trying again in 1 seconds (1/3).",
                           "Docs: FTP - Disconnected.", "Docs: FTP - Connecting to 127.0.0.1.",
                           "Docs: FTP - Changing folder to \"up\"."}) +
                  uploadLines(kThreeFiles.mid(1)) +
                  QStringList({"Docs: FTP - Disconnected.", "Docs: Done."}));
    for (const QString& name : kThreeFiles)
        EXPECT_EQ(server.file("up/" + name), f.madeFile(name)) << name.toStdString();

    const QStringList commands = server.commands();
    EXPECT_EQ(countOf(commands, "STOR " + kThreeFiles[0]), 1);
    EXPECT_EQ(countOf(commands, "STOR " + kThreeFiles[1]), 2);
    // Each log-in is preceded by its own TLS negotiation.
    QStringList logins;
    for (const QString& command : commands)
        if (command.startsWith("AUTH") || command.startsWith("USER"))
            logins << command.section(' ', 0, 0);
    EXPECT_EQ(logins, QStringList({"AUTH", "USER", "AUTH", "USER"}));
    EXPECT_EQ(f.presetFile(".lgf"), QStringList{f.stamp()} + kThreeFiles + QStringList{""});
}

struct FailureCase {
    const char* name;
    QStringList serverArguments;
    const char* password;
    bool retry;
    QString cancelLine;
    int errorLines;
    QStringList recorded; // names in the cleaner history afterwards
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class FtpFailure : public ::testing::TestWithParam<FailureCase> {};

// Failures that end the delivery: the run goes on, the archives that reached no server
// stay, and the uploads made before the failure are still recorded for the cleaner.
TEST_P(FtpFailure, EndsTheDeliveryAndTheRunGoesOn) {
    const FailureCase& c = GetParam();
    NetRun f;
    FtpServer server(c.serverArguments);
    f.useFakeArchiver(FakeArchives{.volumes = 2});
    useFtp(f, server);
    f.preset.fpa = QString::fromLatin1(c.password);
    f.options.fre = c.retry;

    QElapsedTimer elapsed;
    elapsed.start();
    const QStringList lines = f.runPreset();

    EXPECT_LT(elapsed.elapsed(), 15000);
    EXPECT_EQ(countOf(lines, "Docs: FTP - Error "), c.errorLines) << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: FTP - Trying again"), 0);
    EXPECT_TRUE(lines.contains(c.cancelLine)) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), "Docs: Done.");
    const QStringList lgf = f.presetFile(".lgf");
    EXPECT_EQ(lgf, c.recorded.isEmpty() ? QStringList{}
                                        : QStringList{f.stamp()} + c.recorded + QStringList{""});
    EXPECT_FALSE(f.flags.OperationInProgress);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpFailure,
                         ::testing::Values(
                             // 530 is never retried, whatever fre says.
                             FailureCase{
                                 "refused_login_not_retried", {}, "wrong", true, kNoRetries, 1, {}},
                             FailureCase{"second_upload_refused_without_retries",
                                         {"--fault", "stor451", "--fault-at", "2"},
                                         "secret",
                                         false,
                                         kNoReiteration,
                                         1,
                                         {"backup-1.part1.zip"}},
                             // A server that never greets: the log-in times out although tft is 0.
                             FailureCase{"silent_server_times_out",
                                         {"--fault", "silent"},
                                         "secret",
                                         false,
                                         kNoReiteration,
                                         1,
                                         {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FtpDelivery, ServerClosingInsteadOfAnsweringQuitIsOnlyInformation) {
    NetRun f;
    FtpServer server({"--fault", "drop-quit"});
    f.useFakeArchiver(0);
    useFtp(f, server);

    const QStringList lines = f.runPreset();

    EXPECT_EQ(
        lines.mid(lines.size() - 3),
        QStringList(
            {"Docs: FTP - Info: FTP server closed control connection too quickly (non-critical)",
             "Docs: FTP - Disconnected.", "Docs: Done."}));
    EXPECT_EQ(server.file("up/backup-1.zip"), f.madeFile("backup-1.zip"));
    EXPECT_FALSE(f.flags.ErrorLogged);
}

// The QUIT that closes a failed attempt fails too (the server drops the connection):
// that is no second failure, so the one retry allowed still comes and completes.
TEST(FtpDelivery, BrokenQuitAfterAFailureIsNoFurtherFailure) {
    NetRun f;
    FtpServer server({"--fault", "stor451", "--fault-at", "2", "--fault", "drop-quit"});
    f.useFakeArchiver(FakeArchives{.volumes = 2});
    useFtp(f, server);
    f.options.fre = true;
    f.options.fti = 1;

    const QStringList lines = f.runPreset();

    EXPECT_EQ(countOf(lines, "Docs: FTP - Error "), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: FTP - Trying again in 1 seconds (1/1)."), 1);
    EXPECT_FALSE(lines.contains(kNoRetries));
    EXPECT_EQ(countOf(lines, "Docs: FTP - Successfully uploaded "), 2);
    EXPECT_EQ(lines.last(), "Docs: Done.");
    EXPECT_TRUE(f.leftInTemp().isEmpty());
}

TEST(FtpDelivery, TransferEndingWith250CountsAsUploaded) {
    NetRun f;
    FtpServer server({"--fault", "stor250"});
    f.useFakeArchiver(0);
    useFtp(f, server);

    const QStringList lines = f.runPreset();

    EXPECT_EQ(lines, QStringList({"Docs: FTP - Connecting to " + server.address() + ".",
                                  "Docs: FTP - Changing folder to \"up\"."}) +
                         uploadLines({"backup-1.zip"}) +
                         QStringList({"Docs: FTP - Disconnected.", "Docs: Done."}));
}

TEST(FtpDelivery, StallWatchdogAbortsAHangingUpload) {
    DeliverySettings settings = testSettings();
    settings.stallWatchdog = std::chrono::milliseconds(1500);
    NetRun f(settings);
    FtpServer server({"--fault", "stall-stor"});
    f.useFakeArchiver(FakeArchives{.bytes = kStallingSize});
    useFtp(f, server);

    const QStringList lines = f.runPreset();

    const qsizetype hanging =
        lines.indexOf("Docs: FTP Server is hanging, aborting the transfer [!]");
    ASSERT_GE(hanging, 0) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[hanging + 1].startsWith("Docs: FTP - Error "))
        << lines[hanging + 1].toStdString();
    EXPECT_TRUE(lines.contains(kNoReiteration));
    EXPECT_EQ(lines.last(), "Docs: Done.");
}

TEST(FtpDelivery, OperationTimeoutOnAStalledServerAbortsTheRun) {
    DeliverySettings settings = testSettings();
    settings.minute = std::chrono::milliseconds(1500);
    settings.abortGracePeriod = std::chrono::milliseconds(500);
    NetRun f(settings);
    FtpServer server({"--fault", "stall-stor"});
    f.useFakeArchiver(FakeArchives{.bytes = kStallingSize});
    useFtp(f, server);
    f.options.tft = 1;

    const QStringList lines = f.runPreset();

    const qsizetype timeout = lines.indexOf("Docs: Operation timeout, aborting. [!]");
    ASSERT_GE(timeout, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[timeout + 1], "Abort requested. Waiting for 10 seconds.");
    EXPECT_EQ(lines.last(), "Aborted. [!]");
    EXPECT_FALSE(lines.contains("Docs: Done."));
    EXPECT_FALSE(f.flags.AbortRequested);
    EXPECT_FALSE(f.flags.OperationInProgress);
}

// The one test that waits out the real grace period.
TEST(FtpDelivery, AbortDuringAnUploadWaitsTenSecondsThenEndsTheRun) {
    NetRun f;
    FtpServer server({"--fault", "stall-stor"});
    f.useFakeArchiver(FakeArchives{.bytes = kStallingSize});
    useFtp(f, server);
    f.options.fre = true;
    QTimer::singleShot(1500, [&] { f.flags.AbortRequested = true; });

    QElapsedTimer elapsed;
    elapsed.start();
    const QStringList lines = f.runPreset();

    EXPECT_GE(elapsed.elapsed(), 10000);
    EXPECT_LT(elapsed.elapsed(), 20000);
    const qsizetype abort = lines.indexOf("Abort requested. Waiting for 10 seconds.");
    ASSERT_GE(abort, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[abort - 1], "Docs: FTP - Trying to upload \"backup-1.zip\".");
    EXPECT_EQ(lines.last(), "Aborted. [!]");
    EXPECT_EQ(countOf(lines, "Docs: FTP - Trying again"), 0);
    EXPECT_FALSE(f.flags.AbortRequested);
    EXPECT_FALSE(f.flags.OperationInProgress);
}

TEST(FtpDelivery, HostNamedByAScript) {
    NetRun f;
    FtpServer server;
    FixtureServer script(QStringLiteral("http_server.py"), {});
    f.useFakeArchiver(0);
    useFtp(f, server);
    f.preset.fse = "http://127.0.0.1:" + script.portText() + "/host?" + server.address();

    const QStringList lines = f.runPreset();

    EXPECT_EQ(lines.first(), "Docs: FTP - Connecting to " + server.address() + ".");
    EXPECT_EQ(server.file("up/backup-1.zip"), f.madeFile("backup-1.zip"));
    EXPECT_EQ(lines.last(), "Docs: Done.");
}

TEST(FtpDelivery, ScriptNamingNoHostCancelsWithoutRetry) {
    NetRun f;
    FixtureServer script(QStringLiteral("http_server.py"), {});
    f.useFakeArchiver(0);
    f.preset.ftp = true;
    f.preset.fse = "http://127.0.0.1:" + script.portText() + "/empty";
    f.options.fre = true;

    const QStringList lines = f.runPreset();

    EXPECT_EQ(lines.first(),
              "Docs: Couldn't accuire real FTP host from a HTTP script, cancelled [!]");
    EXPECT_EQ(countOf(lines, "Docs: FTP - "), 0);
    EXPECT_EQ(lines.last(), "Docs: Done.");
}

TEST(FtpDelivery, NoArchivesMeansNothingToUpload) {
    NetRun f;
    FtpServer server;
    f.useFakeArchiver(FakeArchives{.exitCode = 255, .volumes = 0});
    useFtp(f, server);

    const QStringList lines = f.runPreset();

    EXPECT_EQ(lines, QStringList({"Docs: FTP - No files to process. [!]", "Docs: Done."}));
    EXPECT_TRUE(server.commands().isEmpty());
}

} // namespace
} // namespace stowline::net::testing
