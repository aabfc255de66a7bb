#include "shell/FolderWatchers.h"
#include "SchedulerTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace stowline;
using namespace stowline::scheduler::testing;
using shell::FolderWatchers;

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append)) << qPrintable(path);
    file.write(bytes);
}

// A program's state on a temporary data folder with the preset Docs, and a tree to watch.
class WatchedTree {
public:
    WatchedTree() {
        QDir().mkpath(tree() + QStringLiteral("/sub"));
        writeFile(tree() + QStringLiteral("/a.txt"));
        writeFile(tree() + QStringLiteral("/sub/b.txt"));
    }

    QString tree() const { return root_.filePath(QStringLiteral("tree")); }

    // Slot 1 watches the tree for the kinds `edit` turns on, unless swl.snt already
    // has it enabled (a restart).
    std::unique_ptr<FolderWatchers>
    startWatching(const std::function<void(shell::tsnopt&)>& edit = {}) {
        auto watchers = std::make_unique<FolderWatchers>(shell::WatcherServices{
            state_.folders, state_.log, state_.messages, state_.clock, state_.schedule});
        watchers->LoadWatcherTasks();
        shell::WatcherTaskArray tasks = watchers->tasks();
        shell::tsnopt& task = tasks[0];
        if (!task.enabled) {
            task.enabled = true;
            task.name = QStringLiteral("Docs watch");
            task.preset = QStringLiteral("Docs");
            task.folder = tree();
            task.subfolders = true;
            task.cfn = task.cdn = task.csz = task.clw = task.cat = false;
            if (edit)
                edit(task);
            watchers->setTasks(tasks);
            watchers->SaveWatcherTasks();
        }
        watchers->ApplyWatcherTasks();
        return watchers;
    }

    QStringList notifierLines() {
        return state_.logMessages().filter(QStringLiteral("SHELL NOTIFIER"));
    }
    QStringList addedLines() { return state_.logMessages().filter(QStringLiteral("Added")); }
    // Lets the watcher read what the kernel reported.
    static void settle(int milliseconds = 300) {
        processEventsUntil([] { return false; }, milliseconds);
    }

    QTemporaryDir root_;
    InstanceState state_{root_.path(), {QStringLiteral("Docs")}, at(18, 12)};
};

class FolderWatchersTest : public ::testing::Test, public WatchedTree {};

} // namespace

TEST_F(FolderWatchersTest, EachKindOfChangeSchedulesThePresetOnce) {
    struct Case {
        const char* name;
        std::function<void(shell::tsnopt&)> kind;
        std::function<void(const QString& tree)> change;
    };
    const Case cases[] = {
        {"file written", [](shell::tsnopt& t) { t.csz = true; },
         [](const QString& tree) { writeFile(tree + QStringLiteral("/sub/b.txt"), "more"); }},
        {"folder created", [](shell::tsnopt& t) { t.cdn = true; },
         [](const QString& tree) { QDir().mkdir(tree + QStringLiteral("/sub/new")); }},
        {"file renamed", [](shell::tsnopt& t) { t.cfn = true; },
         [](const QString& tree) {
             QFile::rename(tree + QStringLiteral("/a.txt"), tree + QStringLiteral("/c.txt"));
         }},
        {"attribute changed", [](shell::tsnopt& t) { t.cat = true; },
         [](const QString& tree) {
             ::chmod(QFile::encodeName(tree + QStringLiteral("/sub/b.txt")).constData(), 0600);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedTree watched;
        auto watchers = watched.startWatching(c.kind);
        c.change(watched.tree());
        ASSERT_TRUE(processEventsUntil([&] { return !watched.notifierLines().isEmpty(); }));
        EXPECT_EQ(watched.notifierLines(),
                  QStringList{QStringLiteral("SHELL NOTIFIER: task \"Docs watch\" schedules "
                                             "\"Docs\" to 2016.03.18 12:00:10 .")});
        // Quiet for the inactive delay: later changes are not reported.
        c.change(watched.tree());
        writeFile(watched.tree() + QStringLiteral("/sub/b.txt"), "again");
        settle();
        EXPECT_EQ(watched.notifierLines().size(), 1);
        EXPECT_EQ(watched.addedLines().size(), 1);
        EXPECT_EQ(watched.state_.presnames(), QStringList{QStringLiteral("Docs")});
    }
}

TEST_F(FolderWatchersTest, ChangesOfOtherKindsStaySilent) {
    auto watchers = startWatching([](shell::tsnopt& t) { t.cdn = true; });
    writeFile(tree() + QStringLiteral("/sub/b.txt"), "more");
    writeFile(tree() + QStringLiteral("/sub/new.txt"));
    settle();
    EXPECT_TRUE(notifierLines().isEmpty());
}

TEST_F(FolderWatchersTest, QuietPeriodOutlastsARestartAndEndsOnTime) {
    auto watchers = startWatching([](shell::tsnopt& t) { t.csz = true; });
    writeFile(tree() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 1; }));
    EXPECT_EQ(state_.presnames(), QStringList{QStringLiteral("Docs")});

    watchers.reset();
    state_.clock.set(at(18, 12, 59));
    watchers = startWatching();
    writeFile(tree() + QStringLiteral("/a.txt"));
    settle();
    EXPECT_EQ(notifierLines().size(), 1);

    state_.clock.set(at(18, 13, 0));
    writeFile(tree() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 2; }));
    EXPECT_TRUE(notifierLines().last().endsWith(u"2016.03.18 13:00:10 ."));
}

