#include "NetFixture.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace stowline::net::testing {
namespace {

const QStringList kTwoFiles{"backup-1.part1.zip", "backup-1.part2.zip"};
const QStringList kAccount{"--user", "mailer", "--password", "secret"};

void useEmail(NetRun& f, const SmtpServer& server) {
    f.preset.smt = true;
    f.preset.sse = server.address();
    f.preset.sfr = QStringLiteral("backup@example.org");
    f.preset.sto = QStringLiteral("admin@example.org");
}

void useAccount(NetRun& f) {
    f.preset.sus = QStringLiteral("mailer");
    f.preset.spa = QStringLiteral("secret");
}

QStringList sendLines(const QStringList& names) {
    QStringList lines;
    for (const QString& name : names)
        lines << "Docs: SMTP - Trying to send " + name + "."
              << "Docs: SMTP - Successfully sent: " + name;
    return lines;
}

int countOf(const QStringList& lines, const QString& start) {
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(start); }));
}

struct MailCase {
    const char* name;
    const char* serverTls;
    int sss;
    bool authenticate;
};

void PrintTo(const MailCase& c, std::ostream* out) {
    *out << c.name;
}

class EmailDeliveryModes : public ::testing::TestWithParam<MailCase> {};

// One message per archive over one connection, each with its archive as the only
// attachment and the file name in the subject.
TEST_P(EmailDeliveryModes, SendsEveryArchiveInAMessageOfItsOwn) {
    const MailCase& c = GetParam();
    NetRun f;
    SmtpServer server(c.authenticate ? kAccount : QStringList{}, c.serverTls);
    f.useFakeArchiver(FakeArchives{.bytes = 200 * 1024, .volumes = 2});
    useEmail(f, server);
    f.preset.sss = c.sss;
    if (c.authenticate)
        useAccount(f);

    const QStringList lines = f.runPreset();

    EXPECT_EQ(lines, QStringList{"Docs: SMTP - Connecting to " + server.address() + "."} +
                         sendLines(kTwoFiles) +
                         QStringList({"Docs: SMTP - Logging off from the server.",
                                      "Docs: SMTP - Disconnected.", "Docs: Done."}));
    ASSERT_EQ(server.messageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject message = server.message(i + 1);
        EXPECT_EQ(message["subject"].toString(), kTwoFiles[i] + " (sent by SWL).");
        EXPECT_EQ(message["mail_from"].toString(), "backup@example.org");
        EXPECT_EQ(jsonStrings(message["rcpt_tos"]), QStringList{"admin@example.org"});
        EXPECT_EQ(jsonStrings(message["attachments"]), QStringList{kTwoFiles[i]});
        EXPECT_EQ(server.attachment(i + 1, kTwoFiles[i]), f.madeFile(kTwoFiles[i]));
    }
    EXPECT_EQ(f.presetFile(".hst"),
              QStringList({f.stamp() + "\t2-SMTP\tadmin@example.org/" + kTwoFiles[1],
                           f.stamp() + "\t2-SMTP\tadmin@example.org/" + kTwoFiles[0]}));
    EXPECT_EQ(f.presetFile(".lgs"), QStringList{f.stamp()} + kTwoFiles + QStringList{""});
    EXPECT_TRUE(f.leftInTemp().isEmpty()) << "run folder left behind";
}

