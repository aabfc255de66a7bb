#pragma once

#include "scheduler/ScheduleEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

namespace stowline::core {
class EventLog;
class MessageTable;
struct Folders;
} // namespace stowline::core

namespace stowline::scheduler {

class PresetCatalog;

// The entries to write back to swl.sch when this instance last agreed with it on
// `synced`, now holds `held`, and the file holds `onDisk` (written by other instances
// meanwhile): this instance's changes (entries of `synced` no longer held, entries held
// that `synced` lacks; equal entries counted one by one) applied onto `onDisk`. Removals
// of entries the file no longer has are skipped; additions go after the file's entries
// of the same date text, in the order held.
QList<tschdata> mergeScheduleChanges(const QList<tschdata>& synced, const QList<tschdata>& held,
                                     const QList<tschdata>& onDisk);

// Turns a schedule request such as "[DATE=2016.03.20 23:00:00][REPEAT=-1]Docs" into
// `entry`: bracketed settings, then the preset name or command exactly as it remains.
// Unreadable values fall back to their defaults with an error line; `entry.dow` is left
// as the caller set it.
void ParseScheduleRequest(const QString& request, tschopt& entry, const QDateTime& now,
                          core::EventLog& log, const core::MessageTable& messages);

// The program's single queue: every entry in the order of its date text, entries of the
// same second in the order they were added, so the first entry is always the next one
// due. Every entry held is readable (ParseScheduleEntry succeeds). The schedule is kept
// in swl.sch; swl.las holds the last-run text of each preset.
class Schedule final {
public:
    Schedule(const core::Folders& folders, core::EventLog& log, const core::MessageTable& messages,
             PresetCatalog& presets);
    Schedule(const Schedule&) = delete;
    Schedule& operator=(const Schedule&) = delete;

    const QList<tschdata>& entries() const { return entries_; }
    bool isEmpty() const { return entries_.isEmpty(); }
    qsizetype size() const { return entries_.size(); }
    tschopt entryAt(qsizetype index) const;
    // The date of the first entry, as of the last RefreshSchedule; valid while the
    // schedule is not empty.
    QDateTime NextDue() const { return nextDue_; }

    // Checks a preset name or command, inserts the entry, refreshes and logs the
    // addition; a rejected entry leaves only its error line. True when it was added.
    bool AddScheduleEntry(tschopt entry);
    // Called with each entry that AddScheduleEntry added, after the refresh; the tick
    // uses it to learn when an entry became known.
    void setAdditionObserver(std::function<void(const tschdata&)> observer) {
        additionObserver_ = std::move(observer);
    }
    // Called at the end of every RefreshSchedule, that is after every change of the
    // entries held; views of the schedule follow it. Returns the key that removes it.
    int addRefreshObserver(std::function<void()> observer);
    void removeRefreshObserver(int key);
    // Inserts after every entry of the same date text, without checks, refresh or log.
    // The date must be valid.
    void insert(const tschopt& entry);
    void removeAt(qsizetype index);
    // Removes every entry of a deleted preset (the name compared with letter case), then
    // refreshes.
    void removeEntriesFor(const QString& presetName);

    // NextDue, the next-run texts of the preset list, then swl.sch.
    void RefreshSchedule();
    // Writes this instance's changes since its last load or save into swl.sch, keeping
    // what other instances wrote meanwhile (see mergeScheduleChanges): under the lock
    // on swl.sch.lock, re-reads the file, merges, and replaces it through a new file
    // renamed over it, or deletes it when nothing is left. The entries held are not
    // changed; others' entries arrive with the next LoadSchedule.
    void SaveSchedule();
    // Replaces the schedule with swl.sch, sorted. Lines that do not hold a readable entry
    // are dropped and each is logged as an error.
    void LoadSchedule();

    // Under the lock on swl.las.lock: each preset keeps the later of its own last run
    // and the one in the file, then the file is replaced.
    void SaveLastRuns();
    void LoadLastRuns();

    QString scheduleFilePath() const;
    QString lastRunsFilePath() const;

private:
    void insertStored(const tschdata& stored);
    std::optional<QList<tschdata>> readScheduleFile(bool logDropped);
    bool isScheduledCommand(const QString& presname);
    bool isPresetName(const QString& presname) const;
    // An error line: "SCHEDULER - " and the message of `key` filled with `values`.
    void logFileError(QStringView key, std::initializer_list<QString> values);

    const core::Folders& folders_;
    core::EventLog& log_;
    const core::MessageTable& messages_;
    PresetCatalog& presets_;
    QList<tschdata> entries_;
    // The entries as of the last load or save: what this instance and swl.sch agreed on.
    QList<tschdata> synced_;
    QDateTime nextDue_;
    std::function<void(const tschdata&)> additionObserver_;
    QList<std::pair<int, std::function<void()>>> refreshObservers_;
    int nextObserverKey_ = 0;
};

} // namespace stowline::scheduler
