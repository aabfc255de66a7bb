#pragma once

#include "app/SchedulerAdapters.h"
#include "backup/BackupRun.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "backup/UnavailableDeliveries.h"
#include "core/Program.h"
#include "disc/DiscDeliveries.h"
#include "disc/IsoburnDiscEngine.h"
#include "net/Dialup.h"
#include "net/NetDeliveries.h"
#include "net/ReportMailer.h"
#include "net/remote/RemoteAccess.h"
#include "platform/linux/LocalSocketNamedEvent.h"
#include "platform/linux/LogindSleepInhibitor.h"
#include "platform/linux/NetworkManagerDialup.h"
#include "platform/linux/SystemdPowerActions.h"
#include "protocols/CurlDriver.h"
#include "scheduler/Schedule.h"
#include "scheduler/SchedulerEngine.h"
#include "shell/BinArchives.h"
#include "shell/BinItemChannel.h"
#include "shell/FolderWatchers.h"

#include <functional>
#include <memory>

namespace stowline::platform {
class ProcessLauncher;
}

namespace stowline::app {

// The program's parts, wired together: the program state and its start-up, the
// presets, the backup run and its deliveries, the error reports, the schedule and
// its tick.
class Application {
public:
    Application(core::ProgramServices services, platform::ProcessLauncher& launcher,
                backup::RunIndicator& indicator, QStringList arguments, QSize screen);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the start-up sequence; false when the process must end (exitCode()). The
    // first instance calls `openWindows` once the presets are listed and before the
    // command line is carried out, so that switches such as /hide find the main window.
    bool start(const std::function<void()>& openWindows = {});
    int exitCode() const { return program_.exitCode(); }
    core::Program& program() { return program_; }
    // Error reports and log e-mails ("/SENDLOG").
    net::ReportMailer& reports() { return reports_; }
    backup::PresetList& presets() { return presets_; }
    backup::BackupRun& run() { return run_; }
    scheduler::Schedule& schedule() { return schedule_; }
    scheduler::PresetCatalog& presetCatalog() { return catalog_; }
    // The main window the scheduler's show, hide and tray commands act on.
    void setMainWindow(ui::MainWindow* window) { host_.setMainWindow(window); }
    // The recorder list and drive information of the preset editor.
    disc::DiscEngine& discEngine() { return discEngine_; }
    // The dial-up commands of the settings dialog.
    net::Dialup& dialup() { return dialup_; }
    // The remote-control server (the settings dialog's start and stop).
    remote::RemoteAccess& remoteAccess() { return remote_; }
    // The folder watcher tasks (their window) and the SWL-BIN archives (the drop window
    // and the settings dialog's clean commands).
    shell::FolderWatchers& folderWatchers() { return watchers_; }
    shell::BinArchives& binArchives() { return bins_; }

private:
    void connectParts();
    void recordLastRun(const QString& presetName, const QDateTime& start);
    void startShell();
    void endShell();

    core::ProgramServices services_;
    core::Program program_;
    backup::PresetStore store_;
    backup::PresetList presets_;
    protocols::CurlDriver curl_;
    // Every delivery step this build has; a step it lacks gets a clear error line.
    backup::UnavailableDeliveries unavailable_;
    disc::IsoburnDiscEngine discEngine_;
    disc::DiscStep discStep_;
    disc::DiscDeliveries discDeliveries_{discStep_, unavailable_};
    platform::NetworkManagerDialup dialupConnections_;
    net::Dialup dialup_;
    net::NetDeliveries deliveries_;
    net::ReportMailer reports_;
    platform::LogindSleepInhibitor sleepInhibitor_{QDBusConnection::systemBus()};
    backup::BackupRun run_;
    PresetListCatalog catalog_;
    scheduler::Schedule schedule_;
    ProgramSchedulerHost host_;
    platform::SystemdPowerActions power_;
    platform::LocalSocketEventListener scheduleUpdates_;
    platform::LocalSocketEventSender scheduleAnnouncer_;
    scheduler::SchedulerEngine engine_;
    remote::RemoteAccess remote_;
    shell::FolderWatchers watchers_;
    shell::BinArchives bins_;
    shell::BinItemReceiver binItems_;
};

} // namespace stowline::app
