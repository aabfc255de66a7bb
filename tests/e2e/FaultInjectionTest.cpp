// Faults injected into the real programs: killed at every state-file commit and at
// sampled points of a run, a full destination, a crashing or hanging archiver and a data
// folder that turns read-only. After each, the state files must be whole and no archive
// that was made may be gone.
#include "FaultInjection.h"
#include "ProgramRun.h"

#include "QtPrinters.h"
#include "SmallFileSystem.h"

#include "core/Options.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace stowline;
using namespace stowline::e2e;
using stowline::testing::SmallFileSystem;

namespace {

const QString kNotes = QStringLiteral("sub/notes.txt");
// The preset's archives: its name, then the time of the run.
const QString kArchives = QStringLiteral("docs*.zip");

// At most this many kill points per system call: every call when there are fewer,
// evenly spread calls otherwise.
constexpr int kKillPoints = 12;

QList<int> killPoints(int calls) {
    QList<int> points;
    for (int point = 1; point <= calls; point += std::max(1, calls / kKillPoints))
        points << point;
    return points;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray incompressible(qsizetype bytes) {
    QByteArray content(bytes, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(content.data()),
                                   content.size() / sizeof(quint32));
    return content;
}

// Every archive named `name` under `folder` and its subfolders.
QStringList archivesNamed(const QString& folder, const QString& name) {
    QStringList found;
    for (QDirIterator it(folder, {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        found << it.next();
    return found;
}

enum class Ending { InTime, Killed, TimedOut };

// Runs `command` (a program and its arguments, mostly under strace) in the sandbox to its
// end. Under strace, a killed program ends strace with the same signal.
Ending runCommand(const ProgramSandbox& sandbox, const QStringList& command,
                  int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(tracedEnvironment(sandbox));
    process.start(command.first(), command.mid(1));
    if (process.waitForFinished(timeoutMs))
        return process.exitStatus() == QProcess::CrashExit ? Ending::Killed : Ending::InTime;
    process.kill();
    process.waitForFinished();
    return Ending::TimedOut;
}

// Counts the runs a kill point ended early; a suite whose kill points never hit the
// program tests nothing.
struct KillCount {
    int killed = 0;
    bool operator()(Ending ending) {
        killed += ending == Ending::Killed ? 1 : 0;
        return ending != Ending::TimedOut;
    }
};

void emptyFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

// An archiver stand-in: a shell script in the sandbox.
QString archiverScript(const ProgramSandbox& sandbox, const QString& body) {
    const QString path = sandbox.path(QStringLiteral("archiver.sh"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write("#!/bin/sh\n" + body.toUtf8());
    script.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The last argument of the archiver's command line that names the archive.
const QString kArchiveOfCommandLine =
    QStringLiteral("for arg; do case \"$arg\" in a|-*|@*) ;; *) archive=\"$arg\";; esac; done\n");

class KillDuringRun : public ::testing::TestWithParam<const char*> {};

TEST_P(KillDuringRun, LeavesWholeStateFilesAndKeepsEveryArchiveMade) {
    const QString syscall = QString::fromLatin1(GetParam());
    BackupSandbox sandbox(kNotes);
    ASSERT_TRUE(sandbox.settle());
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    const QStringList command{QStringLiteral(STOWLINE_BINARY), QStringLiteral("/hide"),
                              QStringLiteral("Docs"), QStringLiteral("/exit")};
    // One whole run first, so that the histories and swl.las exist and get rewritten.
    ASSERT_EQ(runCommand(sandbox, command), Ending::InTime);
    ASSERT_EQ(archivesNamed(sandbox.destination(), kArchives).size(), 1);

    const int calls = callsOfBusiestProcess(sandbox, syscall, command);
    ASSERT_GT(calls, 0) << "strace saw no " << syscall.toStdString();
    KillCount kills;
    for (const int point : killPoints(calls)) {
        SCOPED_TRACE(QStringLiteral("killed at %1 call %2 of %3")
                         .arg(syscall)
                         .arg(point)
                         .arg(calls)
                         .toStdString());
        emptyFolder(sandbox.destination());
        emptyFolder(sandbox.path(QStringLiteral("tmp")));
        const QByteArray content = QStringLiteral("run %1\n").arg(point).toUtf8();
        writeAll(sandbox.source() + QLatin1Char('/') + kNotes, content);
        const qsizetype linesBefore = sandbox.logLines().size();

        ASSERT_TRUE(kills(runCommand(sandbox, killedAtCall(syscall, point) + command)));

        EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
        // What lies in the destination under an archive's name is a whole archive.
        for (const QString& archive :
             QDir(sandbox.destination()).entryList({kArchives}, QDir::Files))
            EXPECT_TRUE(archiveListing(sandbox.destination() + QLatin1Char('/') + archive))
                << archive.toStdString();
        // An archive the log reported as made is in the destination or kept in the run
        // folder.
        const QStringList runLines = sandbox.logMessages().mid(linesBefore);
        if (runLines.filter(QStringLiteral("Docs: WinRAR - Done (")).isEmpty())
            continue;
        bool kept = false;
        for (const QString& archive :
             archivesNamed(sandbox.destination(), kArchives) +
                 archivesNamed(sandbox.path(QStringLiteral("tmp")), kArchives))
            kept = kept || archiveMember(archive, kNotes) == content;
        EXPECT_TRUE(kept) << runLines.join('\n').toStdString();
        // The next start finds everything readable and leaves it so.
        ASSERT_TRUE(sandbox.settle());
        EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
    }
    EXPECT_GT(kills.killed, 0);
}

INSTANTIATE_TEST_SUITE_P(FaultInjection, KillDuringRun,
                         ::testing::Values("rename", "linkat", "unlink", "fdatasync", "write"));

TEST(FaultInjection, KilledWhileCopyingToAnotherFileSystemLeavesNoTornArchive) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    BackupSandbox sandbox(kNotes);
    SmallFileSystem destination(sandbox.destination(), 16 * 1024 * 1024);
    ASSERT_TRUE(destination.mounted());
    writeAll(sandbox.source() + QStringLiteral("/sub/big.bin"), incompressible(2 * 1024 * 1024));
    ASSERT_TRUE(sandbox.settle());
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    const QStringList command{QStringLiteral(STOWLINE_BINARY), QStringLiteral("/hide"),
                              QStringLiteral("Docs"), QStringLiteral("/exit")};
    KillCount kills;
    // The copy across file systems: the kernel copy, its flush and its naming.
    for (const QString& syscall :
         {QStringLiteral("sendfile"), QStringLiteral("fsync"), QStringLiteral("renameat2")}) {
        SCOPED_TRACE(syscall.toStdString());
        ASSERT_TRUE(kills(runCommand(sandbox, killedAtCall(syscall, 1) + command)));
        for (const QString& archive :
             QDir(sandbox.destination()).entryList({kArchives}, QDir::Files))
            EXPECT_TRUE(archiveListing(sandbox.destination() + QLatin1Char('/') + archive))
                << archive.toStdString();
        // The archive is kept in the run folder, and the next run delivers anew.
        EXPECT_EQ(archivesNamed(sandbox.path(QStringLiteral("tmp")), kArchives).size(), 1);
        emptyFolder(sandbox.path(QStringLiteral("tmp")));
    }
    EXPECT_EQ(kills.killed, 3);
    ASSERT_EQ(runCommand(sandbox, command), Ending::InTime);
    const QStringList delivered = archivesNamed(sandbox.destination(), kArchives);
    ASSERT_FALSE(delivered.isEmpty());
    EXPECT_EQ(archiveMember(delivered.last(), QStringLiteral("big.bin")),
              incompressible(2 * 1024 * 1024));
}

class KillDuringLogShortening : public ::testing::TestWithParam<const char*> {};

TEST_P(KillDuringLogShortening, LeavesTheOldOrTheShortenedLog) {
    const QString syscall = QString::fromLatin1(GetParam());
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    sandbox.changeOptions([](core::topt& options) { options.lsz = 100; });
    QStringList longLog;
    for (int line = 0; line < 3000; ++line)
        longLog << QStringLiteral("[2026.01.01 10:00:00] Line %1 of an old log.").arg(line);
    const QString log = sandbox.dataFolder() + QStringLiteral("/swl.log");
    const QStringList command{QStringLiteral(STOWLINE_BINARY), QStringLiteral("/hide"),
                              QStringLiteral("/exit")};
    ASSERT_TRUE(core::writeTextLinesAtomically(log, longLog));
    const int calls = callsOfBusiestProcess(sandbox, syscall, command);
    ASSERT_GT(calls, 0) << "strace saw no " << syscall.toStdString();
    KillCount kills;
    for (const int point : killPoints(calls)) {
        SCOPED_TRACE(QStringLiteral("killed at %1 call %2").arg(syscall).arg(point).toStdString());
        ASSERT_TRUE(core::writeTextLinesAtomically(log, longLog));
        ASSERT_TRUE(kills(runCommand(sandbox, killedAtCall(syscall, point) + command)));
        EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
        const QStringList lines = wholeLines(log).value_or(QStringList());
        // Either the old log (and what was added to it) or the last lines of it.
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.first() == longLog.first() || lines.contains(longLog.last()))
            << lines.first().toStdString();
    }
    EXPECT_GT(kills.killed, 0);
}

INSTANTIATE_TEST_SUITE_P(FaultInjection, KillDuringLogShortening,
                         ::testing::Values("rename", "write", "fdatasync"));

TEST(FaultInjection, PresetWritesKilledAtEveryCommitLeaveTheOldOrTheNewFiles) {
    BackupSandbox sandbox;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    const QString presets = sandbox.dataFolder() + QStringLiteral("/presets/");
    const QStringList files{QStringLiteral("Docs.pst"), QStringLiteral("Docs.inc"),
                            QStringLiteral("Docs.exc")};
    QList<QByteArray> before;
    for (const QString& file : files)
        before << readAll(presets + file);
    const QStringList command{QStringLiteral(SWLPRESET_BINARY), sandbox.dataFolder(),
                              QStringLiteral("Docs"),           QStringLiteral("nam=changed"),
                              QStringLiteral("inc=/srv/other"), QStringLiteral("exc=*.tmp")};
    QList<QList<QByteArray>> outcomes;
    KillCount kills;
    for (const QString& syscall : {QStringLiteral("rename"), QStringLiteral("write"),
                                   QStringLiteral("fdatasync"), QStringLiteral("linkat")}) {
        for (const int point : killPoints(callsOfBusiestProcess(sandbox, syscall, command))) {
            for (qsizetype index = 0; index < files.size(); ++index)
                writeAll(presets + files.at(index), before.at(index));
            ASSERT_TRUE(kills(runCommand(sandbox, killedAtCall(syscall, point) + command)));
            QList<QByteArray> outcome;
            for (const QString& file : files)
                outcome << readAll(presets + file);
            outcomes << outcome;
        }
    }
    ASSERT_GT(kills.killed, 0);
    ASSERT_EQ(runCommand(sandbox, command), Ending::InTime);
    for (const QList<QByteArray>& outcome : std::as_const(outcomes)) {
        for (qsizetype index = 0; index < files.size(); ++index) {
            const QByteArray after = readAll(presets + files.at(index));
            EXPECT_TRUE(outcome.at(index) == before.at(index) || outcome.at(index) == after)
                << files.at(index).toStdString() << ": " << outcome.at(index).toStdString();
        }
    }
}

TEST(FaultInjection, AFullDestinationFailsTheCopyAndKeepsTheArchive) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    BackupSandbox sandbox(QStringLiteral("big.bin"), incompressible(256 * 1024));
    SmallFileSystem destination(sandbox.destination(), 64 * 1024);
    ASSERT_TRUE(destination.mounted());
    ASSERT_TRUE(sandbox.settle());
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}));

    const QStringList messages = sandbox.logMessages();
    EXPECT_EQ(
        messages
            .filter(QRegularExpression(QStringLiteral(
                R"(^Docs: COPY - Cannot write docs-\d+\.zip to the specified location\. \[!\]$)")))
            .size(),
        1)
        << messages.join('\n').toStdString();
    // No partial archive is left in the destination...
    EXPECT_EQ(QDir(sandbox.destination()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // ...and the archive stays in the run folder, whole, where the log says.
    const QStringList kept = archivesNamed(sandbox.path(QStringLiteral("tmp")), kArchives);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(archiveMember(kept.first(), QStringLiteral("big.bin")), incompressible(256 * 1024));
    EXPECT_EQ(messages.filter(QStringLiteral("The undelivered archive is kept in ")).size(), 1);
    EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
}

TEST(FaultInjection, ACrashingArchiverIsReportedAndItsPartialArchiveRemoved) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    const QString archiver =
        archiverScript(sandbox, kArchiveOfCommandLine +
                                    QStringLiteral("head -c 4096 /dev/urandom > \"$archive.zip\"\n"
                                                   "kill -SEGV $$\n"));
    sandbox.changeOptions([&](core::topt& options) { options.pwi = archiver; });
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}));

