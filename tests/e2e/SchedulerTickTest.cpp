#include "ProgramRun.h"

#include "QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

using namespace stowline::e2e;

namespace {

// A preset whose run lasts `seconds`: a program before the backup that the run waits for.
QStringList slowRun(int seconds) {
    return {QStringLiteral("eba=1"), QStringLiteral("ebs=0"), QStringLiteral("ebe=/bin/sh"),
            QStringLiteral("ebp=-c \"sleep %1\"").arg(seconds)};
}

// Ends a program the test started when a failed check left it running.
void endIfRunning(QProcess& program) {
    if (program.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    if (!program.waitForFinished(15000))
        program.kill();
}

TEST(SchedulerTick, AnEntryForNowRunsOnTheFirstTickWhateverItsDelayRule) {
    for (const char* request : {"[ONDELAY=2]Docs", "[ONDELAY=1][REPEAT=3]Docs"}) {
        SCOPED_TRACE(request);
        BackupSandbox sandbox;
        sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
        QProcess program;
        ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", request, "/exit"}));
        const QStringList messages = sandbox.logMessages();
        EXPECT_TRUE(messages.contains(QStringLiteral("Docs: Done.")))
            << messages.join('\n').toStdString();
        EXPECT_TRUE(messages.filter(QStringLiteral("Docs: Delayed")).isEmpty());
    }
}

TEST(SchedulerTick, ExitsQueuedByTwoInstancesWaitForBothBackupsAndLeaveNothingBehind) {
    BackupSandbox sandbox;
    sandbox.addPreset(QStringLiteral("Slow"), sandbox.source(), slowRun(2));
    sandbox.addPreset(QStringLiteral("Quick"), sandbox.source());
    QProcess first;
    sandbox.start(first, {"/hide", "Slow", "/exit"});
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Slow: Async execution:  /bin/sh")));

    QProcess second;
    ASSERT_TRUE(sandbox.runToEnd(second, {"/hide", "Quick", "/exit"}));
    const bool ended = first.waitForFinished(20000);
    endIfRunning(first);
    ASSERT_TRUE(ended);

    const QStringList messages = sandbox.logMessages();
    EXPECT_TRUE(messages.contains(QStringLiteral("Slow: Done.")));
    EXPECT_TRUE(messages.contains(QStringLiteral("Quick: Done.")))
        << messages.join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/swl.sch")))
        << "no exit is left to end the next start";
}

TEST(SchedulerTick, AbortReachesTheRunWhileItsExitWaitsInFront) {
    BackupSandbox sandbox;
    sandbox.addPreset(QStringLiteral("Slow"), sandbox.source(), slowRun(20));
    QProcess first;
    sandbox.start(first, {"/hide", "Slow", "/exit"});
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Slow: Async execution:  /bin/sh")));

    QProcess second;
    ASSERT_TRUE(sandbox.runToEnd(second, {"/abort"}));
    // Aborted, the run ends at once and the waiting "/exit" ends the program.
    const bool ended = first.waitForFinished(8000);
    endIfRunning(first);
    EXPECT_TRUE(ended);
    const QStringList messages = sandbox.logMessages();
    EXPECT_TRUE(messages.contains(QStringLiteral("Abort requested.")))
        << messages.join('\n').toStdString();
    EXPECT_FALSE(messages.contains(QStringLiteral("Slow: Done.")));
}

} // namespace
