#pragma once

#include "backup/RunFolderRecord.h"
#include "backup/RunProgress.h"
#include "backup/RunState.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace stowline::platform {
class ProcessLauncher;
class Prompts;
class SleepInhibitor;
} // namespace stowline::platform

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct Folders;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::backup {

class PresetList;
class PresetStore;
class RunDeliveries;

// Shows that a run is busy (the tray icon's running picture).
class RunIndicator {
public:
    virtual ~RunIndicator() = default;
    virtual void showRunning() = 0;
    virtual void showIdle() = 0;
};

struct RunServices {
    core::ProgramFlags& flags;
    const core::Folders& folders;
    core::topt& options;
    const core::MessageTable& messages;
    core::EventLog& log;
    const core::Clock& clock;
    platform::Prompts& prompts;
    platform::ProcessLauncher& launcher;
    PresetList& presets;
    const PresetStore& store;
    RunDeliveries& deliveries;
    RunIndicator& indicator;
    // Records the start of a run in the last-run file.
    std::function<void(const QString& presetName, const QDateTime& start)> recordLastRun;
};

// "123b", "6K", "3.0M": the size of a run's archives as the log reports it, with the
// separators of the current locale.
QString sizeText(qint64 bytes);

// One backup run of the preset selected in the preset list: archiver, then the
// post-actions in their fixed order, every step reported in the event log.
class BackupRun final : public QObject {
    Q_OBJECT
public:
    explicit BackupRun(RunServices services, QObject* parent = nullptr);

    // Callers check OperationInProgress first; the run itself does not.
    void RunPreset();
    // Deletes the run folder with the files that need not be kept; nothing else.
    void RemoveRunFolder();
    // At start-up: reports the run folders a program that ended hard left behind (their
    // files are kept; they may hold the only copy of a backup) and forgets them; empty
    // ones are removed.
    void ReportLeftRunFolders();

    RunState& state() { return run_; }
    // While a run is under way it keeps the machine from sleeping through `inhibitor`
    // (none: the machine's power settings apply).
    void setSleepInhibitor(platform::SleepInhibitor* inhibitor) { sleepInhibitor_ = inhibitor; }
    // How far the current run has come; views listen to its changed() signal.
    RunProgress& progress() { return progress_; }

private:
    enum class ProgramResult { Done, Failed, Aborted };

    // Loads the preset and checks it; nothing has started when it fails.
    bool loadPreset();
    // The switches, the run folder (not in direct archiving) and the parameter string.
    bool prepareTarget();
    bool archive();
    void deliver();
    void finish();
    // The run's clean-up: the run folder removed, the tray picture idle again.
    void cleanUp();
    ProgramResult runProgramAround(const ProgramAroundRun& program);
    ProgramResult failedToStartProgram();
    void endAborted();
    void reportArchives();
    void operationTimedOut();
    // True when sleep is now held off; the first failure is logged once.
    bool holdOffSleep();
    QString drawRunFolderName() const;
    static bool isRunFolderName(const QString& name);
    RunFolderRecord runFolderRecord() const;

    RunServices services_;
    RunState run_;
    RunProgress progress_;
    QString parameters_; // the archiver's parameter string of this run
    QTimer Optimer;
    platform::SleepInhibitor* sleepInhibitor_ = nullptr;
    bool sleepFailureLogged_ = false;
};

} // namespace stowline::backup
