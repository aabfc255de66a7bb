#pragma once

#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"

#include <QObject>
#include <QSize>
#include <QStringList>

class QTimer;

namespace stowline::platform {
class InstanceLock;
class Prompts;
class StartupRegistration;
class SoundPlayer;
class SystemPaths;
} // namespace stowline::platform

namespace stowline::core {

class Clock;
class DataFolderChooser;

// The answer of the exit confirmation shown when the program is closed.
enum class ExitChoice { Close, Cancel, HideToTray };

class ExitConfirmation {
public:
    virtual ~ExitConfirmation() = default;
    // `messages` gives the texts of the question in the current language.
    virtual ExitChoice confirmExit(const MessageTable& messages) = 0;
};

// What the program takes from its surroundings; the application owns these.
struct ProgramServices {
    platform::InstanceLock& instanceLock;
    const platform::SystemPaths& paths;
    platform::Prompts& prompts;
    platform::SoundPlayer& sound;
    const Clock& clock;
    DataFolderChooser& dataFolderChooser;
    ExitConfirmation& exitConfirmation;
    platform::StartupRegistration& startupRegistration;
};

// Brings the program up, holds the program-wide state, and takes it down again.
class Program final : public QObject {
    Q_OBJECT
public:
    Program(ProgramServices services, QStringList arguments, QSize screen,
            QObject* parent = nullptr);
    ~Program() override;

    // Runs the start-up sequence. False when the process must end right away; the
    // exit code then says how.
    bool start();
    int exitCode() const { return exitCode_; }

    // The main window was activated; the first time, the log is shortened and the
    // first instance reports that it is ready.
    void mainWindowActivated();

    // The end sequence. Returns true when the program closed; finished() then follows.
    bool requestClose();
    // The session (or a signal) asks the program to end.
    void sessionEnding();
    // The answer to the session manager's query whether the session may end.
    bool sessionMayEnd() const { return !flags_.OperationInProgress; }

    ProgramFlags& flags() { return flags_; }
    const Folders& folders() const { return folders_; }
    topt& options() { return options_; }
    MessageTable& messages() { return messages_; }
    EventLog& log() { return log_; }
    const QStringList& arguments() const { return arguments_; }

signals:
    // The first instance is ending: whatever outlives the process is saved now, before
    // the options.
    void savingState();
    void finished(int exitCode);
    // Hide the main window to the tray (the exit confirmation's third answer).
    void hideToTrayRequested();

private:
    bool takeInstanceLock();
    bool settleDataFolder();
    void loadOptions();
    void checkTemporaryFolder();
    void locateArchiver();
    bool endSequenceAllowed();
    void closeWhenIdle();

    ProgramServices services_;
    QStringList arguments_;
    QSize screen_;
    ProgramFlags flags_;
    Folders folders_;
    topt options_;
    MessageTable messages_;
    EventLog log_;
    QTimer* closeWhenIdleTimer_ = nullptr;
    int exitCode_ = 0;
    bool activated_ = false;
    bool sessionIsEnding_ = false;
    bool closed_ = false;
};

} // namespace stowline::core
