#include "ProgramRun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace stowline::e2e;

namespace {

QString run(const QString& program, const QStringList& arguments, int* code = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (code)
        *code = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

bool waitFor(const std::function<bool()>& done, int milliseconds = 30000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

void stop(QProcess& program) {
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    program.waitForFinished(15000);
}

TEST(ShellProgram, TenKeeperCallsEndInOneArchiveAndTheVerbsLiveWithTheProgram) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    const QString home = sandbox.path(QStringLiteral("home"));
    const QString nautilus = home + QStringLiteral("/.local/share/nautilus/scripts/SWL-KEEPER");
    const QString dolphin =
        home + QStringLiteral("/.local/share/kio/servicemenus/stowline-swl-bin.desktop");
    const QString thunar = home + QStringLiteral("/.config/Thunar/uca.xml");

    QProcess first;
    sandbox.start(first, {"/hide"});
    // The settling start logged the same lines once already.
    const auto logged = [&sandbox](const char* line) {
        return sandbox.logMessages().count(QString::fromLatin1(line));
    };
    ASSERT_TRUE(waitFor([&] { return logged("SWL is ready now.") == 2; }));
    for (const QString& verb : {nautilus, dolphin, thunar})
        EXPECT_TRUE(QFile::exists(verb)) << qPrintable(verb);
    int code = -1;
    const QString validation = run(QStringLiteral("desktop-file-validate"), {dolphin}, &code);
    EXPECT_EQ(code, 0) << qPrintable(validation);

    QDir().mkpath(sandbox.path(QStringLiteral("items")));
    QStringList items;
    for (int i = 0; i < 10; ++i) {
        items << sandbox.path(QStringLiteral("items/file %1.txt").arg(i));
        QFile file(items.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("item");
    }
    std::vector<std::unique_ptr<QProcess>> senders;
    for (const QString& item : items) {
        senders.push_back(std::make_unique<QProcess>());
        sandbox.start(*senders.back(), {"/SWL-KEEPER", item});
    }
    for (const auto& sender : senders) {
        ASSERT_TRUE(sender->waitForFinished(15000));
        EXPECT_EQ(sender->exitCode(), 0);
    }

    // One archiver call: "Done." (obn is on by default) comes once, on standard error
    // as nobody is at the desk.
    QString messages;
    ASSERT_TRUE(waitFor([&] {
        first.waitForReadyRead(100);
        messages += QString::fromUtf8(first.readAllStandardError());
        return messages.contains(QStringLiteral("Done."));
    }));
    QThread::msleep(3000);
    messages += QString::fromUtf8(first.readAllStandardError());
    EXPECT_EQ(messages.count(QStringLiteral("Done.")), 1) << qPrintable(messages);
    EXPECT_FALSE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/swlbin-k.txt")));
    const QString listing =
        run(QStringLiteral("bsdtar"),
            {QStringLiteral("-tf"), sandbox.dataFolder() + QStringLiteral("/SWL-BIN/keeper.rar")});
    for (const QString& item : items)
        EXPECT_TRUE(listing.contains(item.mid(1))) << qPrintable(listing);

    stop(first);
    ASSERT_TRUE(waitFor([&] { return logged("SWL halts.") == 2; }));
    EXPECT_FALSE(QFile::exists(nautilus));
    EXPECT_FALSE(QFile::exists(dolphin));
    QFile actions(thunar);
    EXPECT_FALSE(actions.open(QIODevice::ReadOnly) && actions.readAll().contains("stowline"));
}

TEST(ShellProgram, KeeperCallWithoutARunningProgramEndsQuietly) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    const QStringList before = sandbox.logLines();
    QProcess sender;
    ASSERT_TRUE(sandbox.runToEnd(sender, {"/SWL-KEEPER", sandbox.source()}, 15000));
    EXPECT_EQ(sender.exitCode(), 0);
    EXPECT_EQ(sandbox.logLines(), before);
    EXPECT_FALSE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/SWL-BIN/keeper.rar")));
}

TEST(ShellProgram, WatchedFolderChangeRunsThePresetOnceAndStaysQuietAfterARestart) {
    BackupSandbox sandbox;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    ASSERT_TRUE(sandbox.settle());
    QFile tasks(sandbox.dataFolder() + QStringLiteral("/swl.snt"));
    ASSERT_TRUE(tasks.open(QIODevice::WriteOnly));
    tasks.write(QStringLiteral("[TASK1]\r\nENABLED=1\r\nNAME=Watch\r\nPRESET=Docs\r\nFOLDER=%1\r\n"
                               "SUBFOLDERS=1\r\nEXECDELAY=1\r\n")
                    .arg(sandbox.source())
                    .toUtf8());
    tasks.close();
    const auto count = [&sandbox](const QString& start) {
        return sandbox.logMessages()
            .filter(QRegularExpression(u'^' + QRegularExpression::escape(start)))
            .size();
    };
    const auto change = [&sandbox] {
        QFile file(sandbox.source() + QStringLiteral("/sub/notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("changed\n");
    };

    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start == 1 ? "first start" : "after a restart");
        QProcess program;
        sandbox.start(program, {"/hide"});
        ASSERT_TRUE(waitFor([&] {
            return sandbox.logMessages().count(QStringLiteral("SWL is ready now.")) == start + 1;
        }));
        change();
        if (start == 1) {
            ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: Done.")));
        } else {
            QThread::msleep(3000);
        }
        EXPECT_EQ(count(QStringLiteral("SHELL NOTIFIER: task \"Watch\" schedules \"Docs\" to ")),
                  1);
        EXPECT_EQ(count(QStringLiteral("SCHEDULER - Added: Docs @ ")), 1);
        stop(program);
    }
}

} // namespace
