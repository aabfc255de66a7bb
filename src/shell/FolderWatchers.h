#pragma once

#include "shell/FolderChangeWatcher.h"
#include "shell/WatcherTasks.h"

#include <QObject>

#include <array>
#include <memory>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct Folders;
} // namespace stowline::core

namespace stowline::scheduler {
class Schedule;
}

namespace stowline::shell {

struct WatcherServices {
    const core::Folders& folders;
    core::EventLog& log;
    const core::MessageTable& messages;
    const core::Clock& clock;
    scheduler::Schedule& schedule;
};

// The nine folder watcher tasks and their running watchers. A change seen by an active
// task adds a one-time schedule entry for its preset; the scheduler runs it.
class FolderWatchers final : public QObject {
    Q_OBJECT
public:
    explicit FolderWatchers(WatcherServices services, QObject* parent = nullptr);
    ~FolderWatchers() override;

    const WatcherTaskArray& tasks() const { return tasks_; }
    // Replaces the tasks (the dialog's OK); the watchers are not touched.
    void setTasks(const WatcherTaskArray& tasks) { tasks_ = tasks; }
    void setInactiveTill(int slot, const QDateTime& till);

    void LoadWatcherTasks();
    void SaveWatcherTasks();
    // Stops every watcher and starts one for each enabled task.
    void ApplyWatcherTasks();
    void stopAll();
    // A change reported by the watcher of `slot` (1 to 9).
    void WatcherTriggered(int slot);
    bool isWatching(int slot) const { return watchers_[std::size_t(slot - 1)] != nullptr; }
    int watchedFolders(int slot) const {
        const auto& watcher = watchers_[std::size_t(slot - 1)];
        return watcher ? watcher->watchedFolderCount() : 0;
    }

signals:
    // The task of `slot` fired and its inactive till moved on.
    void inactiveTillChanged(int slot, const QDateTime& till);

private:
    tsnopt& task(int slot) { return tasks_[std::size_t(slot - 1)]; }

    WatcherServices services_;
    WatcherTaskArray tasks_;
    std::array<std::unique_ptr<FolderChangeWatcher>, kWatcherSlots> watchers_;
};

} // namespace stowline::shell
