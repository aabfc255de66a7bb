#include "ui/restore/RestoreWindow.h"
#include "ui/restore/FtpCheckWindow.h"
#include "ui/restore/FtpDownloadWindow.h"

#include "FtpSmtpServers.h"
#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingHelpViewer.h"
#include "platform/fakes/RecordingPrompts.h"
#include "protocols/CurlDriver.h"
#include "ui/help/HelpTopics.h"
#include "ui/restore/DesktopOpener.h"

#include "QtPrinters.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace stowline::ui {
namespace {

using backup::DeliveryMark;
using protocols::test::FtpServer;
using protocols::test::readFile;
using protocols::test::testCertificate;
using protocols::test::writeFile;

class RecordingOpener final : public DesktopOpener {
public:
    bool openArchive(const QString& path, const QString& archiver) override {
        archives << path + QStringLiteral(" with ") + archiver;
        return true;
    }
    bool openFolder(const QString& path) override {
        folders << path;
        return true;
    }
    QStringList archives;
    QStringList folders;
};

QString historyLine(const QString& stamp, const QString& kind, const QString& location) {
    return stamp + QLatin1Char('\t') + kind + QLatin1Char('\t') + location;
}

// A preset "Docs" with a delivery history, on a temporary data folder.
class RestoreFixture : public ::testing::Test {
protected:
    RestoreFixture() {
        folders.program = dir.path();
        folders.data = dir.filePath(QStringLiteral("data"));
        folders.presets = folders.data + QStringLiteral("/presets");
        QDir().mkpath(folders.presets);
        QDir().mkpath(copies());
        QDir().mkpath(downloads());
        options.pwi = QStringLiteral("/usr/bin/stowarc");
        options.pte = downloads();
        preset.dir = copies();
    }

    RestoreServices services() {
        RestoreFtpSettings ftp;
        ftp.timeoutSeconds = 3;
        ftp.stallSeconds = 2;
        ftp.trustedCertificate = testCertificate().certificate;
        return {store,
                options,
                messages,
                prompts,
                help,
                opener,
                driver,
                folders.data,
                folders.program,
                QString(),
                ftp,
                QStringLiteral(STOWARC_PATH),
                [this](const QString&, const QString&) { return chosenFolder; }};
    }
    void save() { ASSERT_TRUE(store.SavePreset(QStringLiteral("Docs"), preset, {}, {}, {}, {})); }
    void writeHistory(const QStringList& lines) {
        save();
        ASSERT_TRUE(core::writeTextLinesAtomically(
            store.presetFilePath(QStringLiteral("Docs"), QStringLiteral(".hst")), lines));
    }
    std::unique_ptr<RestoreWindow> window() {
        auto restore = std::make_unique<RestoreWindow>(services(), QStringLiteral("Docs"));
        EXPECT_TRUE(restore->loadList());
        return restore;
    }
    void useServer(const FtpServer& server, int tlsMode) {
        preset.fse = server.address();
        preset.fus = QStringLiteral("user");
        preset.fpa = QStringLiteral("secret");
        preset.ffo = QStringLiteral("up");
        preset.fss = tlsMode;
    }
    QString copies() const { return dir.filePath(QStringLiteral("copies")); }
    QString downloads() const { return dir.filePath(QStringLiteral("downloads")); }
    QStringList marks(const RestoreWindow& restore) const {
        QStringList shown;
        for (const RestoreRow& row : restore.rows())
            shown << row.record.kindText + QLatin1Char(' ') +
                         row.record.location.section(QLatin1Char('/'), -1) + QLatin1Char(' ') +
                         QString::number(static_cast<int>(row.mark)) + QLatin1Char(' ') +
                         row.sizeText;
        return shown;
    }

