#include "SchedulerTestSupport.h"
#include "platform/fakes/RecordingPrompts.h"
#include "shell/BinArchives.h"
#include "shell/FolderWatchers.h"
#include "ui/bin/BinDropWindow.h"
#include "ui/folderwatchers/FolderWatcherWindow.h"
#include "ui/shortcut/ShortcutDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::scheduler::testing;

namespace {

struct WatcherWindowFixture {
    WatcherWindowFixture() {
        QDir().mkpath(root.filePath(QStringLiteral("tree")));
        shell::WatcherTaskArray tasks = watchers.tasks();
        for (int slot : {1, 2}) {
            shell::tsnopt& task = tasks[std::size_t(slot - 1)];
            task.enabled = true;
            task.preset = QStringLiteral("Docs");
            task.folder = root.filePath(QStringLiteral("tree"));
        }
        watchers.setTasks(tasks);
        watchers.SaveWatcherTasks();
        watchers.ApplyWatcherTasks();
    }
    QTemporaryDir root;
    InstanceState state{root.path(), {QStringLiteral("Docs")}, at(18, 12)};
    platform::RecordingPrompts prompts;
    shell::FolderWatchers watchers{
        {state.folders, state.log, state.messages, state.clock, state.schedule}};
    ui::FolderWatcherWindow window{{watchers, state.messages, state.clock, prompts,
                                    [] { return QStringList{QStringLiteral("Docs")}; },
                                    [](const QString&, const QString&) { return QString(); }}};
};

} // namespace

TEST(FolderWatcherWindow, TaskFiringInAnotherSlotIsNotWrittenBackStale) {
    WatcherWindowFixture f;
    f.window.openTasks();
    ASSERT_EQ(f.window.selectedSlot(), 1);
    // Slot 2 fires while slot 1 is shown; OK must keep its new quiet period.
    f.watchers.WatcherTriggered(2);
    f.window.accept();
    EXPECT_EQ(
        scheduler::FormatScheduleDate(shell::LoadWatcherTasks(f.state.folders)[1].inactiveTill),
        u"2016.03.18 13:00:00 ");
}

TEST(FolderWatcherWindow, ReactivateIsUndoneByCancelAndKeptByOk) {
    for (const bool confirm : {false, true}) {
        WatcherWindowFixture f;
        f.watchers.WatcherTriggered(1);
        f.state.clock.set(at(18, 12, 30));
        f.window.openTasks();
        f.window.findChild<QPushButton*>(QStringLiteral("reactivate"))->click();
        if (confirm)
            f.window.accept();
        else
            f.window.reject();
        EXPECT_EQ(scheduler::FormatScheduleDate(f.watchers.tasks()[0].inactiveTill),
                  confirm ? u"2016.03.18 12:30:00 " : u"2016.03.18 13:00:00 ")
            << (confirm ? "OK" : "Cancel");
    }
}

TEST(FolderWatcherWindow, UntickingATaskAndOkStopsItsWatcher) {
    WatcherWindowFixture f;
    f.window.openTasks();
    ASSERT_TRUE(f.watchers.isWatching(2));
    auto* list = f.window.findChild<QListWidget*>(QStringLiteral("tasklist"));
    list->item(1)->setCheckState(Qt::Unchecked);
    f.window.accept();
    EXPECT_FALSE(f.watchers.isWatching(2));
    EXPECT_FALSE(shell::LoadWatcherTasks(f.state.folders)[1].enabled);
}

namespace {

struct ShortcutFixture {
    QTemporaryDir root;
    core::MessageTable messages;
    platform::RecordingPrompts prompts;
    ui::ShortcutDialog dialog{
        {messages, prompts, QStringLiteral("/usr/bin/stowline"),
         [] {
             return QStringList{QStringLiteral("Docs"), QStringLiteral("Photos")};
         },
         [](const QString&) { return QString(); }, [](const QString&) {},
         [this] { return root.filePath(QStringLiteral("applications")); },
         [this] { return root.filePath(QStringLiteral("Desktop")); }}};

