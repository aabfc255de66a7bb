// A folder watcher on a tree of 10,000 folders: how long starting to watch it takes, and
// what 10,000 file changes made by another process cost this program in CPU time while
// it is otherwise idle. The changes come from a shell loop; the ratio to the writer's
// own time shows that watching costs a fraction of making the changes.

#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "scheduler/PresetCatalog.h"
#include "scheduler/Schedule.h"
#include "shell/FolderWatchers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

using namespace stowline;

namespace {

constexpr int kTop = 100;
constexpr int kBelow = 100;

class OnePreset final : public scheduler::PresetCatalog {
public:
    QStringList presetNames() const override { return {QStringLiteral("Docs")}; }
    void setNextRunText(int, const QString&) override {}
    QString lastRunText(int) const override { return {}; }
    void setLastRunText(int, const QString&) override {}
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void fail(const char* what) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir root;
    const QString tree = root.filePath(QStringLiteral("tree"));
    for (int top = 0; top < kTop; ++top)
        for (int below = 0; below < kBelow; ++below)
            QDir().mkpath(QStringLiteral("%1/d%2/e%3").arg(tree).arg(top).arg(below));

    core::Folders folders{root.path(), root.path(), root.filePath(QStringLiteral("presets"))};
    core::ProgramFlags flags;
    core::topt options;
    core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
    core::MessageTable messages;
    core::ManualClock clock(QDateTime(QDate(2016, 3, 18), QTime(12, 0)));
    platform::RecordingSoundPlayer sound;
    core::EventLog log(folders, flags, options, messages, clock, sound);
    OnePreset presets;
    scheduler::Schedule schedule(folders, log, messages, presets);
    shell::FolderWatchers watchers({folders, log, messages, clock, schedule});
    shell::WatcherTaskArray tasks = watchers.tasks();
    tasks[0].enabled = true;
    tasks[0].folder = tree;
    tasks[0].subfolders = true;
    tasks[0].preset = QStringLiteral("Docs");
    watchers.setTasks(tasks);

    QElapsedTimer wall;
    wall.start();
    const double startCpu = cpuSeconds();
    watchers.ApplyWatcherTasks();
    const double startWall = double(wall.elapsed()) / 1000;
    const double startCpuUsed = cpuSeconds() - startCpu;
    const int watched = watchers.watchedFolders(1);
    if (watched != kTop * kBelow + kTop + 1)
        fail("not every folder of the tree is watched");

    // 10,000 files written by another process, one in each folder of the bottom level.
    QProcess writer;
    writer.setWorkingDirectory(tree);
    writer.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("for d in d*/e*; do echo x > \"$d/f\"; done; "
                                              "times")});
    const double idleCpu = cpuSeconds();
    // The program's own event loop, as it runs while idle, until the writer is done and
    // the last changes are read.
    QEventLoop loop;
    QObject::connect(&writer, &QProcess::finished, &loop,
                     [&loop] { QTimer::singleShot(500, &loop, &QEventLoop::quit); });
    QTimer::singleShot(300000, &loop, &QEventLoop::quit);
    loop.exec();
    const double changesCpu = cpuSeconds() - idleCpu;
    // `times` prints the shell's user and system time, then its children's.
    const QStringList writerTimes = QString::fromLatin1(writer.readAllStandardOutput())
                                        .split(QLatin1Char('\n'))
                                        .first()
                                        .split(u' ');

    const qsizetype fired = log.model().lines().filter(QStringLiteral("SHELL NOTIFIER")).size();
    std::printf("folders watched:                 %d\n", watched);
    std::printf("start watching:                  %.3f s wall, %.3f s CPU (budget 1 s)\n",
                startWall, startCpuUsed);
    std::printf("10,000 file changes cost:        %.3f s CPU (budget 1 s)\n", changesCpu);
    std::printf("the writer itself (user system): %s\n", qPrintable(writerTimes.join(u' ')));
    std::printf("preset scheduled:                %lld time(s), schedule holds %lld entr%s\n",
                static_cast<long long>(fired), static_cast<long long>(schedule.size()),
                schedule.size() == 1 ? "y" : "ies");
    if (fired != 1 || schedule.size() != 1)
        fail("the preset must be scheduled exactly once");
    if (startWall >= 1.0 || changesCpu >= 1.0)
        fail("over budget");
    return 0;
}