    QTemporaryDir dir;
    core::Folders folders;
    core::MessageTable messages;
    core::ManualClock clock{QDateTime(QDate(2016, 3, 3), QTime(10, 0))};
    platform::RecordingPrompts prompts;
    backup::PresetStore store{folders, messages, clock, prompts};
    platform::RecordingHelpViewer viewer;
    HelpTopics help{folders.program, viewer, prompts, messages};
    RecordingOpener opener;
    protocols::CurlDriver driver;
    core::topt options;
    backup::tarcopt preset;
    QString chosenFolder;
};

// Five copies and two uploads, newest first; the copies exist with 10..50 bytes.
QStringList copiesAndUploads(const QString& copies) {
    QStringList lines;
    for (int i = 1; i <= 5; ++i) {
        const QString path = copies + QStringLiteral("/Docs%1.zip").arg(i);
        writeFile(path, QByteArray(10 * i, 'x'));
        lines << historyLine(QStringLiteral("2016.03.0%1 10:00:00 ").arg(6 - i),
                             QStringLiteral("4-COPY"), path);
        if (i == 2 || i == 4)
            lines << historyLine(QStringLiteral("2016.03.0%1 10:00:00 ").arg(6 - i),
                                 QStringLiteral("3-FTP"),
                                 QStringLiteral("127.0.0.1:21/up/Docs%1.zip").arg(i));
    }
    return lines;
}

using RestoreWindowTest = RestoreFixture;

TEST_F(RestoreWindowTest, ShowsEveryRecordAndOnlyTheThreeNewestOfEachKind) {
    QStringList lines = copiesAndUploads(copies());
    lines.insert(3, QStringLiteral("half a line\t4-COPY"));
    writeHistory(lines);
    const auto restore = window();
    auto* list = restore->findChild<QTreeWidget*>(QStringLiteral("historyList"));
    ASSERT_EQ(list->topLevelItemCount(), 7);
    EXPECT_EQ(list->topLevelItem(2)->text(0), "2016.03.04 10:00:00 ");
    EXPECT_EQ(list->topLevelItem(2)->text(1), "3-FTP");
    EXPECT_EQ(list->topLevelItem(2)->text(2), "127.0.0.1:21/up/Docs2.zip");
    EXPECT_EQ(list->topLevelItem(2)->text(3), "?");

    restore->findChild<QCheckBox*>(QStringLiteral("only3items"))->click();
    QStringList shown;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(2).section(QLatin1Char('/'), -1);
    EXPECT_EQ(shown,
              (QStringList{"Docs1.zip", "Docs2.zip", "Docs2.zip", "Docs3.zip", "Docs4.zip"}));
}

TEST_F(RestoreWindowTest, MissingOrEmptyHistoryLeavesTheListAlone) {
    save();
    RestoreWindow restore(services(), QStringLiteral("Docs"));
    EXPECT_FALSE(restore.loadList());
    writeHistory({});
    EXPECT_FALSE(restore.loadList());
    writeHistory(copiesAndUploads(copies()));
    EXPECT_TRUE(restore.loadList());
    writeHistory({});
    EXPECT_FALSE(restore.loadList());
    EXPECT_EQ(restore.rows().size(), 7);
}

TEST_F(RestoreWindowTest, RefreshingCopiesMarksARemovedCopyNotAvailable) {
    writeHistory(copiesAndUploads(copies()));
    const auto restore = window();
    ASSERT_TRUE(QFile::remove(copies() + QStringLiteral("/Docs3.zip")));
    restore->findChild<QPushButton*>(QStringLiteral("refreshcopies"))->click();
    EXPECT_EQ(marks(*restore),
              (QStringList{"4-COPY Docs1.zip 1 10", "4-COPY Docs2.zip 1 20", "3-FTP Docs2.zip 0 ?",
                           "4-COPY Docs3.zip 2 n/a", "4-COPY Docs4.zip 1 40", "3-FTP Docs4.zip 0 ?",
                           "4-COPY Docs5.zip 1 50"}));
}

TEST_F(RestoreWindowTest, DoubleClickOpensAnExistingCopyAndExplainsTheRest) {
    QStringList lines = copiesAndUploads(copies());
    lines.prepend(historyLine(QStringLiteral("2016.03.03 10:20:30 "), QStringLiteral("2-SMTP"),
                              QStringLiteral("ann@example.org/Docs.rar")));
    writeHistory(lines);
    ASSERT_TRUE(QFile::remove(copies() + QStringLiteral("/Docs3.zip")));
    const auto restore = window();

    restore->activateRow(1); // Docs1.zip
    EXPECT_EQ(opener.archives,
              QStringList{copies() + QStringLiteral("/Docs1.zip with /usr/bin/stowarc")});
    restore->activateRow(4); // Docs3.zip, gone
    restore->activateRow(0);
    EXPECT_EQ(prompts.messages,
              (QStringList{"\nCannot locate this file",
                           "\nPlease start your e-mail client, open ann@example.org account and "
                           "locate a message with the subject \"Docs.rar (sent by SWL).\". It was "
                           "sent on 2016.03.03. Save the attached archive to your hard drive and "
                           "doubleclick it to open it in WinRAR."}));
    EXPECT_EQ(opener.archives.size(), 1);
}

TEST_F(RestoreWindowTest, FolderLinkOpensTheDestinationFolder) {
    writeHistory(copiesAndUploads(copies()));
    const auto restore = window();
    EXPECT_EQ(restore->findChild<QLabel*>(QStringLiteral("folderlink"))->toolTip(), copies());
    restore->openFolderLink();
    EXPECT_EQ(opener.folders, QStringList{copies()});
}

// Runs `act` on the modal window of type Window once it is shown.
template <typename Window> void whenShown(std::function<void(Window&)> act) {
    QTimer::singleShot(0, [act] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        act(*window);
        if (window->isVisible())
            static_cast<QDialog*>(window)->reject();
    });
}

