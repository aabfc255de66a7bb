#pragma once

#include "backup/BackupRun.h"
#include "ui/tray/TrayIcon.h"

namespace stowline::app {

// The tray icon's running picture; without a tray icon there is nothing to show.
class TrayRunIndicator final : public backup::RunIndicator {
public:
    explicit TrayRunIndicator(ui::TrayIcon* tray) : tray_(tray) {}
    void showRunning() override {
        if (tray_)
            tray_->setRunning(true);
    }
    void showIdle() override {
        if (tray_)
            tray_->setRunning(false);
    }

private:
    ui::TrayIcon* tray_;
};

} // namespace stowline::app
