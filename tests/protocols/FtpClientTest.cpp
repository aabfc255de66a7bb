#include "FtpSmtpServers.h"
#include "TestSupport.h"

#include "protocols/CurlDriver.h"
#include "protocols/FtpClient.h"
#include "protocols/ProtocolErrors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <optional>

namespace stowline::protocols::test {
namespace {

using namespace std::chrono_literals;

struct Done {
    FtpRequest request;
    int error;
    QString message;
    int lastReply;
    bool connected;
};

std::ostream& operator<<(std::ostream& out, const Done& done) {
    return out << "request " << static_cast<int>(done.request) << " error " << done.error << " \""
               << done.message.toStdString() << "\" reply " << done.lastReply;
}

// A server in a temporary folder, a client for it, and the completions it reports.
class FtpFixture {
public:
    explicit FtpFixture(const QString& tls = "none", const QStringList& extra = {})
        : server_(extra, tls) {
        QDir().mkpath(root() + "/backup");
        client.setHost("127.0.0.1");
        client.setPort(server_.portText());
        client.setUserName("user");
        client.setPassword("secret");
        client.setTrustedCertificate(testCertificate().certificate);
        client.setTimeoutSeconds(5);
        QObject::connect(&client, &FtpClient::requestDone, [this](FtpRequest request, int error) {
            done.push_back({request, error, client.errorMessage(), client.lastReplyCode(),
                            client.isConnected()});
        });
        QObject::connect(&client, &FtpClient::progress,
                         [this](qint64 bytes) { progress.push_back(bytes); });
    }

    QString root() const { return server_.root(); }
    QString local(const QString& name) const { return local_.filePath(name); }
    QStringList commands() const { return server_.commands(); }

    // Makes one request and waits for its completion, which must be the next one.
    Done run(void (FtpClient::*request)(), FtpRequest expected,
             std::chrono::milliseconds timeout = 10s) {
        const size_t before = done.size();
        (client.*request)();
        EXPECT_TRUE(waitUntil([&] { return done.size() > before; }, timeout))
            << "no completion for request " << static_cast<int>(expected);
        if (done.size() <= before)
            return {expected, -1, {}, 0, false};
        EXPECT_EQ(done[before].request, expected);
        return done[before];
    }

    void login() { ASSERT_EQ(run(&FtpClient::connectAsync, FtpRequest::Connect).error, 0); }

