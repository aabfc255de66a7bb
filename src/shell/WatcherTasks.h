#pragma once

#include <QDateTime>
#include <QString>

#include <array>

namespace stowline::core {
struct Folders;
}

namespace stowline::shell {

// One folder watcher task: a preset scheduled when something changes in a folder.
struct tsnopt {
    QString name;
    QString folder;
    QString preset;
    bool subfolders = false;
    bool enabled = false;
    // Changes before this time are ignored; a wall-clock time (scheduler::wallClock).
    QDateTime inactiveTill;
    // The kinds of change the task reacts to.
    bool cfn = true; // files created, deleted or renamed
    bool cdn = true; // folders created, deleted or renamed
    bool csz = true; // file sizes
    bool clw = true; // last-write times
    bool cat = true; // attributes
    // Minutes the task stays quiet after it fired; 0 never.
    qint32 inactiveDelay = 60;
    // Seconds from the change to the scheduled run.
    qint32 execDelay = 10;

    bool anyChangeKind() const { return cfn || cdn || csz || clw || cat; }
    friend bool operator==(const tsnopt&, const tsnopt&) = default;
};

inline constexpr int kWatcherSlots = 9;
using WatcherTaskArray = std::array<tsnopt, kWatcherSlots>;

// The task of slot `slot` (1 to 9) when swl.snt says nothing about it.
tsnopt defaultWatcherTask(int slot);

// swl.snt: sections [TASK1] to [TASK9], each with its keys in a fixed order. Keys are
// found without regard to letter case, blanks around names and values are dropped, and
// a missing or unreadable value takes its default.
QString formatWatcherTasks(const WatcherTaskArray& tasks);
WatcherTaskArray parseWatcherTasks(QStringView text);

// The file lives in the data folder (the program folder is not the user's to write); a
// file left in the program folder by an older layout is moved there on first reading.
QString watcherTasksPath(const core::Folders& folders);
WatcherTaskArray LoadWatcherTasks(const core::Folders& folders);
// False when the file could not be written; `error` says why.
bool SaveWatcherTasks(const core::Folders& folders, const WatcherTaskArray& tasks,
                      QString* error = nullptr);

} // namespace stowline::shell
