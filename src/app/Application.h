#pragma once

#include "backup/BackupRun.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "backup/UnavailableDeliveries.h"
#include "core/Program.h"

#include <memory>

namespace stowline::platform {
class ProcessLauncher;
}

namespace stowline::app {

// The program's parts, wired together: the program state and its start-up, the
// presets, the backup run and its deliveries.
class Application {
public:
    Application(core::ProgramServices services, platform::ProcessLauncher& launcher,
                backup::RunIndicator& indicator, QStringList arguments, QSize screen);

    // Runs the start-up sequence; false when the process must end (exitCode()).
    bool start();
    int exitCode() const { return program_.exitCode(); }
    core::Program& program() { return program_; }

private:
    core::ProgramServices services_;
    core::Program program_;
    backup::PresetStore store_;
    backup::PresetList presets_;
    backup::UnavailableDeliveries deliveries_;
    backup::BackupRun run_;
};

} // namespace stowline::app