struct ServerCase {
    const char* name;
    const char* serverTls;
    int fss;
};

void PrintTo(const ServerCase& c, std::ostream* out) {
    *out << c.name;
}

const ServerCase kServerCases[] = {{"plain", "none", 0}, {"auth_tls", "explicit", 1}};

class RestoreFtpTest : public RestoreFixture, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(RestoreFtpTest, RefreshingUploadsMarksADeletedUploadMissing) {
    FtpServer server({}, QString::fromLatin1(GetParam().serverTls));
    useServer(server, GetParam().fss);
    writeFile(server.root() + QStringLiteral("/up/docs2.ZIP"), "two");
    writeHistory(copiesAndUploads(copies()));
    const auto restore = window();
    QString listingFile;
    whenShown<FtpCheckWindow>([&](FtpCheckWindow& check) {
        EXPECT_EQ(check.findChild<QLineEdit*>(QStringLiteral("folder"))->text(), "up");
        listingFile = check.listingPath();
        check.start();
    });
    restore->refreshUploads();
    EXPECT_EQ(marks(*restore).filter(QStringLiteral("3-FTP")),
              (QStringList{"3-FTP Docs2.zip 1 ?", "3-FTP Docs4.zip 2 ?"}));
    EXPECT_EQ(listingFile, folders.data + QStringLiteral("/ftpdir.txt"));
    EXPECT_FALSE(QFile::exists(listingFile));
    if (GetParam().fss != 0) {
        EXPECT_TRUE(server.commands().contains(QStringLiteral("AUTH TLS")));
    }
}

TEST_P(RestoreFtpTest, DownloadArrivesByteIdenticalAndOpens) {
    FtpServer server({}, QString::fromLatin1(GetParam().serverTls));
    useServer(server, GetParam().fss);
    QByteArray archive(3 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < archive.size(); ++i)
        archive[i] = static_cast<char>((i * 131) % 251);
    writeFile(server.root() + QStringLiteral("/up/Docs.zip"), archive);
    // An earlier download of the run left an expected size behind; this one must not use it.
    writeFile(server.root() + QStringLiteral("/up/small.zip"), "abc");
    save();

    for (const QString& name : {QStringLiteral("small.zip"), QStringLiteral("Docs.zip")}) {
        FtpDownloadWindow download(services(), preset,
                                   backup::splitFtpLocation(server.address() + "/up/" + name));
        QString arrived;
        QObject::connect(&download, &FtpDownloadWindow::downloaded,
                         [&](const QString& path) { arrived = path; });
        download.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !download.isRunning(); }, 20000));
        const QString log =
            download.findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
        EXPECT_EQ(arrived, downloads() + QLatin1Char('/') + name) << log.toStdString();
        EXPECT_TRUE(log.endsWith(QStringLiteral("FTP - Disconnected."))) << log.toStdString();
    }
    EXPECT_EQ(readFile(downloads() + QStringLiteral("/Docs.zip")), archive);
    EXPECT_EQ(QDir(downloads()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"Docs.zip", "small.zip"}));
    EXPECT_EQ(opener.archives.size(), 2);
}

// Some servers end a good transfer with 250 instead of 226.
TEST_F(RestoreWindowTest, DownloadEndingWith250Succeeds) {
    FtpServer server({"--fault", "stor250"});
    useServer(server, 0);
    writeFile(server.root() + QStringLiteral("/up/Docs.zip"), "archive");
    save();
    FtpDownloadWindow download(services(), preset,
                               backup::splitFtpLocation(server.address() + "/up/Docs.zip"));
    download.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !download.isRunning(); }, 20000));
    const QString log = download.findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
    EXPECT_TRUE(log.endsWith(QStringLiteral("FTP - Disconnected."))) << log.toStdString();
    EXPECT_EQ(readFile(downloads() + QStringLiteral("/Docs.zip")), "archive");
}

