#include "FtpSmtpServers.h"
#include "TestSupport.h"

#include "protocols/CurlDriver.h"
#include "protocols/MimeMessage.h"
#include "protocols/ProtocolErrors.h"
#include "protocols/SmtpClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::protocols::test {
namespace {

using namespace std::chrono_literals;

struct Done {
    SmtpRequest request;
    int error;
    QString message;
};

std::ostream& operator<<(std::ostream& out, const Done& done) {
    return out << "request " << static_cast<int>(done.request) << " error " << done.error << " \""
               << done.message.toStdString() << '"';
}

// An aiosmtpd server writing what it receives into a temporary folder, and a client.
class SmtpFixture {
public:
    explicit SmtpFixture(const QString& tls = "none", const QStringList& extra = {})
        : server_(extra, tls) {
        client.setHost("127.0.0.1");
        client.setPort(server_.portText());
        client.setTrustedCertificate(testCertificate().certificate);
        client.setTimeoutSeconds(5);
        client.setSender("backup@example.org");
        client.setHeaderFrom("Stowline <backup@example.org>");
        client.setHeaderTo("admin@example.org");
        client.setRecipients({"admin@example.org"});
        QObject::connect(&client, &SmtpClient::requestDone, [this](SmtpRequest request, int error) {
            done.push_back({request, error, client.errorMessage()});
        });
    }

    QString out() const { return server_.out(); }
    QString local(const QString& name) const { return local_.filePath(name); }
    QStringList commands() const { return server_.commands(); }
    QJsonObject message(int number) const { return server_.message(number); }
    QByteArray attachment(int number, const QString& name) const {
        return server_.attachment(number, name);
    }

    Done run(void (SmtpClient::*request)(), SmtpRequest expected,
             std::chrono::milliseconds timeout = 10s) {
        const size_t before = done.size();
        (client.*request)();
        EXPECT_TRUE(waitUntil([&] { return done.size() > before; }, timeout))
            << "no completion for request " << static_cast<int>(expected);
        if (done.size() <= before)
            return {expected, -1, {}};
        EXPECT_EQ(done[before].request, expected);
        return done[before];
    }

    void useAccount(const QString& password = "secret") {
        client.setAuth(SmtpAuth::Automatic);
        client.setUserName("mailer");
        client.setPassword(password);
    }

