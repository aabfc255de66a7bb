#pragma once

#include <QObject>
#include <QString>

class QMenu;

namespace stowline::ui {

// The program's icon in the notification area. Without a notification area the calls
// do nothing and the program goes on without it.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    // Adds the icon to the notification area, or removes it.
    virtual void setShown(bool shown) = 0;
    // The running picture while a backup runs, the program's icon otherwise.
    virtual void setRunning(bool running) = 0;
    virtual void setToolTip(const QString& text) = 0;
    virtual void showBalloon(const QString& title, const QString& text, int milliseconds) = 0;
    // The menu of a right click; the icon does not own it.
    virtual void setMenu(QMenu* menu) = 0;

signals:
    // A left click.
    void clicked();
    void doubleClicked();
};

} // namespace stowline::ui
