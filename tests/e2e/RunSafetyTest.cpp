#include "ProgramRun.h"

#include "QtPrinters.h"

#include "core/Options.h"
#include "core/TextFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace stowline;
using namespace stowline::e2e;

namespace {

// True once the process `pid` has ended (a zombie waiting for its reaper counts as ended).
bool processEnded(qint64 pid) {
    const std::optional<QString> stat =
        core::readFirstLine(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat || stat->section(QLatin1Char(')'), 1).trimmed().startsWith(QLatin1Char('Z'));
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

TEST(RunSafety, DirectArchivingArchiverOutlivesTheRunAndTheProgram) {
    // Enough incompressible data that the archiver is still at work when the program
    // reaches its exit entry.
    QByteArray content(8 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(content.data()),
                                  content.size() / sizeof(quint32));
    BackupSandbox sandbox(QStringLiteral("data.bin"), content);
    sandbox.addPreset(QStringLiteral("Direct"), sandbox.source(), {QStringLiteral("dra=1")});
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Direct", "/exit"}));
    EXPECT_TRUE(sandbox.logMessages().contains(QStringLiteral(
        "Direct: WinRAR - Started (direct raring mode, expect no further notifications).")));

    // The archiver finishes on its own: a complete archive appears in the destination.
    const auto archiveHoldsTheData = [&] {
        const QStringList archives =
            QDir(sandbox.destination()).entryList({QStringLiteral("*.zip")}, QDir::Files);
        if (archives.size() != 1)
            return false;
        QProcess bsdtar;
        bsdtar.start(QStringLiteral("bsdtar"),
                     {QStringLiteral("-xOf"), sandbox.destination() + '/' + archives.first()});
        return bsdtar.waitForFinished(30000) && bsdtar.exitCode() == 0 &&
               bsdtar.readAllStandardOutput() == content;
    };
    EXPECT_TRUE(waitUntil(archiveHoldsTheData, 60000))
        << QDir(sandbox.destination()).entryList().join(' ').toStdString();
}

TEST(RunSafety, ArchiverEndsWithAKilledProgramAndTheNextStartReportsTheRunFolder) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    // An archiver stand-in that writes part of an archive, then works on for long.
    const QString pidFile = sandbox.path(QStringLiteral("archiver.pid"));
    const QString archiver = sandbox.path(QStringLiteral("slow-archiver"));
    {
        QFile script(archiver);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(
            QStringLiteral(
                "#!/bin/sh\n"
                "echo $$ > '%1'\n"
                "for arg; do case \"$arg\" in a|-*|@*) ;; *) archive=\"$arg\";; esac; done\n"
                "head -c 4096 /dev/urandom > \"$archive.zip\"\n"
                "exec sleep 60\n")
                .arg(pidFile)
                .toUtf8());
    }
    QFile::setPermissions(archiver, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    sandbox.changeOptions([&](core::topt& options) { options.pwi = archiver; });
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());

    QProcess program;
    sandbox.start(program, {"/hide", "Docs", "/exit"});
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: WinRAR - Started.")));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(pidFile).size() > 0; }, 10000));
    const qint64 archiverPid = core::readFirstLine(pidFile).value_or(QString()).toLongLong();
    ASSERT_GT(archiverPid, 0);
    ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
    ASSERT_TRUE(program.waitForFinished(10000));

    // The archiver goes with the program instead of running on as an orphan.
    EXPECT_TRUE(waitUntil([&] { return processEnded(archiverPid); }, 10000));
    if (!processEnded(archiverPid))
        ::kill(static_cast<pid_t>(archiverPid), SIGKILL);

    // The next start names the run folder and keeps what is in it.
    QStringList leftArchives;
    for (QDirIterator it(sandbox.path(QStringLiteral("tmp")), {QStringLiteral("docs.zip")},
                         QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        leftArchives << it.next();
    ASSERT_EQ(leftArchives.size(), 1);
    const QString runFolder = QFileInfo(leftArchives.first()).path();
    ASSERT_TRUE(sandbox.settle());
    EXPECT_TRUE(sandbox.logMessages().contains(
        QStringLiteral("An earlier run ended with the program and left the folder %1; its files "
                       "are kept there. [!]")
            .arg(runFolder)))
        << sandbox.logMessages().join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(leftArchives.first()));

    // Reported once: the start after that is quiet about it.
    ASSERT_TRUE(sandbox.settle());
    EXPECT_EQ(sandbox.logMessages().filter(QStringLiteral("An earlier run ended")).size(), 1);
}

} // namespace
