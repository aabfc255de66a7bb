#include "app/SchedulerAdapters.h"

#include "backup/BackupRun.h"
#include "backup/PresetListModel.h"
#include "core/Language.h"
#include "core/OptionsFile.h"
#include "core/Program.h"
#include "net/ReportMailer.h"
#include "ui/mainwindow/MainWindow.h"

namespace stowline::app {

QStringList PresetListCatalog::presetNames() const {
    return model_.presetNames();
}

void PresetListCatalog::setNextRunText(int row, const QString& text) {
    model_.setNextRunText(row, text);
}

QString PresetListCatalog::lastRunText(int row) const {
    return model_.entries().value(row).lastRunText;
}

void PresetListCatalog::setLastRunText(int row, const QString& text) {
    model_.setLastRunText(row, text);
}

bool ProgramSchedulerHost::selectPreset(const QString& name) {
    return presets_.select(name, Qt::CaseInsensitive);
}

void ProgramSchedulerHost::RunPreset() {
    run_.RunPreset();
}

bool ProgramSchedulerHost::SendLogByEmail(int hours) {
    return reports_.SendLogByEmail(hours);
}

void ProgramSchedulerHost::showMainWindow() {
    if (window_)
        window_->showMainWindow();
}

void ProgramSchedulerHost::hideMainWindow() {
    if (window_)
        window_->hideMainWindow();
}

void ProgramSchedulerHost::refreshTrayIcon() {
    if (window_)
        window_->refreshTrayIcon();
}

void ProgramSchedulerHost::closeProgram() {
    // Queued: the command line runs during start-up, before anyone listens for the end.
    QMetaObject::invokeMethod(&program_, &core::Program::requestClose, Qt::QueuedConnection);
}

void ProgramSchedulerHost::chooseLanguage(const QString& name) {
    core::EventLog& log = program_.log();
    core::ChooseLanguage(name, program_.options(), program_.messages(), program_.folders().program,
                         {[this](const core::topt& options) {
                              return core::SaveOptions(options, program_.folders().data);
                          },
                          [](const QString&) {},
                          [&log](const QString& message) { log.WriteLog(message); }});
}

} // namespace stowline::app
