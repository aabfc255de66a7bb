#pragma once

#include "platform/linux/XdgHelpViewer.h"
#include "ui/bin/BinDropWindow.h"
#include "ui/folderwatchers/FolderWatcherWindow.h"
#include "ui/help/HelpTopics.h"
#include "ui/mainwindow/WindowOpeners.h"
#include "ui/scheduler/SchedulerWindow.h"
#include "ui/shortcut/ShortcutDialog.h"

#include <functional>
#include <memory>
#include <optional>

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
    void showHelpTopic(const QString& topic) override { help_.ShowHelpTopic(topic); }
    void openWebPage() override { help_.showProjectPage(); }

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
    std::optional<ShellParts> shell_;
    std::unique_ptr<ui::FolderWatcherWindow> folderWatcherWindow_;
    std::unique_ptr<ui::ShortcutDialog> shortcutDialog_;
    std::unique_ptr<ui::BinDropWindow> binWindow_;
};

} // namespace stowline::app
