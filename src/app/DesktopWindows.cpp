#include "app/DesktopWindows.h"

#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "core/Options.h"

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

void DesktopWindows::setPresetEditorParts(PresetEditorParts parts) {
    editorParts_ = std::make_unique<PresetEditorParts>(std::move(parts));
    presetStore_ = std::make_unique<backup::PresetStore>(editorParts_->folders, services_.messages,
                                                         services_.clock, services_.prompts);
}

void DesktopWindows::openPresetEditor(const QString& presetName, ui::PresetEditorPage page) {
    if (!editorParts_) {
        ui::MissingWindowOpeners::openPresetEditor(presetName, page);
        return;
    }
    PresetEditorParts& parts = *editorParts_;
    backup::PresetList& list = parts.presetList;
    ui::PresetEditor editor(
        ui::PresetEditorServices{parts.folders, services_.messages, parts.flags, services_.prompts,
                                 parts.launcher, *presetStore_,
                                 [&list] { return list.model().presetNames(); },
                                 [&list] { list.ScanPresets(); }, parts.discRecording,
                                 [this](const QString& topic) { help_.ShowHelpTopic(topic); },
                                 services_.programFolder, services_.options.lng},
        presetName);
    if (!editor.load(parts.isRunning && parts.isRunning(presetName)))
        return;
    if (page == ui::PresetEditorPage::FileLists)
        editor.showTab(ui::EditorTab::FileLists);
    editor.exec();
}

} // namespace stowline::app
