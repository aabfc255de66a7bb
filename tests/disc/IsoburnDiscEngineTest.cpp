#include "DiscFixture.h"

#include "disc/IsoburnDiscEngine.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

namespace stowline::disc::testing {
namespace {

// A stdio: pseudo-drive: an image file standing in for a disc.
struct ImageRun : DiscRunOn<IsoburnDiscEngine> {
    explicit ImageRun(const QString& image) : DiscRunOn(QStringLiteral("stdio:") + image) {}
};

struct Xorriso {
    int exitCode = -1;
    QString output;
};

Xorriso xorriso(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("xorriso"), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

// Number of sessions xorriso finds in the image.
int sessionsIn(const QString& image) {
    const Xorriso toc = xorriso({"-indev", "stdio:" + image, "-toc"});
    return int(
        toc.output.count(QRegularExpression("^ISO session", QRegularExpression::MultilineOption)));
}

// The files of the image's last session, extracted by xorriso: name -> content.
QMap<QString, QByteArray> extracted(const QString& image, const QString& into) {
    QDir(into).removeRecursively();
    const Xorriso run =
        xorriso({"-osirrox", "on", "-indev", "stdio:" + image, "-extract", "/", into});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(into).entryList(QDir::Files))
        files[name] = backup::testing::readBytes(into + QLatin1Char('/') + name);
    return files;
}

class IsoburnDisc : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("xorriso").isEmpty())
            GTEST_SKIP() << "xorriso is not installed";
    }
    QString image() const { return scratch.filePath("backup.iso"); }
    QString extractFolder() const { return scratch.filePath("out"); }
    QTemporaryDir scratch;
};

TEST_F(IsoburnDisc, SessionsAreAppendedAndEveryRunStaysReadable) {
    ImageRun first(image());
    first.preset.cdv = true;
    const QStringList lines = first.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - Burn complete. Status: OK."))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("Docs: CD - Verifying done, all files are OK."));
    EXPECT_EQ(first.history().size(), 2);
    EXPECT_EQ(sessionsIn(image()), 1);
    QMap<QString, QByteArray> files = extracted(image(), extractFolder());
    EXPECT_EQ(files.keys(), QStringList({"backup-1.part1.zip", "backup-1.part2.zip"}));
    for (const QString& name : files.keys())
        EXPECT_EQ(files[name], first.madeFile(name)) << name.toStdString();

    // The same archiver stand-in numbers the second run's files on.
    ImageRun second(image());
    second.tree.root.setAutoRemove(true);
    second.options.pwi = first.options.pwi;
    second.runPreset();
    EXPECT_EQ(sessionsIn(image()), 2);
    files = extracted(image(), extractFolder());
    EXPECT_EQ(files.keys(), QStringList({"backup-1.part1.zip", "backup-1.part2.zip",
                                         "backup-2.part1.zip", "backup-2.part2.zip"}));
    for (const QString& name : files.keys())
        EXPECT_EQ(files[name], first.madeFile(name)) << name.toStdString();
}

TEST_F(IsoburnDisc, EraseFirstLeavesOnlyTheNewSession) {
    ImageRun first(image());
    first.runPreset();
    ImageRun second(image());
    second.options.pwi = first.options.pwi;
    second.preset.cer = true;
    const QStringList lines = second.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - Erase complete. Status: OK."))
        << lines.join('\n').toStdString();
    EXPECT_EQ(sessionsIn(image()), 1);
    EXPECT_EQ(extracted(image(), extractFolder()).keys(),
              QStringList({"backup-2.part1.zip", "backup-2.part2.zip"}));
}

TEST_F(IsoburnDisc, VerifyFindsAFileChangedOnTheDisc) {
    ImageRun disc(image());
    disc.preset.cdv = true;
    // Between the write and the verify, one byte of the second archive changes in the image.
    QObject::connect(&disc.engine, &DiscEngine::writeDone, [&] {
        QFile file(image());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray content = file.readAll();
        const QByteArray archive = disc.madeFile("backup-1.part2.zip");
        const qsizetype at = content.indexOf(archive);
        ASSERT_GE(at, 0);
        file.seek(at + 100);
        file.write(QByteArray(1, char(content[at + 100] ^ 0x5a)));
    });
    const QStringList lines = disc.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - VERIFY FAILED FOR backup-1.part2.zip."))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("Docs: CD - Verifying done, AT LEAST ONE FILE FAILED [!]"));
    const QStringList history = disc.history();
    ASSERT_EQ(history.size(), 1);
    EXPECT_TRUE(history[0].endsWith("\t1-CD\tstdio:" + image() + ":/backup-1.part1.zip"));
    EXPECT_EQ(disc.keptArchives(), QStringList{"backup-1.part2.zip"});
}