    const QStringList messages = sandbox.logMessages();
    EXPECT_EQ(messages.filter(QStringLiteral("Docs: WinRAR - Error ")).size(), 1)
        << messages.join('\n').toStdString();
    EXPECT_TRUE(messages.filter(QStringLiteral("Docs: WinRAR - Done")).isEmpty());
    EXPECT_EQ(QDir(sandbox.destination()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(archivesNamed(sandbox.path(QStringLiteral("tmp")), kArchives), QStringList());
    EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
}

TEST(FaultInjection, AnArchiverHangingPastTheTimeOutIsEndedAndReported) {
    BackupSandbox sandbox;
    ASSERT_TRUE(sandbox.settle());
    const QString pidFile = sandbox.path(QStringLiteral("archiver.pid"));
    // Deaf to SIGTERM: the run has to end it harder.
    const QString archiver =
        archiverScript(sandbox, kArchiveOfCommandLine +
                                    QStringLiteral("echo $$ > '%1'\n"
                                                   "trap '' TERM\n"
                                                   "head -c 4096 /dev/urandom > \"$archive.zip\"\n"
                                                   "while :; do sleep 1; done\n")
                                        .arg(pidFile));
    sandbox.changeOptions([&](core::topt& options) {
        options.pwi = archiver;
        options.twr = 1;
    });
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}, 120000));

    const QStringList messages = sandbox.logMessages();
    EXPECT_TRUE(messages.contains(QStringLiteral("Docs: Operation timeout, aborting. [!]")))
        << messages.join('\n').toStdString();
    EXPECT_TRUE(messages.contains(QStringLiteral("Aborted. [!]")))
        << messages.join('\n').toStdString();
    const qint64 archiverPid = core::readFirstLine(pidFile).value_or(QString()).toLongLong();
    ASSERT_GT(archiverPid, 0);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(archiverPid)))
        << "the archiver still runs";
    EXPECT_EQ(archivesNamed(sandbox.path(QStringLiteral("tmp")), kArchives), QStringList());
    EXPECT_EQ(QDir(sandbox.destination()).entryList(QDir::Files), QStringList());
}

