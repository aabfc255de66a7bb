#include "disc/DiscTexts.h"
#include "disc/SimulatedDiscEngine.h"

#include "QtPrinters.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace stowline::disc {
namespace {

TEST(DiscTexts, ProgressStaysWithinBoundsWhateverTheEngineReports) {
    struct Case {
        qint64 done, total;
        int percent;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{5, 0, 0}, Case{1, -3, 0}, Case{1, 3, 33},
                          Case{2, 3, 67}, Case{7, 3, 100}, Case{-1, 3, 0}})
        EXPECT_EQ(progressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(DiscTexts, SizesAndSpeeds) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(megabytesText(360000), "703.1M");
    EXPECT_EQ(megabytesText(2295104), "4,482.6M");
    EXPECT_EQ(burningSpeedText(int(MediumType::CdRw), 2816), "16x.");
    EXPECT_EQ(burningSpeedText(int(MediumType::DvdPlusR), 11080), "8x.");
    EXPECT_EQ(burningSpeedText(int(MediumType::BdR), 4000), "4000Kb/s.");
    EXPECT_EQ(burningSpeedText(0, 4000), "4000Kb/s.");
    EXPECT_EQ(mediumTypeName(12), "mtDVDPLUSRDL");
    EXPECT_EQ(mediumTypeName(40), "mtUNKNOWN");
}

TEST(DiscTexts, RecorderIsFoundByTheAddressAfterTheFirstComma) {
    const QList<Recorder> recorders{
        {"Maker, Inc DVD,/dev/sr0", "/dev/sr0", true},
        {"Other BD,/dev/sr1", "/dev/sr1", true},
    };
    // The first comma of "Maker, Inc" is not followed by the address.
    EXPECT_FALSE(recorderForDrive(recorders, "/dev/sr0").has_value());
    ASSERT_TRUE(recorderForDrive(recorders, "/dev/sr1").has_value());
    EXPECT_EQ(recorderForDrive(recorders, "/dev/sr1")->address, "/dev/sr1");
    EXPECT_FALSE(recorderForDrive(recorders, "").has_value());
}

TEST(DiscTexts, DriveInformationReport) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SimulatedDiscEngine engine;
    engine.recorderList = {{"Vendor Writer,/dev/sr0", "/dev/sr0", true}};
    engine.medium.ready = true;
    engine.medium.type = int(MediumType::CdRw);
    engine.medium.erasable = true;
    engine.medium.writable = true;
    engine.medium.sessions = 2;
    engine.medium.totalBlocks = 360000;
    engine.medium.freeBlocks = 1024;
    engine.medium.maxWriteSpeed = 24 * 176;
    engine.capabilities = {1, 2, 21};
    const std::optional<QString> report = driveInfoReport(engine);
    ASSERT_TRUE(report.has_value());
    const QStringList lines = report->split('\r');
    EXPECT_EQ(lines.mid(0, 10),
              QStringList({">>> Is Drive Ready? True", ">>> Disc is mtCDRW",
                           ">>> Is dics Erasable? True", ">>> Is disc Writable? True",
                           ">>> Sessions: 2", ">>> Total size: 703.13 MB", ">>> Free size: 2.00 MB",
                           ">>> CD write speed:  24x", "", ">>> READ_CD-R? True"}));
    EXPECT_EQ(lines[11], ">>> READ_DVD-RAM? False");
    EXPECT_EQ(lines[15], ">>> READ_DVD+RDL? False");
    EXPECT_EQ(lines[23], "");
    EXPECT_EQ(lines[24], ">>> WRITE_CD-R? True");
    EXPECT_EQ(lines.last(), ">>> WRITE_BDRE? False");
    EXPECT_EQ(lines.size(), 36);
    EXPECT_FALSE(report->endsWith('\r'));

    engine.medium.type = int(MediumType::DvdPlusRw);
    engine.medium.maxWriteSpeed = 8 * 1385;
    EXPECT_TRUE(driveInfoReport(engine)->contains(">>> DVD write speed:  8x\r"));
    engine.medium.type = int(MediumType::BdRe);
    engine.medium.maxWriteSpeed = 9000;
    EXPECT_TRUE(driveInfoReport(engine)->contains(">>> Write raw speed:  9,000 KB/s\r"));
}

TEST(DiscTexts, QueriesAreRefusedWhileTheEngineIsBusy) {
    SimulatedDiscEngine engine;
    engine.recorderList = {{"Vendor Writer,/dev/sr0", "/dev/sr0", true}};
    engine.medium.ready = true;
    engine.failure = SimulatedDiscEngine::Failure::NeverEnds;
    ASSERT_TRUE(engine.startErase());
    EXPECT_FALSE(driveInfoReport(engine).has_value());
    EXPECT_TRUE(engine.recorders().isEmpty());
    EXPECT_FALSE(engine.selectRecorder("/dev/sr0"));
    EXPECT_FALSE(engine.startWrite());
}

} // namespace
} // namespace stowline::disc
