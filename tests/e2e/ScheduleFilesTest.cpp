#include "ControlCharacterNames.h"
#include "ProgramRun.h"

#include "QtPrinters.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <csignal>

using namespace stowline::e2e;

namespace {

void endIfRunning(QProcess& program) {
    if (program.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    if (!program.waitForFinished(15000))
        program.kill();
}

// Second instances started together each read swl.sch, add their request and write it
// back: none may overwrite what another wrote, and the first instance must not either.
TEST(ScheduleFiles, SecondInstancesStartedTogetherLoseNoRequest) {
    constexpr int kInstances = 10;
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    for (int k = 0; k < kInstances; ++k)
        sandbox.addPreset(QStringLiteral("P%1").arg(k), sandbox.source());
    QProcess first;
    sandbox.start(first, {"/hide"});
    // settle() left a ready line of its own: wait for the first instance's.
    const QDeadlineTimer ready(15000);
    while (!ready.hasExpired() &&
           sandbox.logMessages().count(QStringLiteral("SWL is ready now.")) < 2)
        QThread::msleep(50);
    ASSERT_EQ(sandbox.logMessages().count(QStringLiteral("SWL is ready now.")), 2);

    std::array<QProcess, kInstances> seconds;
    for (int k = 0; k < kInstances; ++k)
        sandbox.start(seconds[k], {QStringLiteral("P%1").arg(k)});
    for (QProcess& second : seconds) {
        EXPECT_TRUE(second.waitForFinished(30000))
            << second.readAllStandardError().toStdString()
            << sandbox.logMessages().join('\n').toStdString();
        endIfRunning(second);
    }
    // One deadline for all runs: a lost request must not cost a wait of its own.
    const QRegularExpression done(QStringLiteral("^P\\d: Done\\.$"));
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && sandbox.logMessages().filter(done).size() < kInstances)
        QThread::msleep(100);
    endIfRunning(first);

    const QStringList messages = sandbox.logMessages();
    for (int k = 0; k < kInstances; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(messages.filter(QStringLiteral("SCHEDULER - Added: P%1 @").arg(k)).size(), 1);
        EXPECT_EQ(messages.count(QStringLiteral("P%1: Done.").arg(k)), 1)
            << messages.join('\n').toStdString();
    }
    EXPECT_FALSE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/swl.sch")))
        << "every request was carried out and removed";
}

// A line break in a request would split its swl.sch line and its log lines in two: the
// second half reads as a line of its own.
TEST(ScheduleFiles, ARequestWithALineBreakIsRefusedWithoutForgingLines) {
    const QString name = QStringLiteral("A\nB");
    for (const QString& request : {name, QStringLiteral("[DATE=2030.01.01 00:00:00]") + name}) {
        SCOPED_TRACE(request.toStdString());
        BackupSandbox sandbox;
        // Made behind the program's back, as swlpreset would not make it.
        sandbox.addPreset(name, sandbox.source());
        QProcess program;
        ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", request, "/exit"}));
        EXPECT_EQ(program.exitCode(), 0);

        const QRegularExpression stamped(
            QStringLiteral(R"(^\[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\] )"));
        for (const QString& line : sandbox.logLines())
            EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();
        // The preset list leaves the preset out and the request is refused, each with a
        // line of its own.
        const QStringList messages = sandbox.logMessages();
        EXPECT_EQ(messages.filter(QStringLiteral("holds a control character")).size(), 2)
            << messages.join('\n').toStdString();
        EXPECT_EQ(messages.filter(QStringLiteral("SCHEDULER - The name")).size(), 1);
        EXPECT_FALSE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/swl.sch")));
    }
}

TEST(ScheduleFiles, SwlpresetRefusesNamesWithControlCharacters) {
    for (const QString& name : stowline::testing::namesWithControlCharacters()) {
        if (name.contains(QChar(0)))
            continue; // an argument list cannot carry NUL
        SCOPED_TRACE(name.toStdString());
        ProgramSandbox sandbox;
        QProcess tool;
        tool.start(QStringLiteral(SWLPRESET_BINARY), {sandbox.dataFolder(), name});
        ASSERT_TRUE(tool.waitForFinished(15000));
        EXPECT_NE(tool.exitCode(), 0);
        EXPECT_TRUE(tool.readAllStandardError().contains("holds a control character"));
        EXPECT_TRUE(QDir(sandbox.dataFolder() + QStringLiteral("/presets"))
                        .entryList(QDir::Files | QDir::Hidden)
                        .isEmpty());
    }
}

} // namespace