TEST_F(FolderWatchersTest, WithoutInactiveDelayEveryReportSchedules) {
    auto watchers = startWatching([](shell::tsnopt& t) {
        t.csz = true;
        t.inactiveDelay = 0;
    });
    writeFile(tree() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 1; }));
    writeFile(tree() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 2; }));
}

TEST_F(FolderWatchersTest, SubfoldersMadeLaterAreWatchedToo) {
    auto watchers = startWatching([](shell::tsnopt& t) {
        t.cfn = true;
        t.inactiveDelay = 0;
    });
    // Made in one go: the inner folders exist before their parent's watch is added.
    QDir().mkpath(tree() + QStringLiteral("/sub/x/y/z"));
    settle();
    const qsizetype before = notifierLines().size();
    writeFile(tree() + QStringLiteral("/sub/x/y/z/deep.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() > before; }));
}

TEST_F(FolderWatchersTest, WithoutSubfoldersOnlyTheFolderItselfCounts) {
    auto watchers = startWatching([](shell::tsnopt& t) {
        t.cfn = true;
        t.subfolders = false;
    });
    writeFile(tree() + QStringLiteral("/sub/inner.txt"));
    settle();
    EXPECT_TRUE(notifierLines().isEmpty());
    writeFile(tree() + QStringLiteral("/top.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 1; }));
}

TEST_F(FolderWatchersTest, FolderThatCannotBeWatchedIsReported) {
    const QString missing = root_.filePath(QStringLiteral("missing"));
    auto watchers = startWatching([&](shell::tsnopt& t) {
        t.cfn = true;
        t.folder = missing;
    });
    EXPECT_FALSE(watchers->isWatching(1));
    const QStringList errors = state_.logMessages().filter(QStringLiteral("[!]"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().startsWith(
        QStringLiteral("SHELL NOTIFIER: task \"Docs watch\" cannot watch the folder \"%1\": ")
            .arg(missing)))
        << qPrintable(errors.first());
}

TEST_F(FolderWatchersTest, DisablingATaskStopsItsWatcher) {
    auto watchers = startWatching([](shell::tsnopt& t) { t.cfn = true; });
    ASSERT_TRUE(watchers->isWatching(1));
    shell::WatcherTaskArray tasks = watchers->tasks();
    tasks[0].enabled = false;
    watchers->setTasks(tasks);
    watchers->ApplyWatcherTasks();
    EXPECT_FALSE(watchers->isWatching(1));
    writeFile(tree() + QStringLiteral("/new.txt"));
    settle();
    EXPECT_TRUE(notifierLines().isEmpty());
}

TEST_F(FolderWatchersTest, MissingPresetIsRejectedButTheQuietPeriodStarts) {
    auto watchers = startWatching([](shell::tsnopt& t) {
        t.cfn = true;
        t.preset = QStringLiteral("Gone");
    });
    writeFile(tree() + QStringLiteral("/new.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return notifierLines().size() == 1; }));
    EXPECT_TRUE(state_.schedule.isEmpty());
    EXPECT_EQ(scheduler::FormatScheduleDate(watchers->tasks()[0].inactiveTill),
              u"2016.03.18 13:00:00 ");
}
