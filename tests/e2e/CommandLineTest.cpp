#include "ProgramRun.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace stowline::e2e;

namespace {

TEST(CommandLine, HidePresetExitRunsTheBackupAndEnds) {
    BackupSandbox sandbox;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}))
        << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitCode(), 0);

    const QStringList archives = QDir(sandbox.destination()).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1) << sandbox.logMessages().join('\n').toStdString();
    const QStringList messages = sandbox.logMessages();
    const qsizetype done = messages.indexOf(QStringLiteral("Docs: Done."));
    const qsizetype halts = messages.indexOf(QStringLiteral("SWL halts."));
    EXPECT_GE(done, 0);
    EXPECT_GT(halts, done);
    EXPECT_TRUE(
        messages.contains(QStringLiteral("Docs: COPY - Successfully copied %1.").arg(archives[0])));
}

TEST(CommandLine, SafeExitStaysAfterAFailedRunAndEndsAfterACleanOne) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    QFile blocker(sandbox.path(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    sandbox.addPreset(QStringLiteral("Broken"), sandbox.source(),
                      {QStringLiteral("dir=") + sandbox.path(QStringLiteral("blocker/dest"))});
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());

    QProcess failed;
    sandbox.start(failed, {"/hide", "Broken", "/safeexit"});
    ASSERT_TRUE(
        sandbox.waitForLogLine(QStringLiteral("Broken: Error creating destination folder. [!]")));
    // Give the tick time to reach the exit entry: it must not end the program.
    EXPECT_FALSE(failed.waitForFinished(3000));
    ::kill(static_cast<pid_t>(failed.processId()), SIGTERM);
    ASSERT_TRUE(failed.waitForFinished(15000));

    QProcess clean;
    ASSERT_TRUE(sandbox.runToEnd(clean, {"/hide", "Docs", "/safeexit"}));
    EXPECT_EQ(clean.exitCode(), 0);
    EXPECT_EQ(QDir(sandbox.destination()).entryList(QDir::Files).size(), 1);
}

TEST(CommandLine, SecondInstanceHandsItsPresetToTheFirst) {
    for (const bool schedulerOn : {true, false}) {
        SCOPED_TRACE(schedulerOn ? "scheduler on" : "scheduler off");
        BackupSandbox sandbox;
        sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
        QProcess first;
        sandbox.start(first, schedulerOn ? QStringList{"/hide"} : QStringList{"/hide", "/schoff"});
        ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));

        QProcess second;
        ASSERT_TRUE(sandbox.runToEnd(second, {"Docs"}));
        EXPECT_EQ(second.exitCode(), 0);

        const bool ran =
            sandbox.waitForLogLine(QStringLiteral("Docs: Done."), schedulerOn ? 15000 : 3000);
        EXPECT_EQ(ran, schedulerOn);
        EXPECT_EQ(sandbox.logMessages().contains(
                      QStringLiteral("Another instance of SWL has updated the scheduler.")),
                  schedulerOn);
        EXPECT_EQ(first.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        ASSERT_TRUE(first.waitForFinished(15000));
    }
}

} // namespace