TEST_F(IsoburnDisc, AbortWhileWritingEndsCleanly) {
    ImageRun disc(image());
    disc.useFakeArchiver(FakeArchives{0, 0, 200 * 1024 * 1024, 1});
    disc.step.setProgressSink([&disc](int percent) {
        if (percent >= 0 && disc.engine.busy())
            disc.flags.AbortRequested = true;
    });
    const QStringList lines = disc.runPreset();
    // The run's own abort lines follow the step, the kept archives between them.
    EXPECT_TRUE(lines.contains("Abort requested.")) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), "Aborted. [!]");
    EXPECT_FALSE(disc.engine.busy());
    EXPECT_TRUE(disc.history().isEmpty());
    EXPECT_EQ(disc.keptArchives(), QStringList{"backup-1.zip"});
}

// A pseudo-drive's capacity is its file system's free space: these cases run in a
// child process of this test inside a private mount namespace with a 1 MB tmpfs.
constexpr char kSmallFolderVariable[] = "STOWLINE_DISC_SMALL_FS";

TEST_F(IsoburnDisc, SmallDiscNeedsRoomOrAnErase) {
    const QString small = qEnvironmentVariable(kSmallFolderVariable);
    if (small.isEmpty()) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        const QString folder = scratch.filePath("small");
        QDir().mkpath(folder);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kSmallFolderVariable, folder);
        child.setProcessEnvironment(environment);
        child.start("unshare", {"-rm", "sh", "-c",
                                "mount -t tmpfs -o size=1m tmpfs \"$0\" || exit 77; exec \"$1\" "
                                "--gtest_filter=IsoburnDisc.SmallDiscNeedsRoomOrAnErase",
                                folder, QCoreApplication::applicationFilePath()});
        child.waitForFinished(120000);
        const QString output = QString::fromLocal8Bit(child.readAll());
        if (child.exitCode() == 77 || child.error() == QProcess::FailedToStart)
            GTEST_SKIP() << "no private tmpfs here: " << output.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        return;
    }
    const QString image = small + "/backup.iso";
    // An archive of 600 KB fits once, not twice.
    const FakeArchives archives{0, 0, 600 * 1024, 1};
    ImageRun first(image);
    first.useFakeArchiver(archives);
    first.runPreset();
    ASSERT_EQ(first.history().size(), 1);

    ImageRun full(image);
    full.useFakeArchiver(archives);
    full.options.pwi = first.options.pwi;
    QStringList lines = full.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - Not enough free space on the CD to burn files. [!]"))
        << lines.join('\n').toStdString();
    EXPECT_EQ(full.keptArchives(), QStringList{"backup-2.zip"});

    ImageRun erasing(image);
    erasing.useFakeArchiver(archives);
    erasing.options.pwi = first.options.pwi;
    erasing.preset.cef = true;
    lines = erasing.runPreset();
    EXPECT_TRUE(lines.contains(
        "Docs: CD - There isn't enough free space on the CD, so it's time to erase it."))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("Docs: CD - Burn complete. Status: OK."));
    EXPECT_EQ(erasing.history().size(), 1);

    // An archive larger than the whole disc.
    ImageRun huge(image);
    huge.useFakeArchiver(FakeArchives{0, 0, 2 * 1024 * 1024, 1});
    lines = huge.runPreset();
    EXPECT_TRUE(lines.contains("Docs: CD - The size of the archive exceeds the capacity of the "
                               "CD. Skipping the CD process. [!]"))
        << lines.join('\n').toStdString();
    EXPECT_EQ(huge.keptArchives().size(), 1);
}

} // namespace
} // namespace stowline::disc::testing
