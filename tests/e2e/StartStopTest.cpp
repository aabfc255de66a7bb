#include "ProgramRun.h"

#include "core/StoredText.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace stowline::e2e;

namespace {

const QRegularExpression
    kTimeStampOnly(QStringLiteral(R"(^\[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\] $)"));

TEST(StartStop, HeadlessStartSecondInstanceRefusalAndSigtermShutdown) {
    ProgramSandbox sandbox;
    QDir().mkpath(sandbox.dataFolder());
    QProcess first;
    sandbox.start(first);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")))
        << first.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(sandbox.dataFolder() + QStringLiteral("/swl.run")));

    QProcess second;
    sandbox.start(second);
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("SWL is already running!"));
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    const QStringList lines = sandbox.logLines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("] Please check the settings!")));
    EXPECT_TRUE(lines[1].endsWith(
        QStringLiteral("] SWL started, loading settings. (v.3.01 [2016.03.15]).")));
    EXPECT_TRUE(lines[lines.size() - 3].endsWith(QStringLiteral("] Windows is shutting down.")));
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(QStringLiteral("] SWL halts.")));
    EXPECT_TRUE(kTimeStampOnly.match(lines.last()).hasMatch()) << lines.last().toStdString();

    // The options were written on the way out, every line scrambled.
    const QStringList options =
        stowline::core::readTextLines(sandbox.dataFolder() + QStringLiteral("/swl.opt"))
            .value_or(QStringList());
    ASSERT_FALSE(options.isEmpty());
    EXPECT_EQ(stowline::core::DecodeStoredText(options.first()), QStringLiteral("ver 0"));
    EXPECT_EQ(stowline::core::DecodeStoredText(options.value(1)), QStringLiteral("son 1"));
}

TEST(StartStop, DataFolderThatDoesNotExistEndsWithTheWriteTestMessage) {
    ProgramSandbox sandbox; // swlinfo.dat names a folder that was never made
    QProcess program;
    sandbox.start(program);
    ASSERT_TRUE(program.waitForFinished(15000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_TRUE(
        program.readAllStandardError().contains("is not writeable under this user account."));
    EXPECT_FALSE(QFile::exists(sandbox.dataFolder()));
}

} // namespace
