// The real program and the bundled archiver, delivering to pyftpdlib and aiosmtpd on
// 127.0.0.1 and mailing its reports there.
#include "ProgramRun.h"

#include "FtpSmtpServers.h"
#include "QtPrinters.h"

#include "core/MessageTable.h"
#include "core/OptionsFile.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::e2e;
using protocols::test::FtpServer;
using protocols::test::SmtpServer;

namespace {

// A settled sandbox with a 64K file to back up, whose stored settings a test can change.
struct NetSandbox : BackupSandbox {
    NetSandbox() : BackupSandbox(QStringLiteral("notes.txt"), QByteArray(64 * 1024, 'n')) {
        EXPECT_TRUE(settle());
    }

    QStringList presetFile(const QString& name) const {
        return core::readTextLines(dataFolder() + QStringLiteral("/presets/") + name)
            .value_or(QStringList());
    }
    // The messages logged from the last line equal to `start` on.
    QStringList runMessages(const QString& start) const {
        const QStringList messages = logMessages();
        return messages.mid(messages.lastIndexOf(start));
    }
};

QStringList listArchive(const QString& path) {
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"), {QStringLiteral("-tf"), path});
    bsdtar.waitForFinished();
    return QString::fromUtf8(bsdtar.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(NetDelivery, OneRunUploadsAndMailsTheRealArchive) {
    NetSandbox sandbox;
    FtpServer ftp;
    SmtpServer smtp;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source(),
                      {"ctf=0", "ftp=1", "fse=" + ftp.address(), "fus=user", "fpa=secret", "ffo=up",
                       "smt=1", "sse=" + smtp.address(), "sfr=backup@example.org",
                       "sto=admin@example.org"});

    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}, 60000));
    EXPECT_EQ(program.exitCode(), 0);

    // The archive name carries the run's date stamp: take it from the FTP folder.
    const QStringList uploads = ftp.files(QStringLiteral("up"));
    ASSERT_EQ(uploads.size(), 1) << sandbox.logMessages().join('\n').toStdString();
    const QString archive = uploads.first();
    const QStringList messages =
        sandbox.runMessages(QStringLiteral("Docs: Called by the scheduler."));
    const QStringList expectedInOrder{
        "Docs: WinRAR - Done (1 file, 64K).",
        "Docs: SMTP - Connecting to " + smtp.address() + ".",
        "Docs: SMTP - Successfully sent: " + archive,
        "Docs: SMTP - Disconnected.",
        "Docs: FTP - Connecting to " + ftp.address() + ".",
        "Docs: FTP - Changing folder to \"up\".",
        "Docs: FTP - Trying to upload \"" + archive + "\".",
        "Docs: FTP - Successfully uploaded \"" + archive + "\".",
        "Docs: FTP - Disconnected.",
        "Docs: Done.",
    };
    qsizetype at = 0;
    for (const QString& line : expectedInOrder) {
        const qsizetype found = messages.indexOf(line, at);
        EXPECT_GE(found, at) << line.toStdString() << "\n" << messages.join('\n').toStdString();
        at = std::max(found, at);
    }
    EXPECT_FALSE(messages.join('\n').contains(QLatin1String("[!]")))
        << messages.join('\n').toStdString();

    // Both peers hold the same archive, and it is the real one.
    const QByteArray uploaded = ftp.file("up/" + archive);
    ASSERT_EQ(smtp.messageCount(), 1);
    EXPECT_EQ(smtp.attachment(1, archive), uploaded);
    const QStringList entries = listArchive(ftp.root() + "/up/" + archive);
    EXPECT_TRUE(entries.join('\n').contains(QStringLiteral("notes.txt")))
        << entries.join(' ').toStdString();

    // The histories gained their lines, and the run folder is gone.
    const QString history = sandbox.presetFile(QStringLiteral("Docs.hst")).join('\n');
    EXPECT_TRUE(history.contains("\t2-SMTP\tadmin@example.org/" + archive))
        << history.toStdString();
    EXPECT_TRUE(history.contains("\t3-FTP\t" + ftp.address() + "/up/" + archive))
        << history.toStdString();
    EXPECT_EQ(QDir(sandbox.path(QStringLiteral("tmp")))
                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

TEST(NetDelivery, ErrorLineIsReportedByMailAndAFailedReportDoesNotStopTheProgram) {
    NetSandbox sandbox;
    SmtpServer smtp;
    QFile blocker(sandbox.path(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    sandbox.addPreset(QStringLiteral("Broken"), sandbox.source(),
                      {QStringLiteral("dir=") + sandbox.path(QStringLiteral("blocker/dest"))});
    const QString error = QStringLiteral("Broken: Error creating destination folder. [!]");

    for (const bool serverUp : {true, false}) {
        SCOPED_TRACE(serverUp ? "server up" : "server down");
        sandbox.changeOptions([&](core::topt& options) {
            options.ser = true;
            options.ssr = serverUp
                              ? smtp.address()
                              : QStringLiteral("127.0.0.1:%1").arg(protocols::test::closedPort());
            options.sfm = QStringLiteral("swl@example.org");
            options.sto = QStringLiteral("admin@example.org");
        });
        QProcess program;
        ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Broken", "/exit"}, 90000));

        const QStringList messages =
            sandbox.runMessages(QStringLiteral("Broken: Called by the scheduler."));
        const qsizetype errorAt = messages.indexOf(error);
        const QString outcome = serverUp ? "Error report has been sent to admin@example.org"
                                         : "FAILED TO SEND ERROR REPORT TO admin@example.org";
        EXPECT_GT(messages.indexOf(outcome), errorAt) << messages.join('\n').toStdString();
        EXPECT_GE(errorAt, 0);
        EXPECT_TRUE(messages.contains(QStringLiteral("SWL halts.")));
    }
    ASSERT_EQ(smtp.messageCount(), 1) << sandbox.logMessages().join('\n').toStdString();
    EXPECT_TRUE(smtp.message(1)["text"].toString().contains(error))
        << QJsonDocument(smtp.message(1)).toJson().toStdString();
}

TEST(NetDelivery, SendLogMailsTheHoursAskedFor) {
    NetSandbox sandbox;
    SmtpServer smtp;
    sandbox.changeOptions([&](core::topt& options) {
        options.ssr = smtp.address();
        options.sfm = QStringLiteral("swl@example.org");
        options.sto = QStringLiteral("admin@example.org");
    });

    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "/SENDLOG(48)", "/exit"}, 60000));

    const QStringList messages = sandbox.logMessages();
    const qsizetype asked =
        messages.indexOf(QStringLiteral("/SENDLOG requested log for 48 hours."));
    EXPECT_GE(asked, 0) << messages.join('\n').toStdString();
    EXPECT_GT(messages.indexOf(QStringLiteral("Log report was successfully sent.")), asked);
    ASSERT_EQ(smtp.messageCount(), 1);
    const QJsonObject mail = smtp.message(1);
    EXPECT_EQ(mail["subject"].toString(), QStringLiteral("SWL log file for 48 hours."));
    // The earlier start's lines are in the mail.
    EXPECT_TRUE(mail["text"].toString().contains(QStringLiteral("SWL is ready now.")))
        << mail["text"].toString().toStdString();
}

} // namespace
