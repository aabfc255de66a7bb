// The real program and the bundled archiver, delivering to pyftpdlib and aiosmtpd on
// 127.0.0.1 and mailing its reports there.
#include "ProgramRun.h"

#include "QtPrinters.h"
#include "TestSupport.h"

#include "core/MessageTable.h"
#include "core/OptionsFile.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::e2e;
using protocols::test::FixtureServer;
using protocols::test::readFile;

namespace {

// pyftpdlib with the account user/secret and an "up" folder.
struct FtpPeer {
    QTemporaryDir folder;
    bool made = QDir().mkpath(folder.filePath(QStringLiteral("root/up")));
    FixtureServer server{QStringLiteral("ftp_server.py"),
                         {"--root", folder.filePath(QStringLiteral("root")), "--tls", "none"}};
    QString address() const { return QStringLiteral("127.0.0.1:") + server.portText(); }
    QString uploaded(const QString& name) const {
        return folder.filePath(QStringLiteral("root/up/") + name);
    }
};

// aiosmtpd keeping every message it accepts as msg-<n>.json and its attachments.
struct SmtpPeer {
    QTemporaryDir folder;
    bool made = QDir().mkpath(folder.filePath(QStringLiteral("out")));
    FixtureServer server{QStringLiteral("smtp_server.py"),
                         {"--out", folder.filePath(QStringLiteral("out")), "--tls", "none"}};
    QString address() const { return QStringLiteral("127.0.0.1:") + server.portText(); }
    int messageCount() const {
        return static_cast<int>(
            QDir(folder.filePath(QStringLiteral("out"))).entryList({"msg-*.json"}, QDir::Files).size());
    }
    QJsonObject message(int number) const {
        return QJsonDocument::fromJson(
                   readFile(folder.filePath(QStringLiteral("out/msg-%1.json").arg(number))))
            .object();
    }
    QString attachment(int number, const QString& name) const {
        return folder.filePath(QStringLiteral("out/msg-%1-%2").arg(number).arg(name));
    }
};

// A sandbox with a data folder, something to back up and stored settings that a test
// can change.
struct NetSandbox : ProgramSandbox {
    NetSandbox() {
        QDir().mkpath(dataFolder());
        QDir().mkpath(path(QStringLiteral("source")));
        QFile file(path(QStringLiteral("source/notes.txt")));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(64 * 1024, 'n'));
        QProcess first;
        EXPECT_TRUE(runToEnd(first, {QStringLiteral("/hide"), QStringLiteral("/exit")}));
    }

    // Loads swl.opt, lets `change` edit it and stores it again.
    template <typename Change> void changeOptions(Change change) {
        core::topt options;
        core::LoadOptions(options, {programFolder(), dataFolder(), QSize()}, core::MessageTable(),
                          [](const QString&) {});
        change(options);
        ASSERT_TRUE(core::SaveOptions(options, dataFolder()));
    }

    QStringList presetFile(const QString& name) const {
        return core::readTextLines(dataFolder() + QStringLiteral("/presets/") + name)
            .value_or(QStringList());
    }
    // The messages logged from the line that starts `name`'s run on.
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
    FtpPeer ftp;
    SmtpPeer smtp;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.path(QStringLiteral("source")),
                      {"ctf=0", "ftp=1", "fse=" + ftp.address(), "fus=user", "fpa=secret",
                       "ffo=up", "smt=1", "sse=" + smtp.address(), "sfr=backup@example.org",
                       "sto=admin@example.org"});

    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}, 60000));
    EXPECT_EQ(program.exitCode(), 0);

    // The archive name carries the run's date stamp: take it from the FTP folder.
    const QStringList uploads = QDir(ftp.uploaded(QString())).entryList(QDir::Files);
    ASSERT_EQ(uploads.size(), 1) << sandbox.logMessages().join('\n').toStdString();
    const QString archive = uploads.first();
    const QStringList messages = sandbox.runMessages(QStringLiteral("Docs: Called by the scheduler."));
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
    EXPECT_FALSE(messages.join('\n').contains(QLatin1String("[!]"))) << messages.join('\n').toStdString();

    // Both peers hold the same archive, and it is the real one.
    const QByteArray uploaded = readFile(ftp.uploaded(archive));
    ASSERT_EQ(smtp.messageCount(), 1);
    EXPECT_EQ(readFile(smtp.attachment(1, archive)), uploaded);
    const QStringList entries = listArchive(ftp.uploaded(archive));
    EXPECT_TRUE(entries.join('\n').contains(QStringLiteral("notes.txt"))) << entries.join(' ').toStdString();

    // The histories gained their lines, and the run folder is gone.
    const QString history = sandbox.presetFile(QStringLiteral("Docs.hst")).join('\n');
    EXPECT_TRUE(history.contains("\t2-SMTP\tadmin@example.org/" + archive)) << history.toStdString();
    EXPECT_TRUE(history.contains("\t3-FTP\t" + ftp.address() + "/up/" + archive)) << history.toStdString();
    EXPECT_EQ(QDir(sandbox.path(QStringLiteral("tmp"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot |
                                                                   QDir::Hidden),
              QStringList());
}

TEST(NetDelivery, ErrorLineIsReportedByMailAndAFailedReportDoesNotStopTheProgram) {
    NetSandbox sandbox;
    SmtpPeer smtp;
    QFile blocker(sandbox.path(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    sandbox.addPreset(QStringLiteral("Broken"), sandbox.path(QStringLiteral("source")),
                      {QStringLiteral("dir=") + sandbox.path(QStringLiteral("blocker/dest"))});
    const QString error = QStringLiteral("Broken: Error creating destination folder. [!]");

    for (const bool serverUp : {true, false}) {
        SCOPED_TRACE(serverUp ? "server up" : "server down");
        sandbox.changeOptions([&](core::topt& options) {
            options.ser = true;
            options.ssr = serverUp ? smtp.address()
                                   : QStringLiteral("127.0.0.1:%1").arg(protocols::test::closedPort());
            options.sfm = QStringLiteral("swl@example.org");
            options.sto = QStringLiteral("admin@example.org");
        });
        QProcess program;
        ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Broken", "/exit"}, 90000));

        const QStringList messages = sandbox.runMessages(QStringLiteral("Broken: Called by the scheduler."));
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
    SmtpPeer smtp;
    sandbox.changeOptions([&](core::topt& options) {
        options.ssr = smtp.address();
        options.sfm = QStringLiteral("swl@example.org");
        options.sto = QStringLiteral("admin@example.org");
    });

    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "/SENDLOG(48)", "/exit"}, 60000));

    const QStringList messages = sandbox.logMessages();
    const qsizetype asked = messages.indexOf(QStringLiteral("/SENDLOG requested log for 48 hours."));
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
