#include "DiscFixture.h"

namespace stowline::disc::testing {
namespace {

using Failure = SimulatedDiscEngine::Failure;

constexpr qint64 kCdBlocks = 360000; // 703.1M
const QString kFirst = QStringLiteral("backup-1.part1.zip");
const QString kSecond = QStringLiteral("backup-1.part2.zip");

MediumInfo blankCdR() {
    MediumInfo medium;
    medium.ready = true;
    medium.type = int(MediumType::CdR);
    medium.writable = true;
    medium.totalBlocks = kCdBlocks;
    medium.freeBlocks = kCdBlocks;
    medium.currentWriteSpeed = 16 * 176;
    medium.maxWriteSpeed = 48 * 176;
    return medium;
}

MediumInfo fullCdRw() {
    MediumInfo medium = blankCdR();
    medium.type = int(MediumType::CdRw);
    medium.erasable = true;
    medium.writable = false;
    medium.sessions = 3;
    medium.freeBlocks = 0;
    return medium;
}

struct SimulatedRun : DiscRunOn<SimulatedDiscEngine> {
    explicit SimulatedRun(MediumInfo medium = blankCdR(), DiscSettings settings = quickSettings())
        : DiscRunOn(QStringLiteral("/dev/sr1"), settings) {
        engine.recorderList = {
            Recorder{QStringLiteral("Vendor Writer,/dev/sr1"), QStringLiteral("/dev/sr1"), true}};
        engine.medium = medium;
    }
};

const QString kInfoBlank = QStringLiteral("Docs: CD - Medium info: 703.1M total, 703.1M free.");
const QString kInfoFull = QStringLiteral("Docs: CD - Medium info: 703.1M total, 0.0M free.");

QStringList writtenLines() {
    return {QStringLiteral("Docs: CD - Burning at 16x."),
            QStringLiteral("Docs: CD - Burn complete. Status: OK.")};
}

TEST(DiscStep, BlankCdRGetsTheArchivesAndOneHistoryLinePerFile) {
    SimulatedRun disc;
    const QStringList lines = disc.runPreset();
    const QStringList expected = QStringList{"Docs: CD - Started.", kInfoBlank,
                                             "Docs: CD - Cannot erase, the CD is not rewritable."} +
                                 writtenLines() + QStringList{"Docs: Done."};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(disc.engine.writtenFiles().size(), 2);
    const QStringList history = disc.history();
    ASSERT_EQ(history.size(), 2);
    // The run's last file ends up first.
    EXPECT_TRUE(history[0].endsWith("\t1-CD\t/dev/sr1:/" + kSecond)) << history[0].toStdString();
    EXPECT_TRUE(history[1].endsWith("\t1-CD\t/dev/sr1:/" + kFirst)) << history[1].toStdString();
    // Written archives are delivered: the run folder goes.
    EXPECT_TRUE(disc.leftInTemp().isEmpty());
    // The tray is never moved with cne, and the tray lock is let go.
    EXPECT_FALSE(disc.engine.calls().contains("eject"));
    EXPECT_EQ(disc.engine.calls().count("lock"), disc.engine.calls().count("unlock"));
    EXPECT_EQ(disc.engine.calls().last(), "release");
}

TEST(DiscStep, TrayIsCycledUnlessNeverEjectOrAskForTheDisc) {
    SimulatedRun cycled;
    cycled.preset.cne = false;
    cycled.preset.cdb = 8;
    cycled.runPreset();
    const QStringList calls = cycled.engine.calls();
    EXPECT_EQ(calls.mid(0, 4), QStringList({"select /dev/sr1", "cache 8", "eject", "load"}));

    SimulatedRun asking;
    asking.preset.cne = false;
    asking.preset.edc = true;
    asking.runPreset();
    EXPECT_EQ(asking.prompts.messages, QStringList{"\nPlease insert a CD."});
    EXPECT_FALSE(asking.engine.calls().mid(0, 4).contains("eject"));
    EXPECT_FALSE(asking.engine.calls().mid(0, 4).contains("load"));
}

// Each way the step ends early: its last line, no history, the archives kept.
TEST(DiscStep, EarlyEndsLeaveNoHistoryAndKeepTheArchives) {
    struct Case {
        const char* name;
        std::function<void(SimulatedRun&)> setUp;
        QString lastLine;
    };
    const QString noDisc =
        QStringLiteral("Docs: CD - There is no writable CD in the drive. Operation canceled. [!]");
    const std::vector<Case> cases{
        {"no disc", [](SimulatedRun& r) { r.engine.medium.ready = false; }, noDisc},
        {"never ready", [](SimulatedRun& r) { r.engine.checksUntilReady = 40; }, noDisc},
        {"closed pressed disc",
         [](SimulatedRun& r) {
             r.engine.medium.writable = false;
             r.engine.medium.type = int(MediumType::CdRom);
         },
         noDisc},
        {"unknown recorder", [](SimulatedRun& r) { r.preset.cdr = "/dev/sr7"; },
         "Docs: CD - The recorder /dev/sr7 cannot be used: no recorder at /dev/sr7 [!]"},
        {"recorder cannot be opened", [](SimulatedRun& r) { r.engine.failure = Failure::Select; },
         "Docs: CD - The recorder /dev/sr1 cannot be used: cannot open /dev/sr1 [!]"},
        {"last session unreadable", [](SimulatedRun& r) { r.engine.failure = Failure::Import; },
         "Docs: CD - Error the last session cannot be read [!]"},
        {"image not laid out", [](SimulatedRun& r) { r.engine.failure = Failure::Prepare; },
         "Docs: CD - Error the image cannot be laid out [!]"},
        {"disc too small",
         [](SimulatedRun& r) {
             r.engine.medium.totalBlocks = 20;
             r.engine.medium.freeBlocks = 20;
         },
         "Docs: CD - The size of the archive exceeds the capacity of the CD. Skipping the CD "
         "process. [!]"},
        {"too full, no erase allowed", [](SimulatedRun& r) { r.engine.medium.freeBlocks = 10; },
         "Docs: CD - Not enough free space on the CD to burn files. [!]"},
        // Erasing is allowed but impossible: the write could only fail.
        {"too full, not rewritable",
         [](SimulatedRun& r) {
             r.preset.cef = true;
             r.engine.medium.freeBlocks = 10;
         },
         "Docs: CD - Not enough free space on the CD to burn files. [!]"},
        {"write refused", [](SimulatedRun& r) { r.engine.failure = Failure::StartWrite; },
         "Docs: CD - Burn complete. Status: Error [!]"},
        {"write failed", [](SimulatedRun& r) { r.engine.failure = Failure::Write; },
         "Docs: CD - Burn complete. Status: Error [!]"},
        {"erase failed",
         [](SimulatedRun& r) {
             r.engine.medium = fullCdRw();
             r.preset.cer = true;
             r.engine.failure = Failure::Erase;
         },
         "Docs: CD - Burning process was skipped due to erase error. [!]"},
        {"erase refused",
         [](SimulatedRun& r) {
             r.engine.medium = fullCdRw();
             r.preset.cer = true;
             r.engine.failure = Failure::StartErase;
         },
         "Docs: CD - Burning process was skipped due to erase error. [!]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedRun disc;
        c.setUp(disc);
        QStringList lines = disc.runPreset();
        // The run keeps what the step did not deliver, each with its line.
        EXPECT_EQ(lines.removeIf([](const QString& line) {
            return line.contains("undelivered archive is kept") || line == "Docs: Done.";
        }),
                  3)
            << lines.join('\n').toStdString();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.last(), c.lastLine) << lines.join('\n').toStdString();
        EXPECT_TRUE(disc.history().isEmpty());
        EXPECT_EQ(disc.keptArchives().size(), 2);
    }
}

TEST(DiscStep, FullRewritableDiscIsErasedWhenTooFull) {
    SimulatedRun disc(fullCdRw());
    disc.preset.cef = true;
    const QStringList lines = disc.runPreset();
    const QStringList expected =
        QStringList{"Docs: CD - Started.",
                    kInfoFull,
                    "Docs: CD - There isn't enough free space on the CD, so it's time to erase it.",
                    "Docs: CD - Erasing the disc.",
                    "Docs: CD - Erase complete. Status: OK.",
                    kInfoBlank} +
        writtenLines() + QStringList{"Docs: Done."};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(disc.history().size(), 2);
}

TEST(DiscStep, EraseBeforeWritingOnlyWhenTheDiscHoldsSessions) {
    SimulatedRun empty(fullCdRw());
    empty.engine.medium.sessions = 0;
    empty.engine.medium.writable = true;
    empty.engine.medium.freeBlocks = kCdBlocks;
    empty.preset.cer = true;
    EXPECT_TRUE(empty.runPreset().contains("Docs: CD - No need to erase this CD, it is empty."));
    EXPECT_FALSE(empty.engine.calls().contains("erase"));

    // With room to spare, cef alone does not erase.
    SimulatedRun roomy(fullCdRw());
    roomy.engine.medium.writable = true;
    roomy.engine.medium.freeBlocks = 1000;
    roomy.preset.cef = true;
    roomy.runPreset();
    EXPECT_FALSE(roomy.engine.calls().contains("erase"));
    EXPECT_EQ(roomy.history().size(), 2);
}

TEST(DiscStep, VerifyRecordsOnlyTheFilesThatCameBackEqual) {
    SimulatedRun disc;
    disc.preset.cdv = true;
    // The run folder's name is drawn at run time: the second file is marked once written.
    QObject::connect(&disc.engine, &DiscEngine::writeDone, [&disc](bool) {
        disc.engine.damagedOnDisc = {disc.engine.writtenFiles().value(1)};
    });
    const QStringList lines = disc.runPreset();
    const qsizetype verifying = lines.indexOf("Docs: CD - Verifying ...");
    ASSERT_GT(verifying, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(verifying + 1, 2),
              QStringList({"Docs: CD - VERIFY FAILED FOR " + kSecond + ".",
                           "Docs: CD - Verifying done, AT LEAST ONE FILE FAILED [!]"}));
    const QStringList history = disc.history();
    ASSERT_EQ(history.size(), 1);
    EXPECT_TRUE(history[0].endsWith(kFirst));
    EXPECT_EQ(disc.keptArchives(), QStringList{kSecond});

    SimulatedRun clean;
    clean.preset.cdv = true;
    EXPECT_TRUE(clean.runPreset().contains("Docs: CD - Verifying done, all files are OK."));
    EXPECT_EQ(clean.history().size(), 2);
}

TEST(DiscStep, AbortWhileWritingStopsTheEngineAndKeepsTheArchives) {
    SimulatedRun disc;
    disc.engine.failure = Failure::NeverEnds;
    disc.preset.del = true;
    disc.step.setProgressSink([&disc](int percent) {
        if (percent >= 0 && disc.engine.calls().contains("write"))
            disc.flags.AbortRequested = true;
    });
    const QStringList lines = disc.runPreset();
    // The run's own abort lines follow the step, the kept archives between them.
    EXPECT_TRUE(lines.contains("Abort requested.")) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), "Aborted. [!]");
    const QStringList calls = disc.engine.calls();
    ASSERT_TRUE(calls.contains("abort"));
    EXPECT_EQ(calls.indexOf("unlock"), calls.indexOf("abort") + 1);
    EXPECT_FALSE(disc.engine.busy());
    EXPECT_TRUE(disc.history().isEmpty());
    EXPECT_EQ(disc.keptArchives().size(), 2);
}

TEST(DiscStep, OperationThatNeverEndsIsStoppedAtItsLimit) {
    DiscSettings settings = quickSettings();
    settings.writeLimit = std::chrono::milliseconds(100);
    SimulatedRun disc(blankCdR(), settings);
    disc.engine.failure = Failure::NeverEnds;
    const QStringList lines = disc.runPreset();
    EXPECT_TRUE(lines.contains(
        "Docs: CD - The drive did not finish in time; the operation was stopped. [!]"));
    EXPECT_TRUE(lines.contains("Docs: CD - Burn complete. Status: Error [!]"));
    EXPECT_TRUE(disc.engine.calls().contains("abort"));
    EXPECT_TRUE(disc.history().isEmpty());
}

TEST(DiscStep, NoFilesToWrite) {
    SimulatedRun disc;
    disc.useFakeArchiver(FakeArchives{0, 0, 0, 0});
    const QStringList lines = disc.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - No files to process. [!]"));
    EXPECT_FALSE(disc.engine.calls().contains("write"));
}

} // namespace
} // namespace stowline::disc::testing