    CurlDriver driver;
    SmtpClient client{driver};
    std::vector<Done> done;

private:
    SmtpServer server_;
    QTemporaryDir local_;
};

const QStringList kAccount{"--user", "mailer", "--password", "secret"};

struct SmtpModeCase {
    const char* name;
    const char* serverTls;
    SmtpTlsMode mode;
    bool authenticate;
};

void PrintTo(const SmtpModeCase& mode, std::ostream* out) {
    *out << mode.name;
}

class SmtpModes : public testing::TestWithParam<SmtpModeCase> {};

// Two messages over one connection, with text and attachments that arrive byte-identical.
TEST_P(SmtpModes, TwoMessagesOverOneConnection) {
    const SmtpModeCase& mode = GetParam();
    SmtpFixture f(mode.serverTls, mode.authenticate ? kAccount : QStringList{});
    f.client.setTlsMode(mode.mode);
    if (mode.authenticate)
        f.useAccount();
    const QByteArray archive = randomBytes(700 * 1024 + 5);
    writeFile(f.local("Docs.rar"), archive);
    writeFile(f.local("notes.txt"), "line one\r\n.\r\n.. dots\r\nend");
    writeFile(f.local("Müll ä.zip"), randomBytes(3));

    EXPECT_EQ(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, 0) << f.done.back();
    EXPECT_TRUE(f.client.isConnected());
    // First message: text and two attachments.
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    f.client.setSubject("Docs.rar (sent by SWL).");
    f.client.setTextLines({"First line", ".", "Grüße"});
    f.client.setAttachments({f.local("Docs.rar"), f.local("notes.txt")});
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 0) << f.done.back();
    // Second message: one attachment, no text.
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    f.client.setSubject("Müll ä.zip (sent by SWL).");
    f.client.setTextLines({});
    f.client.setAttachments({f.local("Müll ä.zip")});
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 0) << f.done.back();
    EXPECT_EQ(f.run(&SmtpClient::quitAsync, SmtpRequest::Quit).error, 0) << f.done.back();
    EXPECT_FALSE(f.client.isConnected());

    const QJsonObject first = f.message(1);
    EXPECT_EQ(first["mail_from"].toString(), "backup@example.org");
    EXPECT_EQ(first["rcpt_tos"].toArray().first().toString(), "admin@example.org");
    EXPECT_EQ(first["from"].toString(), "Stowline <backup@example.org>");
    EXPECT_EQ(first["to"].toString(), "admin@example.org");
    EXPECT_EQ(first["subject"].toString(), "Docs.rar (sent by SWL).");
    EXPECT_EQ(first["text"].toString(), "First line\r\n.\r\nGrüße\r\n");
    EXPECT_EQ(f.attachment(1, "Docs.rar"), archive);
    EXPECT_EQ(f.attachment(1, "notes.txt"), "line one\r\n.\r\n.. dots\r\nend");
    const QJsonObject second = f.message(2);
    EXPECT_EQ(second["subject"].toString(), "Müll ä.zip (sent by SWL).");
    EXPECT_EQ(second["attachments"].toArray().size(), 1);
    EXPECT_EQ(f.attachment(2, "Müll ä.zip"), readFile(f.local("Müll ä.zip")));

    // One connection: one greeting for both messages.
    EXPECT_EQ(f.commands().filter("EHLO").size(), mode.mode == SmtpTlsMode::Explicit ? 2 : 1)
        << f.commands().join(", ").toStdString();
    if (mode.authenticate) {
        const QStringList auth = f.commands().filter("AUTH");
        ASSERT_EQ(auth.size(), 1);
        if (mode.mode != SmtpTlsMode::None) {
            EXPECT_TRUE(auth.first().endsWith(" tls")) << auth.first().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllTlsModes, SmtpModes,
    testing::Values(SmtpModeCase{"Plain", "none", SmtpTlsMode::None, false},
                    SmtpModeCase{"PlainAuth", "none", SmtpTlsMode::None, true},
                    SmtpModeCase{"StartTls", "starttls", SmtpTlsMode::Explicit, true},
                    SmtpModeCase{"Implicit", "implicit", SmtpTlsMode::Implicit, true}),
    [](const testing::TestParamInfo<SmtpModeCase>& info) { return info.param.name; });

// The order a delivery takes after a failure: Connect, Ehlo, Auth, then the message.
TEST(SmtpClient, StepByStepLoginCompletesEachStep) {
    SmtpFixture f("starttls", kAccount);
    f.client.setTlsMode(SmtpTlsMode::Explicit);
    f.useAccount();
    f.client.setSubject("s");
    f.client.setTextLines({"hello"});
    EXPECT_EQ(f.run(&SmtpClient::connectAsync, SmtpRequest::Connect).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::ehloAsync, SmtpRequest::Ehlo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::authAsync, SmtpRequest::Auth).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::quitAsync, SmtpRequest::Quit).error, 0);
    EXPECT_EQ(f.message(1)["text"].toString(), "hello\r\n");
}

TEST(SmtpClient, HeloPathWithoutAuthentication) {
    SmtpFixture f;
    f.client.setSubject("s");
    EXPECT_EQ(f.run(&SmtpClient::connectAsync, SmtpRequest::Connect).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::heloAsync, SmtpRequest::Helo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 0);
    EXPECT_EQ(f.message(1)["subject"].toString(), "s");
}

TEST(SmtpClient, WrongPasswordFailsOpenWith535) {
    SmtpFixture f("none", kAccount);
    f.useAccount("wrong");
    const Done open = f.run(&SmtpClient::openAsync, SmtpRequest::Open);
    EXPECT_EQ(open.error, 535) << open;
    EXPECT_FALSE(f.client.isConnected());
    // Step by step, the failure belongs to Auth; the steps before it succeeded.
    f.client.connectAsync();
    f.client.ehloAsync();
    f.client.authAsync();
    ASSERT_TRUE(waitUntil([&] { return f.done.size() == 4; }));
    EXPECT_EQ(f.done[1].error, 0);
    EXPECT_EQ(f.done[2].error, 0);
    EXPECT_EQ(f.done[3].request, SmtpRequest::Auth);
    EXPECT_EQ(f.done[3].error, 535);
}

TEST(SmtpClient, RejectedRecipientFailsRcptTo) {
    SmtpFixture f("none", {"--reject-rcpt", "nobody"});
    f.client.setRecipients({"nobody@example.org"});
    EXPECT_EQ(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    const Done rcpt = f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo);
    EXPECT_EQ(rcpt.error, 550) << rcpt;
    EXPECT_TRUE(rcpt.message.startsWith("550")) << rcpt;
}