INSTANTIATE_TEST_SUITE_P(Servers, RestoreFtpTest, ::testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailedDownloadCase {
    const char* name;
    QStringList serverArguments;
    const char* remoteName;
    const char* expectedLine;
};

void PrintTo(const FailedDownloadCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedDownloadTest : public RestoreFixture,
                           public ::testing::WithParamInterface<FailedDownloadCase> {};

TEST_P(FailedDownloadTest, LeavesNoPartialFileAndKeepsTheOldOne) {
    const FailedDownloadCase& c = GetParam();
    FtpServer server(c.serverArguments);
    useServer(server, 0);
    writeFile(server.root() + QStringLiteral("/up/Docs.zip"), QByteArray(8 * 1024 * 1024, 'a'));
    writeFile(downloads() + QStringLiteral("/Docs.zip"), "old");
    save();

    FtpDownloadWindow download(
        services(), preset,
        backup::splitFtpLocation(server.address() + "/up/" + QString::fromLatin1(c.remoteName)));
    // Replacing the old file was agreed; a failed download still must not destroy it.
    prompts.yesNoAnswers = {true};
    QObject::connect(&download, &FtpDownloadWindow::downloaded,
                     [] { ADD_FAILURE() << "reported as downloaded"; });
    download.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !download.isRunning(); }, 20000));
    const QString log = download.findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
    EXPECT_TRUE(log.contains(QString::fromLatin1(c.expectedLine))) << log.toStdString();
    EXPECT_EQ(QDir(downloads()).entryList(QDir::Files | QDir::Hidden), QStringList{"Docs.zip"});
    EXPECT_EQ(prompts.questions.size(), QString::fromLatin1(c.remoteName) == "Docs.zip" ? 1 : 0);
    EXPECT_EQ(readFile(downloads() + QStringLiteral("/Docs.zip")), "old");
    EXPECT_TRUE(opener.archives.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedDownloadTest,
    ::testing::Values(
        FailedDownloadCase{"stalled", {"--fault", "stall-retr"}, "Docs.zip", "FTP - Error "},
        FailedDownloadCase{"dropped", {"--fault", "drop-retr"}, "Docs.zip", "FTP - Error "},
        FailedDownloadCase{"missing", {}, "Gone.zip", "FTP - Unable to download \"Gone.zip\"."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreWindowTest, CancelEndsARunningDownloadWithoutAFile) {
    FtpServer server({"--fault", "stall-retr"});
    useServer(server, 0);
    writeFile(server.root() + QStringLiteral("/up/Docs.zip"), QByteArray(8 * 1024 * 1024, 'a'));
    save();
    FtpDownloadWindow download(services(), preset,
                               backup::splitFtpLocation(server.address() + "/up/Docs.zip"));
    download.start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return download.findChild<QPlainTextEdit*>(QStringLiteral("log"))
                ->toPlainText()
                .contains(QStringLiteral("Trying to download"));
        },
        10000));
    download.cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !download.isRunning(); }, 5000));
    EXPECT_TRUE(QDir(downloads()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Files under `folder` with their contents, relative names.
QMap<QString, QByteArray> treeOf(const QString& folder) {
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(folder).relativeFilePath(path), readFile(path));
    }
    return tree;
}

class RestoreToFolderTest : public RestoreFixture {
protected:
    // An archive of a small tree (with non-ASCII names), copied and recorded as a copy.
    QString archiveCopy(const QStringList& switches = {}) {
        writeFile(source() + QStringLiteral("/docs/report.txt"), "report");
        writeFile(source() + QStringLiteral("/docs/Grüße – été/naïve.txt"), "non-ASCII");
        writeFile(source() + QStringLiteral("/data.bin"), QByteArray(300000, '\x7f'));
        const QString archive = copies() + QStringLiteral("/Docs.zip");
        EXPECT_EQ(QProcess::execute(QStringLiteral(STOWARC_PATH),
                                    QStringList{"a", "-r", "-ep1", "-inul"} + switches +
                                        QStringList{archive, source() + QLatin1Char('/')}),
                  0);
        writeHistory({historyLine(QStringLiteral("2016.03.03 10:00:00 "), QStringLiteral("4-COPY"),
                                  archive)});
        return archive;
    }
    QString source() const { return dir.filePath(QStringLiteral("source")); }
    QString target() const { return dir.filePath(QStringLiteral("restored")); }
};