INSTANTIATE_TEST_SUITE_P(Modes, EmailDeliveryModes,
                         ::testing::Values(MailCase{"plain", "none", 0, false},
                                           MailCase{"starttls_login", "starttls", 2, true},
                                           MailCase{"implicit_tls_login", "implicit", 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A refused message is sent again after the pause over a new connection that
// negotiates TLS before it logs in, and the files sent before are not sent again.
TEST(EmailDelivery, RetryResumesWithTheRefusedFile) {
    NetRun f;
    SmtpServer server(kAccount + QStringList{"--fail-data", "2"}, "starttls");
    f.useFakeArchiver(FakeArchives{.volumes = 3});
    useEmail(f, server);
    useAccount(f);
    f.preset.sss = 2;
    f.options.fre = true;
    const QStringList files{"backup-1.part1.zip", "backup-1.part2.zip", "backup-1.part3.zip"};

    const QStringList lines = f.runPreset();

    ASSERT_GE(lines.size(), 5) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 4), QStringList{"Docs: SMTP - Connecting to " + server.address() + "."} +
                                   sendLines({files[0]}) +
                                   QStringList{"Docs: SMTP - Trying to send " + files[1] + "."});
    EXPECT_TRUE(lines[4].startsWith("Docs: SMTP - Error ") && lines[4].contains("451") &&
                lines[4].endsWith(" [!]"))
        << lines[4].toStdString();
    EXPECT_EQ(lines.mid(5),
              QStringList({"Docs: SMTP - Trying again in 1 seconds (1/3).",
                           "Docs: SMTP - Disconnected.", "Docs: SMTP - Connecting to 127.0.0.1."}) +
                  sendLines(files.mid(1)) +
                  QStringList({"Docs: SMTP - Logging off from the server.",
                               "Docs: SMTP - Disconnected.", "Docs: Done."}));
    ASSERT_EQ(server.messageCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(jsonStrings(server.message(i + 1)["attachments"]), QStringList{files[i]});
    QStringList logins;
    for (const QString& command : server.commands())
        if (command.startsWith("AUTH"))
            logins << command.section(' ', -1);
    EXPECT_EQ(logins, QStringList({"tls", "tls"}));
    EXPECT_EQ(f.presetFile(".lgs"), QStringList{f.stamp()} + files + QStringList{""});
}

struct MailFailureCase {
    const char* name;
    QStringList serverArguments;
    bool retry;
    int fti;
    int errors;
    QString cancelLine;
};

void PrintTo(const MailFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class EmailFailure : public ::testing::TestWithParam<MailFailureCase> {};

TEST_P(EmailFailure, EndsTheDeliveryAndTheRunGoesOn) {
    const MailFailureCase& c = GetParam();
    NetRun f;
    SmtpServer server(c.serverArguments);
    f.useFakeArchiver(0);
    useEmail(f, server);
    f.options.fre = c.retry;
    f.options.fti = c.fti;

    const QStringList lines = f.runPreset();

    EXPECT_EQ(countOf(lines, "Docs: SMTP - Error "), c.errors) << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: SMTP - Trying again"), c.errors - 1);
    EXPECT_TRUE(lines.contains(c.cancelLine)) << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: The undelivered archive is kept in "), 1);
    EXPECT_EQ(lines.last(), "Docs: Done.");
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_TRUE(f.presetFile(".lgs").isEmpty());
    EXPECT_FALSE(f.flags.OperationInProgress);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmailFailure,
    ::testing::Values(
        MailFailureCase{
            "refused_without_retries",
            {"--fail-data", "1"},
            false,
            3,
            1,
            "Docs: SMTP - All SMTP tasks have been canceled (reiteration feature is off). [!]"},
        MailFailureCase{
            "recipient_refused_every_time",
            {"--reject-rcpt", "admin"},
            true,
            1,
            2,
            "Docs: SMTP - All SMTP tasks have been canceled (no more retries allowed). [!]"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every message went out; a server that drops the connection instead of answering the
// QUIT does not make the delivery start over.
TEST(EmailDelivery, BrokenGoodbyeAfterTheLastMessageEndsTheDelivery) {
    NetRun f;
    SmtpServer server({"--drop-quit"});
    f.useFakeArchiver(0);
    useEmail(f, server);
    f.options.fre = true;

    const QStringList lines = f.runPreset();

    EXPECT_EQ(countOf(lines, "Docs: SMTP - Error "), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: SMTP - Trying again"), 0);
    EXPECT_EQ(countOf(lines, "Docs: SMTP - Trying to send"), 1);
    EXPECT_EQ(lines.last(), "Docs: Done.");
    EXPECT_EQ(server.messageCount(), 1);
    EXPECT_TRUE(f.leftInTemp().isEmpty());
}

// The QUIT that closes a failed attempt fails too: that is no second failure, so the
// one retry allowed still comes and sends the rest.
TEST(EmailDelivery, BrokenQuitAfterAFailureIsNoFurtherFailure) {
    NetRun f;
    SmtpServer server({"--fail-data", "2", "--drop-quit"});
    f.useFakeArchiver(FakeArchives{.volumes = 2});
    useEmail(f, server);
    f.options.fre = true;
    f.options.fti = 1;

    const QStringList lines = f.runPreset();

    EXPECT_EQ(countOf(lines, "Docs: SMTP - Trying again in 1 seconds (1/1)."), 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(countOf(lines, "Docs: SMTP - All SMTP tasks have been canceled"), 0);
    EXPECT_EQ(countOf(lines, "Docs: SMTP - Successfully sent: "), 2);
    EXPECT_EQ(server.messageCount(), 2);
    EXPECT_EQ(lines.last(), "Docs: Done.");
}

// E-mail first, then FTP; the run waits for both, and the run folder goes only then.
TEST(NetDeliveries, EmailThenFtpDeliverTheSameArchives) {
    NetRun f;
    SmtpServer mail;
    FtpServer ftp;
    f.useFakeArchiver(FakeArchives{.volumes = 2});
    useEmail(f, mail);
    f.preset.ftp = true;
    f.preset.fse = ftp.address();
    f.preset.fus = QStringLiteral("user");
    f.preset.fpa = QStringLiteral("secret");

    const QStringList lines = f.runPreset();

    const qsizetype mailDone = lines.indexOf("Docs: SMTP - Disconnected.");
    const qsizetype ftpStart = lines.indexOf("Docs: FTP - Connecting to " + ftp.address() + ".");
    ASSERT_GE(mailDone, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(ftpStart, mailDone + 1);
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({"Docs: FTP - Disconnected.", "Docs: Done."}));
    EXPECT_EQ(mail.messageCount(), 2);
    for (const QString& name : kTwoFiles)
        EXPECT_EQ(ftp.file(name), f.madeFile(name)) << name.toStdString();
    EXPECT_EQ(f.presetFile(".hst").size(), 4);
    EXPECT_TRUE(f.leftInTemp().isEmpty());
    EXPECT_FALSE(f.flags.ErrorLogged);
}

// Both deliveries count the bytes of the archives they sent, up to all of them.
TEST(NetDeliveries, ProgressCountsTheArchiveBytesSentByEmailAndFtp) {
    NetRun f;
    SmtpServer mail;
    FtpServer ftp;
    const int archiveBytes = 1024 * 1024;
    f.useFakeArchiver(FakeArchives{.bytes = archiveBytes, .volumes = 2});
    useEmail(f, mail);
    f.preset.ftp = true;
    f.preset.fse = ftp.address();
    f.preset.fus = QStringLiteral("user");
    f.preset.fpa = QStringLiteral("secret");
    backup::RunProgress& progress = f.run.progress();
    QMap<backup::RunProgress::Phase, QList<qint64>> seen;
    QObject::connect(&progress, &backup::RunProgress::changed, [&] {
        if (const auto phase = progress.currentPhase())
            seen[*phase] << progress.figures(*phase).done;
    });

    const QStringList lines = f.runPreset();

    ASSERT_EQ(lines.last(), "Docs: Done.") << lines.join('\n').toStdString();
    for (const auto phase : {backup::RunProgress::Phase::Email, backup::RunProgress::Phase::Ftp}) {
        const backup::RunProgress::PhaseFigures& figures = progress.figures(phase);
        EXPECT_TRUE(figures.ended);
        EXPECT_EQ(figures.total, 2 * archiveBytes);
        EXPECT_EQ(figures.done, 2 * archiveBytes);
        const QList<qint64>& done = seen[phase];
        for (qsizetype i = 1; i < done.size(); ++i)
            EXPECT_GE(done[i], done[i - 1]) << i;
    }
}

} // namespace
} // namespace stowline::net::testing