    CurlDriver driver;
    FtpClient client{driver};
    std::vector<Done> done;
    std::vector<qint64> progress;

private:
    FtpServer server_;
    QTemporaryDir local_;
};

struct ModeCase {
    const char* name;
    const char* serverTls;
    FtpTlsMode mode;
    bool passive;
};

void PrintTo(const ModeCase& mode, std::ostream* out) {
    *out << mode.name;
}

class FtpModes : public testing::TestWithParam<ModeCase> {};

// Upload, clean, list, size and download in every TLS mode, passive and active.
TEST_P(FtpModes, ScriptedSessionMovesFilesByteIdentical) {
    const ModeCase& mode = GetParam();
    if (!mode.passive && mode.mode != FtpTlsMode::None &&
        curl_version_info(CURLVERSION_NOW)->version_num < 0x080000)
        GTEST_SKIP() << "libcurl before 8.0 cannot secure active data connections; "
                        "ActiveModeWithTlsOnOldLibcurlIsRefused covers it";
    FtpFixture f(mode.serverTls);
    f.client.setTlsMode(mode.mode);
    f.client.setPassive(mode.passive);
    const QByteArray big = randomBytes(3 * 1024 * 1024 + 17);
    writeFile(f.local("Docs 1.rar"), big);
    writeFile(f.local("empty.rar"), {});
    writeFile(f.root() + "/backup/old.rar", "old");

    // The first three requests are made without waiting: they complete in order.
    f.client.openAsync();
    f.client.userAsync();
    f.client.passAsync();
    ASSERT_TRUE(waitUntil([&] { return f.done.size() == 3; }));
    EXPECT_EQ(f.done[0].request, FtpRequest::Open);
    EXPECT_EQ(f.done[1].request, FtpRequest::User);
    EXPECT_EQ(f.done[2].request, FtpRequest::Pass);
    for (const Done& done : f.done)
        EXPECT_EQ(done.error, 0) << done;
    EXPECT_TRUE(f.client.isConnected());

    f.client.setRemoteFolder("backup");
    EXPECT_EQ(f.run(&FtpClient::cwdAsync, FtpRequest::Cwd).error, 0);
    EXPECT_EQ(f.run(&FtpClient::typeSetAsync, FtpRequest::TypeSet).error, 0);
    for (const QString name : {"Docs 1.rar", "empty.rar"}) {
        f.client.setRemoteFileName(name);
        f.client.setLocalFileName(f.local(name));
        const Done put = f.run(&FtpClient::putAsync, FtpRequest::Put);
        EXPECT_EQ(put.error, 0) << put;
        EXPECT_EQ(put.lastReply, 226);
    }
    EXPECT_TRUE(std::find(f.progress.begin(), f.progress.end(), big.size()) != f.progress.end());
    f.client.setRemoteFileName("old.rar");
    EXPECT_EQ(f.run(&FtpClient::deleAsync, FtpRequest::Dele).error, 0);
    EXPECT_EQ(f.run(&FtpClient::quitAsync, FtpRequest::Quit).error, 0);
    EXPECT_FALSE(f.client.isConnected());

    EXPECT_EQ(readFile(f.root() + "/backup/Docs 1.rar"), big);
    EXPECT_EQ(readFile(f.root() + "/backup/empty.rar"), QByteArray());
    EXPECT_FALSE(QFile::exists(f.root() + "/backup/old.rar"));

    // The restore side: listing, size and download on a new connection.
    f.client.setLocalFileName(f.local("listing.txt"));
    ASSERT_TRUE(f.client.listNames()) << f.client.errorMessage().toStdString();
    QStringList names = QString::fromUtf8(readFile(f.local("listing.txt")))
                            .split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    names.sort();
    EXPECT_EQ(names, QStringList({"Docs 1.rar", "empty.rar"}));

    f.login();
    EXPECT_EQ(f.run(&FtpClient::cwdAsync, FtpRequest::Cwd).error, 0);
    f.client.setRemoteFileName("Docs 1.rar");
    ASSERT_TRUE(f.client.querySize());
    EXPECT_EQ(f.client.sizeResult(), big.size());
    EXPECT_EQ(f.done.back().request, FtpRequest::Size);
    f.client.setLocalFileName(f.local("restored.rar"));
    const Done get = f.run(&FtpClient::getAsync, FtpRequest::Get);
    EXPECT_EQ(get.error, 0) << get;
    EXPECT_EQ(get.lastReply, 226);
    EXPECT_EQ(readFile(f.local("restored.rar")), big);
    EXPECT_EQ(f.run(&FtpClient::quitAsync, FtpRequest::Quit).error, 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllTlsModes, FtpModes,
    testing::Values(ModeCase{"Plain", "none", FtpTlsMode::None, true},
                    ModeCase{"PlainActive", "none", FtpTlsMode::None, false},
                    ModeCase{"AuthTls", "explicit", FtpTlsMode::AuthTls, true},
                    ModeCase{"AuthSsl", "explicit", FtpTlsMode::AuthSsl, true},
                    ModeCase{"AuthTlsActive", "explicit", FtpTlsMode::AuthTls, false},
                    ModeCase{"Implicit", "implicit", FtpTlsMode::Implicit, true}),
    [](const testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

// Upload after upload over TLS: each arrives whole (a TLS 1.3 session ticket on the data
// connection used to reset it and cut the second file short).
TEST(FtpClient, ConsecutiveUploadsOverTlsArriveWhole) {
    for (const auto& [serverTls, mode] : {std::pair{"explicit", FtpTlsMode::AuthTls},
                                          std::pair{"implicit", FtpTlsMode::Implicit}}) {
        SCOPED_TRACE(serverTls);
        FtpFixture f(serverTls);
        f.client.setTlsMode(mode);
        f.login();
        for (int i = 0; i < 3; ++i) {
            const QString name = QString("part%1.rar").arg(i);
            const QByteArray content = randomBytes(300 * 1024 + i);
            writeFile(f.local(name), content);
            f.client.setRemoteFileName(name);
            f.client.setLocalFileName(f.local(name));
            EXPECT_EQ(f.run(&FtpClient::putAsync, FtpRequest::Put).error, 0);
            EXPECT_EQ(readFile(f.root() + "/" + name), content) << name.toStdString();
        }
        EXPECT_EQ(f.run(&FtpClient::quitAsync, FtpRequest::Quit).error, 0);
    }
}

TEST(FtpClient, WrongPasswordFailsPassWith530) {
    FtpFixture f;
    f.client.setPassword("wrong");
    EXPECT_EQ(f.run(&FtpClient::openAsync, FtpRequest::Open).error, 0);
    EXPECT_EQ(f.run(&FtpClient::userAsync, FtpRequest::User).error, 0);
    const Done pass = f.run(&FtpClient::passAsync, FtpRequest::Pass);
    EXPECT_EQ(pass.error, 530) << pass;
    EXPECT_TRUE(pass.message.startsWith("530")) << pass;
    EXPECT_FALSE(f.client.isConnected());
    EXPECT_EQ(f.run(&FtpClient::connectAsync, FtpRequest::Connect).error, 530);
}

TEST(FtpClient, MissingFolderAnswers550AndUploadGoesToCurrentFolder) {
    FtpFixture f;
    f.login();
    f.client.setRemoteFolder("nowhere");
    const Done cwd = f.run(&FtpClient::cwdAsync, FtpRequest::Cwd);
    EXPECT_EQ(cwd.error, 550) << cwd;
    EXPECT_EQ(f.run(&FtpClient::typeSetAsync, FtpRequest::TypeSet).error, 0);
    writeFile(f.local("a.rar"), "archive");
    f.client.setLocalFileName(f.local("a.rar"));
    f.client.setRemoteFileName("a.rar");
    EXPECT_EQ(f.run(&FtpClient::putAsync, FtpRequest::Put).error, 0);
    EXPECT_EQ(readFile(f.root() + "/a.rar"), "archive");
}

TEST(FtpClient, FailedDeleAnswers550AndConnectionGoesOn) {
    FtpFixture f;
    writeFile(f.root() + "/backup/kept.rar", "x");
    f.login();
    f.client.setRemoteFolder("backup");
    EXPECT_EQ(f.run(&FtpClient::cwdAsync, FtpRequest::Cwd).error, 0);
    f.client.setRemoteFileName("gone.rar");
    const Done missing = f.run(&FtpClient::deleAsync, FtpRequest::Dele);
    EXPECT_EQ(missing.error, 550) << missing;
    f.client.setRemoteFileName("kept.rar");
    EXPECT_EQ(f.run(&FtpClient::deleAsync, FtpRequest::Dele).error, 0);
    EXPECT_FALSE(QFile::exists(f.root() + "/backup/kept.rar"));
    EXPECT_EQ(f.run(&FtpClient::quitAsync, FtpRequest::Quit).error, 0);
}

// After a reconnection the connection starts in the log-in folder again; DELE must still
// reach the file in the working folder.
TEST(FtpClient, DeleAfterReconnectionStillTargetsWorkingFolder) {
    FtpFixture f;
    writeFile(f.root() + "/backup/old.rar", "x");
    writeFile(f.root() + "/old.rar", "must stay");
    f.login();
    f.client.setRemoteFolder("backup");
    EXPECT_EQ(f.run(&FtpClient::cwdAsync, FtpRequest::Cwd).error, 0);
    f.client.abort(); // drops the connection; the next request connects again
    f.client.setRemoteFileName("old.rar");
    EXPECT_EQ(f.run(&FtpClient::deleAsync, FtpRequest::Dele).error, 0);
    EXPECT_FALSE(QFile::exists(f.root() + "/backup/old.rar"));
    EXPECT_TRUE(QFile::exists(f.root() + "/old.rar"));
}

TEST(FtpClient, StoreRefusedWith451ThenNextStoreSucceeds) {
    FtpFixture f("none", {"--fault", "stor451"});
    writeFile(f.local("a.rar"), "archive");
    f.client.setLocalFileName(f.local("a.rar"));
    f.client.setRemoteFileName("a.rar");
    f.login();
    const Done refused = f.run(&FtpClient::putAsync, FtpRequest::Put);
    EXPECT_EQ(refused.error, 451) << refused;
    EXPECT_NE(refused.lastReply, 226);
    const Done again = f.run(&FtpClient::putAsync, FtpRequest::Put);
    EXPECT_EQ(again.error, 0) << again;
    EXPECT_EQ(readFile(f.root() + "/a.rar"), "archive");
}

// Fault cases in which the connection breaks: each must end in one completion with a
// socket error (and "#" plus its number in the message), in bounded time.
struct BreakCase {
    const char* name;
    const char* fault;
    bool abortOnStall; // the caller's watchdog aborts once progress stops
    int expected;
};

void PrintTo(const BreakCase& fault, std::ostream* out) {
    *out << fault.name;
}

class FtpBreaks : public testing::TestWithParam<BreakCase> {};

TEST_P(FtpBreaks, UploadEndsWithSocketError) {
    const BreakCase& c = GetParam();
    FtpFixture f("none", {"--fault", c.fault});
    f.client.setStallTimeoutSeconds(1);
    // Larger than what the loopback socket buffers can swallow.
    writeFile(f.local("big.rar"), randomBytes(32 * 1024 * 1024));
    f.client.setLocalFileName(f.local("big.rar"));
    f.client.setRemoteFileName("big.rar");
    f.login();
    QTimer watchdog;
    watchdog.setSingleShot(true);
    if (c.abortOnStall) {
        QObject::connect(&f.client, &FtpClient::progress, [&] { watchdog.start(500); });
        QObject::connect(&watchdog, &QTimer::timeout, [&] { f.client.abort(); });
    }
    QElapsedTimer clock;
    clock.start();
    const Done put = f.run(&FtpClient::putAsync, FtpRequest::Put, 20s);
    EXPECT_EQ(put.error, c.expected) << put;
    EXPECT_TRUE(put.message.contains(QString("#%1").arg(c.expected))) << put;
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(f.client.isConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FtpBreaks,
    testing::Values(BreakCase{"StallAbortedByWatchdog", "stall-stor", true, errors::kAborted},
                    BreakCase{"StallTimesOut", "stall-stor", false, errors::kTimedOut},
                    BreakCase{"DropMidUpload", "drop-stor", false, errors::kConnectionReset}),
    [](const testing::TestParamInfo<BreakCase>& info) { return info.param.name; });

TEST(FtpClient, ServerClosingOnQuitReports10053) {
    FtpFixture f("none", {"--fault", "drop-quit"});
    f.login();
    const Done quit = f.run(&FtpClient::quitAsync, FtpRequest::Quit);
    EXPECT_EQ(quit.error, errors::kConnectionAborted) << quit;
    EXPECT_EQ(quit.message.mid(quit.message.indexOf('#') + 1, 5), "10053") << quit;
    EXPECT_FALSE(f.client.isConnected());
}

TEST(FtpClient, SilentServerTimesOut) {
    FtpFixture f("none", {"--fault", "silent"});
    f.client.setTimeoutSeconds(1);
    QElapsedTimer clock;
    clock.start();
    const Done open = f.run(&FtpClient::openAsync, FtpRequest::Open);
    EXPECT_EQ(open.error, errors::kTimedOut) << open;
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(FtpClient, RefusedConnectionReportsSocketError) {
    CurlDriver driver;
    FtpClient client(driver);
    client.setHost("127.0.0.1");
    client.setPort(QString::number(closedPort()));
    std::optional<int> error;
    QObject::connect(&client, &FtpClient::requestDone, [&](FtpRequest, int code) { error = code; });
    client.openAsync();
    ASSERT_TRUE(waitUntil([&] { return error.has_value(); }));
    EXPECT_EQ(*error, errors::kConnectionRefused);
    EXPECT_TRUE(client.errorMessage().contains("#10061")) << client.errorMessage().toStdString();
}

TEST(FtpClient, UntrustedCertificateIsRefused) {
    FtpFixture f("explicit");
    f.client.setTlsMode(FtpTlsMode::AuthTls);
    f.client.setTrustedCertificate({}); // the system store does not know the test server
    const Done open = f.run(&FtpClient::connectAsync, FtpRequest::Connect);
    EXPECT_EQ(open.error, errors::kTls) << open;
    EXPECT_FALSE(f.commands().contains("PASS ***"));
}

TEST(FtpClient, SecureModeAgainstPlainServerNeverSendsPassword) {
    FtpFixture f("none");
    f.client.setTlsMode(FtpTlsMode::AuthTls);
    const Done open = f.run(&FtpClient::openAsync, FtpRequest::Open);
    EXPECT_NE(open.error, 0) << open;
    EXPECT_NE(f.run(&FtpClient::userAsync, FtpRequest::User).error, 0);
    EXPECT_NE(f.run(&FtpClient::passAsync, FtpRequest::Pass).error, 0);
    EXPECT_FALSE(f.commands().contains("USER user"));
    EXPECT_FALSE(f.commands().contains("PASS ***"));
}

// A reconnection after a failure (Open, User, Pass) negotiates TLS again before the
// password goes out.
TEST(FtpClient, ReconnectionNegotiatesTlsAgain) {
    FtpFixture f("explicit");
    f.client.setTlsMode(FtpTlsMode::AuthTls);
    f.login();
    f.client.abort();
    EXPECT_EQ(f.run(&FtpClient::openAsync, FtpRequest::Open).error, 0);
    EXPECT_EQ(f.run(&FtpClient::userAsync, FtpRequest::User).error, 0);
    EXPECT_EQ(f.run(&FtpClient::passAsync, FtpRequest::Pass).error, 0);
    QStringList seen;
    for (const QString& command : f.commands())
        if (command.startsWith("AUTH") || command.startsWith("PASS"))
            seen << command.section(' ', 0, 0);
    EXPECT_EQ(seen, QStringList({"AUTH", "PASS", "AUTH", "PASS"}));
}

TEST(FtpClient, ActiveModeWithTlsOnOldLibcurlIsRefused) {
    if (curl_version_info(CURLVERSION_NOW)->version_num >= 0x080000)
        GTEST_SKIP() << "this libcurl secures active data connections";
    FtpFixture f("explicit");
    f.client.setTlsMode(FtpTlsMode::AuthTls);
    f.client.setPassive(false);
    writeFile(f.local("a.rar"), "secret archive");
    f.client.setLocalFileName(f.local("a.rar"));
    f.client.setRemoteFileName("a.rar");
    f.login();
    const Done put = f.run(&FtpClient::putAsync, FtpRequest::Put);
    EXPECT_EQ(put.error, errors::kTls) << put;
    EXPECT_FALSE(f.commands().contains("STOR a.rar"));
}

TEST(FtpClient, RequestWhileTransferRunsIsRefusedAndFirstStillCompletes) {
    FtpFixture f;
    writeFile(f.local("a.rar"), randomBytes(1024 * 1024));
    f.client.setLocalFileName(f.local("a.rar"));
    f.client.setRemoteFileName("a.rar");
    f.login();
    f.client.putAsync();
    f.client.deleAsync();
    ASSERT_TRUE(waitUntil([&] { return f.done.size() == 3; }));
    EXPECT_EQ(f.done[1].request, FtpRequest::Put);
    EXPECT_EQ(f.done[1].error, 0) << f.done[1];
    EXPECT_EQ(f.done[2].request, FtpRequest::Dele);
    EXPECT_EQ(f.done[2].error, errors::kRefused);
}

TEST(FtpClient, AbortWhileIdleDropsConnectionAndQuitNeedsNoServer) {
    FtpFixture f;
    f.login();
    ASSERT_TRUE(f.client.isConnected());
    f.client.abort();
    EXPECT_FALSE(f.client.isConnected());
    EXPECT_EQ(f.run(&FtpClient::quitAsync, FtpRequest::Quit).error, 0);
    f.login();
    EXPECT_TRUE(f.client.isConnected());
}

TEST(FtpClient, FailedDownloadLeavesNoLocalFile) {
    FtpFixture f;
    f.login();
    f.client.setRemoteFileName("missing.rar");
    f.client.setLocalFileName(f.local("missing.rar"));
    EXPECT_FALSE(f.client.querySize());
    EXPECT_EQ(f.done.back().error, 550);
    EXPECT_EQ(f.run(&FtpClient::getAsync, FtpRequest::Get).error, 550);
    EXPECT_FALSE(QFile::exists(f.local("missing.rar")));
}

// vsftpd as a second, independent server: the plain session of a delivery and, over
// explicit TLS, the restore side (listing, size, download).
TEST(FtpClientVsftpd, DeliveryAndRestoreAgainstSecondServer) {
    if (!VsftpdServer::available())
        GTEST_SKIP() << "vsftpd is not installed";
    QTemporaryDir folder;
    const QString root = folder.filePath("root");
    QDir().mkpath(root + "/pub");
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                    QFileDevice::ReadOther | QFileDevice::ExeOther);
    writeFile(root + "/pub/old.rar", "old");
    const QByteArray archive = randomBytes(2 * 1024 * 1024 + 3);
    writeFile(folder.filePath("Docs.rar"), archive);
    VsftpdServer server(root, folder.filePath("vsftpd"));

    CurlDriver driver;
    FtpClient client(driver);
    client.setHost("127.0.0.1");
    client.setPort(QString::number(server.port()));
    client.setUserName("anonymous");
    client.setPassword("stowline@");
    client.setTrustedCertificate(testCertificate().certificate);
    client.setTimeoutSeconds(5);
    std::vector<std::pair<FtpRequest, int>> done;
    QObject::connect(&client, &FtpClient::requestDone,
                     [&](FtpRequest request, int error) { done.emplace_back(request, error); });
    const auto run = [&](void (FtpClient::*request)()) {
        const size_t before = done.size();
        (client.*request)();
        EXPECT_TRUE(waitUntil([&] { return done.size() > before; }));
        return done.size() > before ? done[before].second : -1;
    };

    client.setRemoteFolder("pub");
    client.setRemoteFileName("Docs.rar");
    client.setLocalFileName(folder.filePath("Docs.rar"));
    EXPECT_EQ(run(&FtpClient::connectAsync), 0) << client.errorMessage().toStdString();
    EXPECT_EQ(run(&FtpClient::cwdAsync), 0);
    EXPECT_EQ(run(&FtpClient::typeSetAsync), 0);
    EXPECT_EQ(run(&FtpClient::putAsync), 0) << client.errorMessage().toStdString();
    EXPECT_EQ(client.lastReplyCode(), 226);
    client.setRemoteFileName("old.rar");
    EXPECT_EQ(run(&FtpClient::deleAsync), 0) << client.errorMessage().toStdString();
    client.setRemoteFileName("never.rar");
    EXPECT_EQ(run(&FtpClient::deleAsync), 550);
    EXPECT_EQ(run(&FtpClient::quitAsync), 0);
    EXPECT_EQ(readFile(root + "/pub/Docs.rar"), archive);
    EXPECT_FALSE(QFile::exists(root + "/pub/old.rar"));

    client.setTlsMode(FtpTlsMode::AuthTls);
    client.setLocalFileName(folder.filePath("listing.txt"));
    ASSERT_TRUE(client.listNames()) << client.errorMessage().toStdString();
    EXPECT_EQ(readFile(folder.filePath("listing.txt")).trimmed(), "Docs.rar");
    EXPECT_EQ(run(&FtpClient::connectAsync), 0) << client.errorMessage().toStdString();
    EXPECT_EQ(run(&FtpClient::cwdAsync), 0);
    client.setRemoteFileName("Docs.rar");
    ASSERT_TRUE(client.querySize());
    EXPECT_EQ(client.sizeResult(), archive.size());
    client.setLocalFileName(folder.filePath("restored.rar"));
    EXPECT_EQ(run(&FtpClient::getAsync), 0) << client.errorMessage().toStdString();
    EXPECT_EQ(readFile(folder.filePath("restored.rar")), archive);
    EXPECT_EQ(run(&FtpClient::quitAsync), 0);
}

} // namespace
} // namespace stowline::protocols::test
