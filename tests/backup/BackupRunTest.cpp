#include "RunFixture.h"

#include "QtPrinters.h"
#include "platform/fakes/RecordingSleepInhibitor.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLocale>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::backup;
using namespace stowline::backup::testing;

namespace {

struct ExitCodeCase {
    const char* name;
    int exitCode;
    bool tolerateWarnings;
    QStringList expected; // log lines after "WinRAR - Started."
    bool delivered;
};

class ArchiverExitCodeTest : public ::testing::TestWithParam<ExitCodeCase> {};

TEST_P(ArchiverExitCodeTest, JudgesTheExitCodeAndDeliversOnlyUsableArchives) {
    const ExitCodeCase& c = GetParam();
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(c.exitCode);
    f.options.cie = c.tolerateWarnings;

    f.run.RunPreset();

    QStringList messages = f.logMessages();
    const qsizetype started = messages.indexOf(QStringLiteral("Docs: WinRAR - Started."));
    ASSERT_GE(started, 0) << messages.join('\n').toStdString();
    EXPECT_EQ(messages.mid(started + 1), c.expected);
    EXPECT_EQ(f.destinationFiles(), c.delivered ? QStringList{"backup-1.zip"} : QStringList{});
    EXPECT_TRUE(f.leftInTemp().isEmpty()) << "run folder left behind";
    EXPECT_FALSE(f.flags.OperationInProgress);
    EXPECT_FALSE(f.indicator.running);
}

const QStringList kDelivered = {"Docs: WinRAR - Done (1 file, 2K).",
                                "Docs: COPY - Successfully copied backup-1.zip.", "Docs: Done."};

INSTANTIATE_TEST_SUITE_P(
    Codes, ArchiverExitCodeTest,
    ::testing::Values(
        ExitCodeCase{"success", 0, false, kDelivered, true},
        ExitCodeCase{"warning_tolerated", 1, true,
                     QStringList{"Docs: WinRAR reported a warning (non-critical)."} + kDelivered,
                     true},
        ExitCodeCase{"warning_as_error",
                     1,
                     false,
                     {"Docs: WinRAR - Error 1 (see WinRAR log for details). [!]"},
                     false},
        ExitCodeCase{"fatal_error",
                     2,
                     false,
                     {"Docs: WinRAR - Error 2 (see WinRAR log for details). [!]"},
                     false},
        ExitCodeCase{"cancelled_by_user", 255, false,
                     QStringList{"Docs: WinRAR - Canceled by the user. [!]"} + kDelivered, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupRun, SleepIsHeldOffWhileARunIsUnderWayAndAMissingLogindIsSaidOnce) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(0, 1);
    platform::RecordingSleepInhibitor sleep;
    f.run.setSleepInhibitor(&sleep);
    bool heldWhileArchiving = false;
    QTimer::singleShot(300, [&] { heldWhileArchiving = sleep.held; });

    f.run.RunPreset();
    EXPECT_TRUE(heldWhileArchiving);
    EXPECT_FALSE(sleep.held);
    EXPECT_EQ(sleep.releases, 1);
    EXPECT_EQ(sleep.reasons, QStringList{"Backup Docs running"});

    // Without logind the runs go on; the log says so once, not once per run.
    sleep.available = false;
    f.useFakeArchiver(0);
    f.run.RunPreset();
    f.run.RunPreset();
    const QStringList messages = f.logMessages();
    EXPECT_EQ(messages.filter(QStringLiteral("cannot be kept awake")).size(), 1);
    EXPECT_EQ(messages.count(QStringLiteral("Docs: Done.")), 3)
        << messages.join('\n').toStdString();
}

TEST(BackupRun, AbortWhileArchivingEndsTheArchiverAndLeavesNoRunFolder) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(0, 30);
    QTimer::singleShot(300, [&] { f.flags.AbortRequested = true; });

    QElapsedTimer elapsed;
    elapsed.start();
    f.run.RunPreset();

    EXPECT_LT(elapsed.elapsed(), 10000);
    const QStringList messages = f.logMessages();
    EXPECT_EQ(messages.mid(messages.size() - 2), QStringList({"Abort requested.", "Aborted. [!]"}));
    EXPECT_TRUE(f.leftInTemp().isEmpty());
    EXPECT_TRUE(f.destinationFiles().isEmpty());
    EXPECT_FALSE(f.flags.OperationInProgress);
}

TEST(BackupRun, NothingSelectedNoTaskAndMissingArchiver) {
    RunFixture f;
    f.useFakeArchiver(0);
    f.run.RunPreset();
    EXPECT_TRUE(f.logMessages().isEmpty()) << "no preset selected: silence";

    f.addPreset(QStringLiteral("Idle")).ctf = false;
    f.savePreset();
    f.run.RunPreset();
    EXPECT_EQ(
        f.logMessages(),
        QStringList({"Idle: SWL - there are no tasks for this preset, operation canceled. [!]"}));
    EXPECT_EQ(f.lastRuns, QStringList({"Idle"}));
    EXPECT_FALSE(f.flags.OperationInProgress);

    f.options.pwi = f.root().filePath(QStringLiteral("no-archiver"));
    f.run.RunPreset();
    EXPECT_EQ(f.logMessages().last(), QStringLiteral("WinRAR is not found. Check paths. [!]"));
}

TEST(BackupRun, SizeTextUsesBytesKilobytesAndMegabytes) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::pair<qint64, const char*> cases[] = {{0, "0b"},
                                                    {1023, "1023b"},
                                                    {1024, "1K"},
                                                    {3 * 2048, "6K"},
                                                    {1047552, "1,023K"},
                                                    {3145728, "3.0M"},
                                                    {1048576LL * 1536 + 52429, "1,536.1M"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(sizeText(bytes), QString::fromLatin1(text)) << bytes;
    QLocale::setDefault(QLocale::system());
}

TEST(BackupRun, CopyCleanerCountModeKeepsTheEarlierRunsBelowTheLimit) {
    RunFixture f;
    tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
    preset.cco = true;
    preset.ccm = 0;
    preset.ccv = 2;
    f.savePreset();
    f.useFakeArchiver(0);
    for (int i = 0; i < 4; ++i) {
        f.clock.advanceSeconds(60);
        f.run.RunPreset();
    }
    EXPECT_EQ(f.destinationFiles(), QStringList({"backup-3.zip", "backup-4.zip"}));
    EXPECT_TRUE(f.logMessages().contains(
        QStringLiteral("Docs: COPY - Cleaner deleted %1/backup-2.zip.").arg(f.destination())));
    const QStringList history = core::readTextLines(f.tree.preset("Docs.lgc")).value();
    EXPECT_EQ(history.count(QString()), 2) << "two entries left in the copy history";
    EXPECT_EQ(history.value(1), QStringLiteral("backup-4.zip"));
}

TEST(BackupRun, CopyCleanerAgeModeKeepsTheRunsOfTheLastDays) {
    RunFixture f;
    tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
    preset.cco = true;
    preset.ccm = 1;
    preset.ccv = 7;
    f.savePreset();
    f.useFakeArchiver(0);
    for (int day : {0, 5, 5}) {
        f.clock.advanceDays(day);
        f.run.RunPreset();
    }
    // Day 10: the run of day 0 is older than 7 days, the run of day 5 is not.
    EXPECT_EQ(f.destinationFiles(), QStringList({"backup-2.zip", "backup-3.zip"}));
}

TEST(BackupRun, AnArchiveThatCannotBeCopiedIsKeptAndTheLogSaysWhere) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(0);
    QDir().mkpath(f.destination());
    writeBytes(f.destination() + QStringLiteral("/backup-1.zip"), "older copy");

    f.run.RunPreset();

    EXPECT_EQ(readBytes(f.destination() + QStringLiteral("/backup-1.zip")), "older copy");
    const QStringList messages = f.logMessages();
    const QString keptLine =
        messages.filter(QStringLiteral("The undelivered archive is kept in ")).value(0);
    ASSERT_FALSE(keptLine.isEmpty()) << messages.join('\n').toStdString();
    const QString keptPath =
        keptLine.mid(keptLine.indexOf(QLatin1String("kept in ")) + 8).chopped(4);
    EXPECT_EQ(QFileInfo(keptPath).size(), 2048) << keptPath.toStdString();
    EXPECT_TRUE(messages.contains(
        "Docs: COPY - File backup-1.zip already exists, no permission to overwrite. [!]"));
    EXPECT_TRUE(
        messages.contains("Docs: COPY - Cannot write backup-1.zip to the specified location. [!]"));
    EXPECT_FALSE(f.flags.OperationInProgress);
}

TEST(BackupRun, EmptyingTheDestinationUsesTheArchiverMaskRule) {
    const struct {
        const char* mask;
        QStringList left;
    } cases[] = {
        {"*.*", {"backup-1.zip"}}, // every name, also "README" without a dot
        {"*.txt", {"README", "backup-1.zip", "keep.TXT", "old1.zip"}}, // case-sensitive
        {"old?.zip", {"README", "backup-1.zip", "keep.TXT", "notes.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        RunFixture f;
        tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
        preset.efl = true;
        preset.ems = QString::fromLatin1(c.mask);
        f.savePreset();
        f.useFakeArchiver(0);
        QDir().mkpath(f.destination());
        for (const char* name : {"README", "notes.txt", "keep.TXT", "old1.zip"})
            writeBytes(f.destination() + '/' + name, "older");

        f.run.RunPreset();

        EXPECT_EQ(f.destinationFiles(), c.left);
    }
}

TEST(BackupRun, ArchivesNoStepDeliveredAreKept) {
    RunFixture f;
    tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
    preset.ctf = false;
    preset.ftp = true;
    f.savePreset();
    f.useFakeArchiver(0);

    f.run.RunPreset();

    EXPECT_EQ(f.deliveries.calls, QStringList({"ftp"}));
    EXPECT_EQ(f.logMessages().last(), QStringLiteral("Docs: Done."));
    EXPECT_EQ(f.leftInTemp().size(), 1) << "the run folder with the undelivered archive stays";
}

TEST(BackupRun, ProgramBeforeSyncStartsOnlyWhileTheClearSettingWaits) {
    for (bool startOnly : {false, true}) {
        SCOPED_TRACE(startOnly ? "sync: started, not waited for" : "not sync: waited for");
        RunFixture f;
        const QString marker = f.root().filePath(QStringLiteral("marker"));
        tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
        preset.eba = true;
        preset.ebs = startOnly;
        preset.ebh = true;
        preset.ebe = QStringLiteral("/bin/sh");
        preset.ebp = QStringLiteral("-c \"sleep 2; touch '%1'\"").arg(marker);
        f.savePreset();
        f.useFakeArchiver(0);

        f.run.RunPreset();

        EXPECT_EQ(QFile::exists(marker), !startOnly);
        EXPECT_TRUE(
            f.logMessages().contains(QStringLiteral("Docs: %1  /bin/sh")
                                         .arg(startOnly ? "Sync execution:" : "Async execution:")));
        EXPECT_EQ(f.logMessages().last(), QStringLiteral("Docs: Done."));
    }
}

TEST(BackupRun, ArchiveNamesThatAreNotPlainFileNamesAreRefusedBeforeAnythingStarts) {
    qputenv("STOWLINE_TEST_SUBFOLDER", "sub/inner");
    for (const char* name :
         {"sub/inner", "../escape", ".hidden", "..", "%STOWLINE_TEST_SUBFOLDER%", "%HOME%x", ""}) {
        for (const bool direct : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "nam \"" << name << "\"" << (direct ? ", direct" : ""));
            RunFixture f;
            tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
            preset.nam = QString::fromUtf8(name);
            preset.dra = direct;
            f.savePreset();
            f.useFakeArchiver(0);

            f.run.RunPreset();

            const QStringList messages = f.logMessages();
            ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
            EXPECT_TRUE(messages.first().startsWith(QStringLiteral("Docs: The archive name \"")));
            EXPECT_TRUE(messages.first().endsWith(QStringLiteral("operation canceled. [!]")));
            EXPECT_FALSE(QFile::exists(f.root().filePath(QStringLiteral("runs"))))
                << "the archiver never started";
            EXPECT_TRUE(f.leftInTemp().isEmpty());
            EXPECT_FALSE(f.flags.OperationInProgress);
        }
    }
    qunsetenv("STOWLINE_TEST_SUBFOLDER");
}

TEST(BackupRun, HistoriesThatCannotBeWrittenAreErrorLinesNamingTheFile) {
    RunFixture f;
    tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
    preset.cco = true;
    preset.ccv = 3;
    f.savePreset();
    f.useFakeArchiver(0);
    // A folder where a history file belongs can be neither read nor replaced.
    for (const char* history : {"Docs.lgc", "Docs.hst"})
        ASSERT_TRUE(QDir().mkpath(f.tree.preset(history)));

    f.run.RunPreset();

    const QStringList messages = f.logMessages();
    for (const char* history : {"Docs.lgc", "Docs.hst"})
        EXPECT_TRUE(messages.contains(QStringLiteral("Docs: Cannot write the history file %1. [!]")
                                          .arg(f.tree.preset(history))))
            << messages.join('\n').toStdString();
    EXPECT_EQ(f.destinationFiles(), QStringList({"backup-1.zip"})) << "the copy itself is made";
    EXPECT_EQ(messages.last(), QStringLiteral("Docs: Done."));
}

TEST(BackupRun, RunFoldersLeftByAnEndedProgramAreReportedOnceAndKept) {
    RunFixture f;
    const QString withArchive = f.options.pte + QStringLiteral("/ABCDEFGH");
    const QString empty = f.options.pte + QStringLiteral("/IJKLMNOP");
    const QString vanished = f.options.pte + QStringLiteral("/QRSTUVWX");
    // A list edited by hand never makes the start-up remove other folders.
    const QString foreign = f.root().filePath(QStringLiteral("empty-but-not-ours"));
    ASSERT_TRUE(QDir().mkpath(foreign + QStringLiteral("/sub")));
    ASSERT_TRUE(QDir().mkpath(withArchive + QStringLiteral("/.work")));
    writeBytes(withArchive + QStringLiteral("/docs.zip"), "the only copy");
    ASSERT_TRUE(QDir().mkpath(empty + QStringLiteral("/.work")));
    ASSERT_TRUE(core::writeTextLinesAtomically(f.folders.inData(QStringLiteral("swl.rfl")),
                                               {withArchive, empty, vanished, foreign}));

    f.run.ReportLeftRunFolders();
    f.run.ReportLeftRunFolders();

    EXPECT_EQ(f.logMessages(),
              QStringList({QStringLiteral("An earlier run ended with the program and left the "
                                          "folder %1; its files are kept there. [!]")
                               .arg(withArchive)}));
    EXPECT_EQ(readBytes(withArchive + QStringLiteral("/docs.zip")), "the only copy");
    EXPECT_FALSE(QFileInfo::exists(empty)) << "a folder with nothing in it is removed";
    EXPECT_TRUE(QFileInfo::exists(foreign + QStringLiteral("/sub")));
}

TEST(BackupRun, RunFolderIsListedOnlyWhileTheRunUsesIt) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(0, 1);
    const QString record = f.folders.inData(QStringLiteral("swl.rfl"));
    QStringList listedWhileArchiving;
    QTimer::singleShot(
        300, [&] { listedWhileArchiving = core::readTextLines(record).value_or(QStringList()); });

    f.run.RunPreset();

    ASSERT_EQ(listedWhileArchiving.size(), 1);
    EXPECT_TRUE(listedWhileArchiving.first().startsWith(f.options.pte + QLatin1Char('/')));
    EXPECT_FALSE(QFile::exists(record));
}

TEST(BackupRun, DebugFlagShowsTheParameterStringInAMessageBoxFirst) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    f.useFakeArchiver(0);
    writeBytes(f.folders.inData(QStringLiteral("debug.flg")), "");

