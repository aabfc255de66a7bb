#pragma once

#include "core/DataFolder.h"
#include "core/Program.h"

namespace stowline::app {

// Without a display nobody can choose a data folder: the dialog counts as closed.
class HeadlessDataFolderChooser final : public core::DataFolderChooser {
public:
    QString chooseDataFolder(const core::DataFolderSetup&) override { return {}; }
};

// Without a display the exit confirmation takes its default answer, Cancel.
class HeadlessExitConfirmation final : public core::ExitConfirmation {
public:
    core::ExitChoice confirmExit(const core::MessageTable&) override {
        return core::ExitChoice::Cancel;
    }
};

} // namespace stowline::app
