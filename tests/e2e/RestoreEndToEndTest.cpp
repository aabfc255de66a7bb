// A real backup, delivered by the real program as a copy and by FTP to pyftpdlib; its source
// folder is then deleted and brought back from each row of the restore window.
#include "ProgramRun.h"

#include "FtpSmtpServers.h"
#include "QtPrinters.h"

#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/fakes/RecordingHelpViewer.h"
#include "platform/fakes/RecordingPrompts.h"
#include "protocols/CurlDriver.h"
#include "ui/help/HelpTopics.h"
#include "ui/restore/DesktopOpener.h"
#include "ui/restore/FtpDownloadWindow.h"
#include "ui/restore/RestoreWindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace stowline;
using protocols::test::FtpServer;
using protocols::test::readFile;
using protocols::test::writeFile;

namespace {

class NoOpener final : public ui::DesktopOpener {
public:
    bool openArchive(const QString&, const QString&) override { return true; }
    bool openFolder(const QString&) override { return true; }
};

QMap<QString, QByteArray> treeOf(const QString& folder) {
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(folder).relativeFilePath(path), readFile(path));
    }
    return tree;
}

// The restored copy of the source: the folder that holds `marker` (a relative path of
// the source) wherever the archive put it below `folder`.
QString restoredRoot(const QString& folder, const QString& marker) {
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1Char('/') + marker))
            return path.chopped(marker.size() + 1);
    }
    return {};
}

TEST(RestoreEndToEnd, DeletedSourceComesBackFromTheCopyAndFromTheUpload) {
    e2e::BackupSandbox sandbox(QStringLiteral("docs/notes.txt"), "keep me\n");
    ASSERT_TRUE(sandbox.settle());
    writeFile(sandbox.source() + QStringLiteral("/Grüße – été/naïve Datei.txt"), "non-ASCII");
    QByteArray noise(700 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) % 253);
    writeFile(sandbox.source() + QStringLiteral("/data/noise.bin"), noise);
    writeFile(sandbox.source() + QStringLiteral("/empty.txt"), "");
    const QMap<QString, QByteArray> original = treeOf(sandbox.source());

    FtpServer ftp;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source(),
                      {"ftp=1", "fse=" + ftp.address(), "fus=user", "fpa=secret", "ffo=up"});
    QProcess program;
    ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}, 60000));
    ASSERT_EQ(ftp.files(QStringLiteral("up")).size(), 1)
        << sandbox.logMessages().join('\n').toStdString();
    ASSERT_TRUE(QDir(sandbox.source()).removeRecursively());

    core::Folders folders;
    folders.program = sandbox.programFolder();
    folders.data = sandbox.dataFolder();
    folders.presets = folders.data + QStringLiteral("/presets");
    core::MessageTable messages;
    core::SystemClock clock;
    platform::RecordingPrompts prompts;
    backup::PresetStore store(folders, messages, clock, prompts);
    platform::RecordingHelpViewer viewer;
    ui::HelpTopics help(folders.program, viewer, prompts, messages);
    NoOpener opener;
    protocols::CurlDriver driver;
    core::topt options;
    options.pte = sandbox.path(QStringLiteral("downloads"));
    QDir().mkpath(options.pte);
    QString chosen;
    ui::RestoreServices services{store,
                                 options,
                                 messages,
                                 prompts,
                                 help,
                                 opener,
                                 driver,
                                 folders.data,
                                 folders.program,
                                 QString(),
                                 {},
                                 QStringLiteral(STOWARC_PATH),
                                 [&chosen](const QString&, const QString&) { return chosen; }};
    ui::RestoreWindow window(services, QStringLiteral("Docs"));
    ASSERT_TRUE(window.loadList());
    int copyRow = -1;
    int uploadRow = -1;
    for (int row = 0; row < window.rows().size(); ++row) {
        if (window.rows()[row].record.kind() == backup::kCopyKind)
            copyRow = row;
        if (window.rows()[row].record.kind() == backup::kFtpKind)
            uploadRow = row;
    }
    ASSERT_GE(copyRow, 0);
    ASSERT_GE(uploadRow, 0);

    chosen = sandbox.path(QStringLiteral("from-copy"));
    window.restoreToFolder(copyRow);
    EXPECT_EQ(treeOf(restoredRoot(chosen, QStringLiteral("docs/notes.txt"))), original)
        << prompts.messages.join('\n').toStdString() << prompts.errors.join('\n').toStdString();

    QTimer::singleShot(0, [] {
        auto* download = qobject_cast<ui::FtpDownloadWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(download, nullptr);
        download->start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !download->isRunning(); }, 30000));
        if (download->isVisible())
            static_cast<QDialog*>(download)->reject();
    });
    window.activateRow(uploadRow);
    chosen = sandbox.path(QStringLiteral("from-upload"));
    window.restoreToFolder(uploadRow);
    EXPECT_EQ(treeOf(restoredRoot(chosen, QStringLiteral("docs/notes.txt"))), original)
        << prompts.messages.join('\n').toStdString() << prompts.errors.join('\n').toStdString();
    EXPECT_TRUE(prompts.errors.isEmpty());
}

} // namespace