// A message the server refuses fails Data; the next message goes through.
TEST(SmtpClient, RefusedMessageThenNextOneIsSent) {
    SmtpFixture f("none", {"--fail-data", "1"});
    f.client.setSubject("s");
    EXPECT_EQ(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 451);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::dataAsync, SmtpRequest::Data).error, 0);
    EXPECT_EQ(f.message(1)["subject"].toString(), "s");
}

TEST(SmtpClient, UnreadableAttachmentFailsDataWithoutSendingIt) {
    SmtpFixture f;
    f.client.setAttachments({f.local("missing.rar")});
    EXPECT_EQ(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::mailFromAsync, SmtpRequest::MailFrom).error, 0);
    EXPECT_EQ(f.run(&SmtpClient::rcptToAsync, SmtpRequest::RcptTo).error, 0);
    const Done data = f.run(&SmtpClient::dataAsync, SmtpRequest::Data);
    EXPECT_EQ(data.error, errors::kLocalFile) << data;
    EXPECT_FALSE(QFile::exists(f.out() + "/msg-1.eml"));
}

TEST(SmtpClient, StartTlsModeRefusesServerWithoutStartTls) {
    SmtpFixture f("none", kAccount);
    f.client.setTlsMode(SmtpTlsMode::Explicit);
    f.useAccount();
    EXPECT_NE(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, 0);
    EXPECT_TRUE(f.commands().filter("AUTH").isEmpty());
}

TEST(SmtpClient, UntrustedCertificateIsRefused) {
    SmtpFixture f("implicit");
    f.client.setTlsMode(SmtpTlsMode::Implicit);
    f.client.setTrustedCertificate({});
    EXPECT_EQ(f.run(&SmtpClient::openAsync, SmtpRequest::Open).error, errors::kTls);
}

TEST(SmtpClient, SynchronousFormsSendAMessage) {
    SmtpFixture f("starttls", kAccount);
    f.client.setTlsMode(SmtpTlsMode::Explicit);
    f.useAccount();
    f.client.setSubject("SWL error report.");
    f.client.setTextLines({"[2026.12.10 12:00:00] Docs: WinRAR - Error [!]"});
    ASSERT_TRUE(f.client.open()) << f.client.errorMessage().toStdString();
    ASSERT_TRUE(f.client.mail()) << f.client.errorMessage().toStdString();
    EXPECT_TRUE(f.client.quit());
    EXPECT_EQ(f.message(1)["text"].toString(),
              "[2026.12.10 12:00:00] Docs: WinRAR - Error [!]\r\n");
}

// A synchronous form against a server that never answers gives up after the time-out,
// and events (here a timer) keep being processed while it waits.
TEST(SmtpClient, SynchronousOpenTimesOutWhileEventsGoOn) {
    SmtpFixture f("none", {"--silent"});
    f.client.setTimeoutSeconds(1);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(f.client.open());
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(f.done.back().error, errors::kTimedOut) << f.done.back();
}

TEST(SmtpClient, AbortEndsPendingRequestAtOnce) {
    SmtpFixture f("none", {"--silent"});
    f.client.openAsync();
    QTimer::singleShot(100, [&] { f.client.abort(); });
    ASSERT_TRUE(waitUntil([&] { return !f.done.empty(); }, 3s));
    EXPECT_EQ(f.done[0].error, errors::kAborted);
    EXPECT_FALSE(f.client.isConnected());
}

TEST(MimeMessage, HeaderValuesCannotBreakTheHeader) {
    EXPECT_EQ(MimeMessage::encodeHeaderText("Docs.rar (sent by SWL)."), "Docs.rar (sent by SWL).");
    EXPECT_EQ(MimeMessage::encodeHeaderText("a\r\nBcc: x@y"), "a Bcc: x@y");
    EXPECT_EQ(MimeMessage::encodeHeaderText("Grüße"), "=?UTF-8?B?R3LDvMOfZQ==?=");
    EXPECT_EQ(MimeMessage::encodeAddressHeader("Jörg <j@example.org>"),
              "=?UTF-8?B?SsO2cmc=?= <j@example.org>");
    const QByteArray longSubject = MimeMessage::encodeHeaderText(QString(40, QChar(0x00e4)));
    for (const QByteArray& line : longSubject.split('\n'))
        EXPECT_LE(line.size(), 78);
}

} // namespace
} // namespace stowline::protocols::test
