#pragma once

#include "ui/tray/TrayIcon.h"

#include <QSystemTrayIcon>

namespace stowline::ui {

// The tray icon through the desktop's notification area (QSystemTrayIcon).
class SystemTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    explicit SystemTrayIcon(QObject* parent = nullptr);

    void setShown(bool shown) override;
    void setRunning(bool running) override;
    void setToolTip(const QString& text) override;
    void showBalloon(const QString& title, const QString& text, int milliseconds) override;
    void setMenu(QMenu* menu) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
    bool absenceReported_ = false;
};

} // namespace stowline::ui
