#pragma once

#include "scheduler/PresetCatalog.h"
#include "scheduler/SchedulerHost.h"

namespace stowline::backup {
class BackupRun;
class PresetListModel;
} // namespace stowline::backup

namespace stowline::core {
class Program;
}

namespace stowline::net {
class ReportMailer;
}

namespace stowline::ui {
class MainWindow;
}

namespace stowline::app {

// The preset list model as the schedule sees it.
class PresetListCatalog final : public scheduler::PresetCatalog {
public:
    explicit PresetListCatalog(backup::PresetListModel& model) : model_(model) {}
    QStringList presetNames() const override;
    void setNextRunText(int row, const QString& text) override;
    QString lastRunText(int row) const override;
    void setLastRunText(int row, const QString& text) override;

private:
    backup::PresetListModel& model_;
};

// What the scheduler asks of the program. Without a display there is no main window or
// tray icon, and their commands have nothing to act on.
class ProgramSchedulerHost final : public scheduler::SchedulerHost {
public:
    ProgramSchedulerHost(core::Program& program, backup::PresetListModel& presets,
                         backup::BackupRun& run, net::ReportMailer& reports)
        : program_(program), presets_(presets), run_(run), reports_(reports) {}

    bool selectPreset(const QString& name) override;
    void RunPreset() override;
    bool SendLogByEmail(int hours) override;
    void showMainWindow() override;
    void hideMainWindow() override;
    void refreshTrayIcon() override;
    void closeProgram() override;
    void chooseLanguage(const QString& name) override;

    void setMainWindow(ui::MainWindow* window) { window_ = window; }

private:
    core::Program& program_;
    backup::PresetListModel& presets_;
    backup::BackupRun& run_;
    net::ReportMailer& reports_;
    ui::MainWindow* window_ = nullptr;
};

} // namespace stowline::app