    template <typename T> T* child(const char* name) {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
};

} // namespace

TEST(ShortcutDialog, CreatingTwiceMakesTheSameShortcutInBothPlaces) {
    ShortcutFixture f;
    f.dialog.openFor(QStringLiteral("Docs"));
    f.child<QPushButton>("addpreset")->click();
    f.child<QComboBox>("presetchoice")->setCurrentText(QStringLiteral("Photos"));
    f.child<QPushButton>("addpreset")->click();
    f.child<QCheckBox>("hideoption")->setChecked(true);
    f.child<QCheckBox>("finaloption")->setChecked(true);
    f.child<QComboBox>("finalaction")->setCurrentText(QStringLiteral("/shutdown"));
    f.child<QComboBox>("destination")->setCurrentIndex(2);

    const QStringList first = f.dialog.create();
    const QStringList second = f.dialog.create();
    EXPECT_EQ(first, second);
    EXPECT_EQ(f.dialog.items(),
              (QStringList{QStringLiteral("/hide"), QStringLiteral("Docs"),
                           QStringLiteral("Photos"), QStringLiteral("/shutdown")}));
    ASSERT_EQ(first.size(), 2);
    for (const QString& path : first) {
        EXPECT_TRUE(path.endsWith(u"/SWL - HIDE, Docs, Photos, SHUTDOWN.desktop"));
        EXPECT_TRUE(QFile::exists(path));
    }
    EXPECT_TRUE(f.prompts.errors.isEmpty());
}

TEST(ShortcutDialog, EmptyListAndWriteFailuresAreReported) {
    ShortcutFixture f;
    f.dialog.openFor(QStringLiteral("Docs"));
    EXPECT_TRUE(f.dialog.create().isEmpty());
    EXPECT_EQ(f.prompts.errors, QStringList{QStringLiteral("\nPlease add at least one preset.")});

    QFile blocker(f.root.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    f.child<QPlainTextEdit>("itemlist")->setPlainText(QStringLiteral("Docs"));
    EXPECT_TRUE(f.dialog.create(blocker.fileName() + QStringLiteral("/inside")).isEmpty());
    ASSERT_EQ(f.prompts.errors.size(), 2);
    EXPECT_TRUE(f.prompts.errors.last().startsWith(u"\nCannot write the shortcut"));
}

TEST(BinDropWindow, DroppedFilesJoinTheQueueOfTheKindShown) {
    QTemporaryDir root;
    core::Folders folders{root.path(), root.path(), root.path()};
    core::topt options;
    core::MessageTable messages;
    platform::RecordingPrompts prompts;
    platform::RecordingProcessLauncher launcher;
    shell::BinArchives archives({folders, options, messages, prompts, launcher});
    std::optional<shell::BinKind> opened;
    ui::BinDropWindow window(archives, [&opened](shell::BinKind kind) { opened = kind; });
    window.setKind(shell::BinKind::Recycle);

    EXPECT_EQ(ui::BinDropWindow::droppedPaths({QUrl::fromLocalFile(QStringLiteral("/a b/c")),
                                               QUrl(QStringLiteral("https://example.org/x"))}),
              QStringList{QStringLiteral("/a b/c")});
    window.dropItems({QStringLiteral("/home/u/one"), QStringLiteral("/home/u/two")});
    EXPECT_EQ(archives.queued(shell::BinKind::Recycle),
              (QStringList{QStringLiteral("/home/u/one"), QStringLiteral("/home/u/two")}));
    EXPECT_TRUE(archives.queued(shell::BinKind::Keeper).isEmpty());

    // A skin paints the face through the hook.
    std::optional<shell::BinKind> painted;
    window.setBackgroundPainter(
        [&painted](QPainter&, const QRect&, shell::BinKind kind) { painted = kind; });
    window.grab();
    EXPECT_EQ(painted, shell::BinKind::Recycle);
    EXPECT_EQ(shell::shownBinWindow(1, false, true), std::nullopt);
    EXPECT_EQ(shell::shownBinWindow(2, false, true), shell::BinKind::Recycle);
    EXPECT_EQ(shell::shownBinWindow(0, true, true), std::nullopt);
}

// The language file's FORMS keys of both windows: the folder watcher window's browse
// hint and the shortcut dialog's destination choices, addressed by position.
TEST(ShellWindows, CaptionsComeFromTheLanguageFile) {
    QTemporaryDir program;
    QFile language(program.filePath(QStringLiteral("Test.lng")));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write("[FORMS]\r\nshellnotifierform=Ordnerwächter\r\n"
                   "shellnotifierformbgetpath=Ordner wählen\r\nForm10=Verknüpfung\r\n"
                   "Form10shortcutdest2=Schreibtisch\r\n");
    language.close();

    WatcherWindowFixture watcher;
    watcher.window.changeLang(program.path(), QStringLiteral("Test.lng"));
    EXPECT_EQ(watcher.window.windowTitle(), QStringLiteral("Ordnerwächter"));
    EXPECT_EQ(watcher.window.findChild<QWidget*>(QStringLiteral("bgetpath"))->toolTip(),
              QStringLiteral("Ordner wählen"));

    ShortcutFixture shortcut;
    shortcut.dialog.changeLang(program.path(), QStringLiteral("Test.lng"));
    EXPECT_EQ(shortcut.dialog.windowTitle(), QStringLiteral("Verknüpfung"));
    EXPECT_EQ(shortcut.child<QComboBox>("destination")->itemText(1),
              QStringLiteral("Schreibtisch"));
}