    f.run.RunPreset();

    ASSERT_EQ(f.prompts.messages.size(), 1);
    EXPECT_TRUE(f.prompts.messages.first().startsWith(QStringLiteral("\n a ")));
    EXPECT_TRUE(f.prompts.messages.first().contains(QStringLiteral("/backup")));
    EXPECT_EQ(f.logMessages().last(), QStringLiteral("Docs: Done."));
}

TEST(BackupRun, DirectArchivingStartsTheArchiverAndEndsAtOnce) {
    RunFixture f;
    tarcopt& preset = f.addPreset(QStringLiteral("Docs"));
    preset.dra = true;
    f.savePreset();
    f.useFakeArchiver(0, 1);

    QElapsedTimer elapsed;
    elapsed.start();
    f.run.RunPreset();

    EXPECT_LT(elapsed.elapsed(), 1000) << "the run does not wait for the archiver";
    EXPECT_EQ(f.logMessages().last(),
              QStringLiteral(
                  "Docs: WinRAR - Started (direct raring mode, expect no further notifications)."));
    EXPECT_FALSE(f.flags.OperationInProgress);
    EXPECT_TRUE(f.leftInTemp().isEmpty()) << "no run folder in direct archiving";
    // The archiver goes on by itself and writes straight into the destination.
    QDeadlineTimer deadline(15000);
    while (f.madeFile(QStringLiteral("backup-1.zip")).size() < 2048 && !deadline.hasExpired())
        QThread::msleep(50);
    EXPECT_EQ(f.destinationFiles(), QStringList({"backup-1.zip"}));
}

} // namespace