TEST(FaultInjection, ADataFolderTurningReadOnlyMidRunIsReportedOnceAndLosesNothing) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    BackupSandbox sandbox(kNotes, "keep me\n");
    SmallFileSystem data(sandbox.dataFolder(), 16 * 1024 * 1024);
    ASSERT_TRUE(data.mounted());
    ASSERT_TRUE(sandbox.settle());
    // The archiver waits until the data folder has turned read-only, then does its work.
    const QString go = sandbox.path(QStringLiteral("go"));
    const QString archiver = archiverScript(
        sandbox, QStringLiteral("while [ ! -e '%1' ]; do sleep 0.1; done\nexec '%2' \"$@\"\n")
                     .arg(go, QStringLiteral(STOWARC_BINARY)));
    sandbox.changeOptions([&](core::topt& options) { options.pwi = archiver; });
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    QProcess program;
    sandbox.start(program, {"/hide", "Docs", "/exit"});
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: WinRAR - Started.")));
    ASSERT_TRUE(data.remountReadOnly());
    writeAll(go, {});
    ASSERT_TRUE(program.waitForFinished(60000));

    // The archive reached its destination, whole.
    const QStringList delivered = archivesNamed(sandbox.destination(), kArchives);
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(archiveMember(delivered.first(), kNotes), "keep me\n");
    // The log that could no longer be written is reported once, on the terminal.
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(errors.count(QStringLiteral("the event log")), 1) << errors.toStdString();
    EXPECT_EQ(damagedStateFiles(sandbox.dataFolder()), QStringList());
}

} // namespace
