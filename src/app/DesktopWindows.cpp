#include "app/DesktopWindows.h"

#include "core/Options.h"
#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"
#include "scheduler/PresetCatalog.h"
#include "shell/Shortcuts.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace stowline::app {

DesktopWindows::DesktopWindows(Services services)
    : ui::MissingWindowOpeners(services.messages, services.prompts), services_(services),
      help_(services.programFolder, viewer_, services.prompts, services.messages) {}

DesktopWindows::~DesktopWindows() = default;

void DesktopWindows::presetListRebuilt() {
    if (schedulerWindow_)
        schedulerWindow_->refreshPresetNames();
}

void DesktopWindows::openSchedulerWindow(const QString& presetName) {
    schedulerWindow().open(presetName);
}

ui::SchedulerWindow& DesktopWindows::schedulerWindow() {
    if (!schedulerWindow_) {
        schedulerWindow_ = std::make_unique<ui::SchedulerWindow>(ui::SchedulerWindowServices{
            services_.schedule, services_.presets, services_.options, services_.log,
            services_.messages, services_.clock, services_.prompts, help_, [this] {
                if (hideMainWindow_)
                    hideMainWindow_();
            }});
        schedulerWindow_->changeLang(services_.programFolder, services_.options.lng);
    }
    return *schedulerWindow_;
}

namespace {

QString chooseFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(nullptr, title, start);
}

} // namespace

void DesktopWindows::openFolderWatchers() {
    if (!shell_)
        return MissingWindowOpeners::openFolderWatchers();
    if (!folderWatcherWindow_)
        folderWatcherWindow_ =
            std::make_unique<ui::FolderWatcherWindow>(ui::FolderWatcherWindowServices{
                shell_->watchers, services_.messages, services_.clock, services_.prompts,
                [this] { return services_.presets.presetNames(); }, chooseFolder});
    folderWatcherWindow_->openTasks();
}

void DesktopWindows::createShortcut(const QString& presetName) {
    if (!shortcutDialog_)
        shortcutDialog_ = std::make_unique<ui::ShortcutDialog>(ui::ShortcutDialogServices{
            services_.messages, services_.prompts, QCoreApplication::applicationFilePath(),
            [this] { return services_.presets.presetNames(); },
            [](const QString& title) { return chooseFolder(title, QString()); },
            [this](const QString& topic) { help_.ShowHelpTopic(topic); }, shell::applicationsFolder,
            shell::desktopFolder});
    shortcutDialog_->openFor(presetName);
}

void DesktopWindows::showBinWindow(ui::BinWindow window) {
    if (!shell_)
        return MissingWindowOpeners::showBinWindow(window);
    const core::topt& options = services_.options;
    const std::optional<shell::BinKind> kind =
        shell::shownBinWindow(options.obt, options.obk, options.obr);
    if (!kind) {
        if (binWindow_)
            binWindow_->hide();
        return;
    }
    if (!binWindow_) {
        binWindow_ =
            std::make_unique<ui::BinDropWindow>(shell_->archives, [this](shell::BinKind shown) {
                // Opened with the archiver, nobody waits for it.
                shell_->launcher.startDetached(services_.options.pwi,
                                               platform::QuoteCommandLineArgument(
                                                   shell::binArchivePath(services_.options, shown)),
                                               false);
            });
        binWindow_->placeInCorner();
    }
    binWindow_->setKind(*kind);
    binWindow_->show();
}

} // namespace stowline::app
