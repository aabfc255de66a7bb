#include "app/DesktopWindows.h"

#include "core/Options.h"
#include "core/ProgramState.h"
#include "ui/restore/RestoreWindow.h"

#include <QFileDialog>

namespace stowline::app {

DesktopWindows::DesktopWindows(Services services)
    : ui::MissingWindowOpeners(services.messages, services.prompts), services_(services),
      help_(services.programFolder, viewer_, services.prompts, services.messages),
      restoreStore_(services.folders, services.messages, services.clock, services.prompts) {}

DesktopWindows::~DesktopWindows() = default;

void DesktopWindows::presetListRebuilt() {
    if (schedulerWindow_)
        schedulerWindow_->refreshPresetNames();
}

void DesktopWindows::openSchedulerWindow(const QString& presetName) {
    schedulerWindow().open(presetName);
}

void DesktopWindows::openRestore(const QString& presetName) {
    ui::RestoreServices restore{restoreStore_,
                                services_.options,
                                services_.messages,
                                services_.prompts,
                                help_,
                                restoreOpener_,
                                restoreDriver_,
                                services_.folders.data,
                                services_.programFolder,
                                services_.options.lng,
                                {},
                                services_.folders.inProgram(QStringLiteral("stowarc")),
                                [](const QString& caption, const QString& start) {
                                    return QFileDialog::getExistingDirectory(nullptr, caption,
                                                                             start);
                                }};
    ui::RestoreWindow::open(restore, presetName);
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

} // namespace stowline::app
