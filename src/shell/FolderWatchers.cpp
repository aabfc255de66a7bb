#include "shell/FolderWatchers.h"

#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "scheduler/Schedule.h"

namespace stowline::shell {

FolderWatchers::FolderWatchers(WatcherServices services, QObject* parent)
    : QObject(parent), services_(services), tasks_(parseWatcherTasks(QString())) {}

FolderWatchers::~FolderWatchers() = default;

void FolderWatchers::setInactiveTill(int slot, const QDateTime& till) {
    task(slot).inactiveTill = till;
}

void FolderWatchers::LoadWatcherTasks() {
    tasks_ = shell::LoadWatcherTasks(services_.folders);
}

void FolderWatchers::SaveWatcherTasks() {
    QString error;
    if (!shell::SaveWatcherTasks(services_.folders, tasks_, &error))
        services_.log.WriteError(
            core::formatMessage(services_.messages.text(u"watchertasksnotsaved"),
                                {watcherTasksPath(services_.folders), error}));
}

void FolderWatchers::stopAll() {
    for (std::unique_ptr<FolderChangeWatcher>& watcher : watchers_)
        watcher.reset();
}

void FolderWatchers::ApplyWatcherTasks() {
    stopAll();
    for (int slot = 1; slot <= kWatcherSlots; ++slot) {
        const tsnopt& current = task(slot);
        if (!current.enabled)
            continue;
        if (!current.anyChangeKind()) {
            services_.log.WriteError(core::formatMessage(
                services_.messages.text(u"watchernochangekinds"), {current.name}));
            continue;
        }
        auto watcher = std::make_unique<FolderChangeWatcher>();
        const QString name = current.name;
        connect(watcher.get(), &FolderChangeWatcher::cannotWatch, this,
                [this, name](const QString& folder, const QString& reason) {
                    services_.log.WriteError(core::formatMessage(
                        services_.messages.text(u"watchercannotwatch"), {name, folder, reason}));
                });
        connect(watcher.get(), &FolderChangeWatcher::changed, this,
                [this, slot] { WatcherTriggered(slot); });
        const ChangeKinds kinds{current.cfn, current.cdn, current.csz, current.clw, current.cat};
        if (watcher->start(current.folder, current.subfolders, kinds))
            watchers_[std::size_t(slot - 1)] = std::move(watcher);
    }
}

void FolderWatchers::WatcherTriggered(int slot) {
    // Wall-clock times, as the stored date texts are.
    const QDateTime now = scheduler::wallClock(services_.clock.now());
    tsnopt& fired = task(slot);
    if (now < fired.inactiveTill)
        return;
    if (fired.inactiveDelay > 0) {
        fired.inactiveTill = now.addSecs(qint64(fired.inactiveDelay) * 60);
        emit inactiveTillChanged(slot, fired.inactiveTill);
    }
    SaveWatcherTasks();
    scheduler::tschopt entry;
    entry.date = now.addSecs(fired.execDelay);
    entry.presname = fired.preset;
    entry.repeat = 0;
    entry.interval = 1;
    entry.ondelay = 0;
    entry.precise = true;
    entry.dow = QString::fromLatin1(scheduler::kDefaultDayMask);
    services_.log.WriteLog(
        core::formatMessage(services_.messages.text(u"shellnotifiercall"),
                            {fired.name, fired.preset, scheduler::FormatScheduleDate(entry.date)}));
    services_.schedule.AddScheduleEntry(entry);
}

} // namespace stowline::shell
