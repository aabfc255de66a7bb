#pragma once

#include "platform/linux/XdgHelpViewer.h"
#include "ui/help/HelpTopics.h"
#include "ui/mainwindow/WindowOpeners.h"
#include "ui/restore/DesktopOpener.h"
#include "ui/scheduler/SchedulerWindow.h"

#include "backup/PresetFiles.h"
#include "protocols/CurlDriver.h"

#include <functional>
#include <memory>

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
    void showHelpTopic(const QString& topic) override { help_.ShowHelpTopic(topic); }
    void openWebPage() override { help_.showProjectPage(); }
    void openRestore(const QString& presetName) override;

private:
    ui::SchedulerWindow& schedulerWindow();

    Services services_;
    platform::XdgHelpViewer viewer_;
    ui::HelpTopics help_;
    std::function<void()> hideMainWindow_;
    std::unique_ptr<ui::SchedulerWindow> schedulerWindow_;
    // The restore window's preset files, FTP connections and archive opening.
    backup::PresetStore restoreStore_;
    protocols::CurlDriver restoreDriver_;
    ui::XdgDesktopOpener restoreOpener_;
};

} // namespace stowline::app
