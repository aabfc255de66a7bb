#pragma once

#include "platform/linux/XdgHelpViewer.h"
#include "ui/bin/BinDropWindow.h"
#include "ui/folderwatchers/FolderWatcherWindow.h"
#include "ui/help/HelpTopics.h"
#include "ui/mainwindow/WindowOpeners.h"
#include "ui/preseteditor/PresetEditor.h"
#include "ui/restore/DesktopOpener.h"
#include "ui/scheduler/SchedulerWindow.h"
#include "ui/settings/SettingsCommands.h"
#include "ui/skins/SkinApplier.h"

#include "backup/PresetFiles.h"
#include "protocols/CurlDriver.h"
#include "ui/shortcut/ShortcutDialog.h"

#include <functional>
#include <memory>
#include <optional>

namespace stowline::core {
class Program;
}

namespace stowline::platform {
class SoundPlayer;
class StartupRegistration;
} // namespace stowline::platform

namespace stowline::ui {
class MainWindow;
}

namespace stowline::backup {
class PresetList;
class PresetStore;
} // namespace stowline::backup

namespace stowline::app {

// The windows the main window's commands open, made when first asked for. Windows that
// this build does not have yet say so (MissingWindowOpeners).
class DesktopWindows final : public ui::MissingWindowOpeners {
public:
    // `services.hideMainWindowToTray` and `services.help` are filled here.
    struct Services {
        scheduler::Schedule& schedule;
        scheduler::PresetCatalog& presets;
        core::topt& options;
        core::EventLog& log;
        const core::MessageTable& messages;
        const core::Clock& clock;
        platform::Prompts& prompts;
        QString programFolder;
        // The presets and data folders, for the restore window.
        const core::Folders& folders;
    };

    explicit DesktopWindows(Services services);
    ~DesktopWindows() override;
    DesktopWindows(const DesktopWindows&) = delete;
    DesktopWindows& operator=(const DesktopWindows&) = delete;

    // Called by the main window once it exists: minimizing the scheduler window hides it.
    void setHideMainWindowToTray(std::function<void()> hide) { hideMainWindow_ = std::move(hide); }
    // The preset list was rebuilt: the scheduler window's preset field follows.
    void presetListRebuilt();

    void openSchedulerWindow(const QString& presetName) override;

    // What the preset editor needs beyond the services above.
    struct PresetEditorParts {
        const core::Folders& folders;
        const core::ProgramFlags& flags;
        platform::ProcessLauncher& launcher;
        backup::PresetList& presetList;
        // Whether `name` is the preset that is running now.
        std::function<bool(const QString& name)> isRunning;
        std::function<ui::DiscRecording()> discRecording;
    };
    void setPresetEditorParts(PresetEditorParts parts);
    void openPresetEditor(const QString& presetName, ui::PresetEditorPage page) override;
    void showHelpTopic(const QString& topic) override { help_.ShowHelpTopic(topic); }
    void openWebPage() override { help_.showProjectPage(); }
    void openRestore(const QString& presetName) override;

    // What the settings dialog works on besides the services. The commands are optional:
    // without one, its buttons say that the facility is not there yet.
    struct SettingsParts {
        core::Program& program;
        platform::SoundPlayer& sound;
        platform::StartupRegistration& startup;
        ui::RemoteAccessControl* remote = nullptr;
        ui::DialupControl* dialup = nullptr;
        ui::BinArchiveCleaning* binCleaning = nullptr;
    };
    // Called once the main window exists: loads swl.ocs (skins go off without it) and
    // dresses the main window.
    void setUpSettings(SettingsParts parts, ui::MainWindow& mainWindow);
    void openSettings(ui::SettingsTab tab) override;
    // The skin of every window; the SWL-BIN drop window attaches itself here.
    ui::SkinApplier& skins() { return skins_; }

    // The folder watchers, the SWL-BIN archives and the launcher that opens an archive.
    struct ShellParts {
        shell::FolderWatchers& watchers;
        shell::BinArchives& archives;
        platform::ProcessLauncher& launcher;
    };
    void setShellParts(const ShellParts& parts) { shell_.emplace(parts); }
    void openFolderWatchers() override;
    void createShortcut(const QString& presetName) override;
    // Shows or hides the SWL-BIN window after the options obt, obk and obr.
    void showBinWindow(ui::BinWindow window) override;
    // The SWL-BIN window, for skins to paint; nothing until it was shown once.
    ui::BinDropWindow* binWindow() { return binWindow_.get(); }

private:
    ui::SchedulerWindow& schedulerWindow();

    Services services_;
    platform::XdgHelpViewer viewer_;
    ui::HelpTopics help_;
    std::function<void()> hideMainWindow_;
    std::unique_ptr<ui::SchedulerWindow> schedulerWindow_;
    std::unique_ptr<PresetEditorParts> editorParts_;
    ui::SkinApplier skins_{services_.programFolder};
    std::optional<SettingsParts> settings_;
    ui::MainWindow* mainWindow_ = nullptr;
    void applySkinToMainWindow();
    // The preset files the preset editor and the restore window read and write; the
    // restore window's FTP connections and archive opening.
    backup::PresetStore presetStore_;
    protocols::CurlDriver restoreDriver_;
    ui::XdgDesktopOpener restoreOpener_;
    std::optional<ShellParts> shell_;
    std::unique_ptr<ui::FolderWatcherWindow> folderWatcherWindow_;
    std::unique_ptr<ui::ShortcutDialog> shortcutDialog_;
    std::unique_ptr<ui::BinDropWindow> binWindow_;
};

} // namespace stowline::app