TEST_F(RestoreToFolderTest, CopyComesBackAsTheOriginalTree) {
    archiveCopy();
    const auto restore = window();
    chosenFolder = target();
    restore->restoreToFolder(0);
    EXPECT_EQ(treeOf(target()), treeOf(source()));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("was restored to ") + target()))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(RestoreToFolderTest, PasswordIsAskedForUntilRightOrCancelled) {
    archiveCopy({QStringLiteral("-hpRight")});
    const auto restore = window();
    chosenFolder = target();
    prompts.textAnswers = {QStringLiteral("Wrong")};
    restore->restoreToFolder(0);
    EXPECT_EQ(prompts.questions, (QStringList{"Archive password", "Archive password"}));
    EXPECT_TRUE(treeOf(target()).isEmpty());
    EXPECT_TRUE(prompts.messages.isEmpty());

    prompts.questions.clear();
    prompts.textAnswers = {QStringLiteral("Wrong"), QStringLiteral("Right")};
    restore->restoreToFolder(0);
    EXPECT_EQ(prompts.questions.size(), 2);
    EXPECT_EQ(treeOf(target()), treeOf(source()));
}

TEST_F(RestoreToFolderTest, ExistingFilesAreReplacedOnlyWhenAgreed) {
    archiveCopy();
    const auto restore = window();
    chosenFolder = target();
    writeFile(target() + QStringLiteral("/docs/report.txt"), "mine");
    prompts.yesNoAnswers = {false};
    restore->restoreToFolder(0);
    EXPECT_EQ(readFile(target() + QStringLiteral("/docs/report.txt")), "mine");
    EXPECT_EQ(readFile(target() + QStringLiteral("/data.bin")), readFile(source() + "/data.bin"));

    prompts.yesNoAnswers = {true};
    restore->restoreToFolder(0);
    EXPECT_EQ(treeOf(target()), treeOf(source()));
    EXPECT_EQ(prompts.questions.size(), 2);
}

TEST_F(RestoreToFolderTest, UploadIsDownloadedAndThenRestored) {
    const QString archive = archiveCopy();
    FtpServer server;
    useServer(server, 0);
    writeFile(server.root() + QStringLiteral("/up/Docs.zip"), readFile(archive));
    QFile::remove(archive);
    writeHistory({historyLine(QStringLiteral("2016.03.03 10:00:00 "), QStringLiteral("3-FTP"),
                              server.address() + QStringLiteral("/up/Docs.zip"))});
    const auto restore = window();
    whenShown<FtpDownloadWindow>([](FtpDownloadWindow& download) {
        download.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !download.isRunning(); }, 20000));
    });
    restore->activateRow(0);
    EXPECT_EQ(restore->localArchive(0), downloads() + QStringLiteral("/Docs.zip"));
    chosenFolder = target();
    restore->restoreToFolder(0);
    EXPECT_EQ(treeOf(target()), treeOf(source()));
}

TEST_F(RestoreToFolderTest, RowsWithoutALocalArchiveSaySo) {
    archiveCopy();
    QFile::remove(copies() + QStringLiteral("/Docs.zip"));
    writeHistory({historyLine(QStringLiteral("2016.03.03 10:00:00 "), QStringLiteral("4-COPY"),
                              copies() + QStringLiteral("/Docs.zip")),
                  historyLine(QStringLiteral("2016.03.03 10:00:00 "), QStringLiteral("3-FTP"),
                              QStringLiteral("example.org:21/Docs.zip"))});
    const auto restore = window();
    chosenFolder = target();
    restore->restoreToFolder(0);
    restore->restoreToFolder(1);
    EXPECT_EQ(prompts.messages,
              (QStringList{"\nCannot locate this file",
                           "\nPlease download this archive first: double-click its line."}));
    EXPECT_FALSE(QFileInfo::exists(target()));
}

TEST_F(RestoreWindowTest, FtpRowWithoutFolderOpensTheDownloadWithAnEmptyFolder) {
    options.pte = downloads();
    writeHistory({historyLine(QStringLiteral("2016.03.03 10:00:00 "), QStringLiteral("3-FTP"),
                              QStringLiteral("example.org:2121/Docs.zip"))});
    const auto restore = window();
    QStringList fields;
    whenShown<FtpDownloadWindow>([&](FtpDownloadWindow& download) {
        for (const char* name : {"server", "folder", "file", "localfile"})
            fields << download.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    });
    restore->activateRow(0);
    EXPECT_EQ(fields, (QStringList{"example.org:2121", "", "Docs.zip",
                                   downloads() + QStringLiteral("/Docs.zip")}));
}

} // namespace
} // namespace stowline::ui
