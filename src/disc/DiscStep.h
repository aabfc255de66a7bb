#pragma once

#include "disc/DiscEngine.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace stowline::core {
class EventLog;
class MessageTable;
struct ProgramFlags;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::backup {
class PresetStore;
struct RunState;
} // namespace stowline::backup

namespace stowline::disc {

struct DiscStepServices {
    core::ProgramFlags& flags;
    const core::MessageTable& messages;
    core::EventLog& log;
    platform::Prompts& prompts;
    const backup::PresetStore& store;
    DiscEngine& engine;
};

// The step's pauses and limits. The defaults are the program's; tests shorten them.
struct DiscSettings {
    // After the tray moved and before the medium is measured.
    std::chrono::milliseconds settle{1000};
    // Between checks whether the unit is ready, and how many checks before giving up.
    std::chrono::milliseconds readyPoll{500};
    int readyChecks = 40;
    // How long the unit may take to come back after an erase or a write.
    std::chrono::milliseconds reloadLimit{std::chrono::minutes(5)};
    // How often a running operation's progress is looked at.
    std::chrono::milliseconds progressPoll{1000};
    // The longest an erase, a write and a verify may take (a full erase of a slow
    // rewritable DVD takes about an hour).
    std::chrono::milliseconds eraseLimit{std::chrono::minutes(90)};
    std::chrono::milliseconds writeLimit{std::chrono::hours(3)};
    std::chrono::milliseconds verifyLimit{std::chrono::hours(3)};
    // How long a stopped operation may take to end.
    std::chrono::milliseconds stopLimit{std::chrono::minutes(2)};
};

// Writes a run's archives to the disc in the preset's recorder as a new session on top
// of the disc's content, erasing and verifying as the preset says, and records each
// file that reached the disc in the preset's delivery history. Synchronous: it waits
// processing events, and returns with AbortRequested set when the run is to end.
class DiscStep final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiscStep)
public:
    // Progress bar: a percentage to show, or -1 to hide the bar.
    using ProgressSink = std::function<void(int percent)>;

    DiscStep(DiscStepServices services, DiscSettings settings = {}, QObject* parent = nullptr);

    void burn(backup::RunState& run);
    void setProgressSink(ProgressSink sink) { progress_ = std::move(sink); }

private:
    enum class OperationEnd { Done, NotStarted, Aborted, TimedOut };
    enum class Readiness { Ready, NotReady, Aborted };

    // Each returns false when the step ends (after its line) or the run is aborted.
    bool burnSteps();
    // Selects the preset's recorder; false (with its error line) when it cannot be used.
    bool openRecorder();
    // Waits for a usable disc in the recorder and tells what it holds.
    std::optional<MediumInfo> waitForDisc();
    // Prepares the session and erases the disc when asked or needed to fit it.
    bool makeRoom(const MediumInfo& medium);
    bool cycleTray();
    bool eraseIfAsked(const MediumInfo& medium, bool mustErase);
    bool writeAndVerify();
    Readiness waitUntilReady(int checks, std::chrono::milliseconds limit);
    // Brings the medium back after an erase or a write.
    Readiness reloadMedium();
    bool pause(std::chrono::milliseconds duration);
    bool prepareSession(bool importLastSession);
    void logMediumInfo();
    void lockTray();
    void unlockTray();
    // Waits for the started operation's completion, moving the progress bar every
    // `tick`; an abort or the time limit stops the operation first.
    OperationEnd runOperation(bool started, std::chrono::milliseconds limit,
                              std::chrono::milliseconds tick, const std::function<int()>& percent);
    void stopOperation();
    void reportFailedOperation(OperationEnd end);
    void engineError();
    void recordDeliveries(const QSet<int>& failedFiles);
    void onVerifyDone(bool failed, int index);
    void showProgress(int percent);
    void presetLog(QStringView key);
    void presetError(const QString& message);
    QString text(QStringView key) const;

    DiscStepServices services_;
    DiscSettings settings_;
    ProgressSink progress_;
    backup::RunState* run_ = nullptr;
    bool engineBusy_ = false;
    bool engineResult_ = false;
    bool erased_ = false;
    bool eraseFailed_ = false;
    bool trayLocked_ = false;
    QSet<int> failedVerify_;
};

} // namespace stowline::disc
