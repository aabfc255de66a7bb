#include "ui/tray/SystemTrayIcon.h"

#include "ui/tray/ProgramIcon.h"

#include <cstdio>

namespace stowline::ui {

SystemTrayIcon::SystemTrayIcon(QObject* parent) : TrayIcon(parent) {
    icon_.setIcon(programIcon(false));
    icon_.setToolTip(QStringLiteral("Stowline"));
    connect(&icon_, &QSystemTrayIcon::activated, this, &SystemTrayIcon::onActivated);
}

void SystemTrayIcon::setShown(bool shown) {
    if (shown && !QSystemTrayIcon::isSystemTrayAvailable()) {
        // Said once: the icon is added and removed again by commands such as /SHOWICON.
        if (!absenceReported_)
            std::fputs("stowline: no notification area on this desktop; running without a "
                       "tray icon\n",
                       stderr);
        absenceReported_ = true;
        return;
    }
    icon_.setVisible(shown);
}

void SystemTrayIcon::setRunning(bool running) {
    icon_.setIcon(programIcon(running));
}

void SystemTrayIcon::setToolTip(const QString& text) {
    icon_.setToolTip(text);
}

void SystemTrayIcon::showBalloon(const QString& title, const QString& text, int milliseconds) {
    icon_.showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
}

void SystemTrayIcon::setMenu(QMenu* menu) {
    icon_.setContextMenu(menu);
}

void SystemTrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger)
        emit clicked();
    else if (reason == QSystemTrayIcon::DoubleClick)
        emit doubleClicked();
}

} // namespace stowline::ui
