#pragma once

#include "ui/tray/TrayIcon.h"

#include <QStringList>

namespace stowline::ui {

// Records what the program shows in the tray; tests emit clicked() and doubleClicked().
class RecordingTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    struct Balloon {
        QString title;
        QString text;
        int milliseconds = 0;
    };

    using TrayIcon::TrayIcon;
    void setShown(bool isShown) override {
        shown = isShown;
        ++shownChanges;
    }
    void setRunning(bool isRunning) override { running = isRunning; }
    void setToolTip(const QString& text) override { toolTip = text; }
    void showBalloon(const QString& title, const QString& text, int milliseconds) override {
        balloons.append({title, text, milliseconds});
    }
    void setMenu(QMenu* trayMenu) override { menu = trayMenu; }

    bool shown = false;
    int shownChanges = 0;
    bool running = false;
    QString toolTip;
    QList<Balloon> balloons;
    QMenu* menu = nullptr;
};

} // namespace stowline::ui
