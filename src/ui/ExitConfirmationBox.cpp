#include "ui/ExitConfirmationBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace stowline::ui {

core::ExitChoice ExitConfirmationBox::confirmExit() {
    QMessageBox box(
        QMessageBox::Question, QApplication::applicationDisplayName(),
        QStringLiteral("Close SWL? Scheduled backups will not run while it is closed."));
    QPushButton* closeButton = box.addButton(QStringLiteral("Close"), QMessageBox::AcceptRole);
    QPushButton* trayButton =
        box.addButton(QStringLiteral("Hide to tray"), QMessageBox::ActionRole);
    box.addButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == closeButton)
        return core::ExitChoice::Close;
    if (box.clickedButton() == trayButton)
        return core::ExitChoice::HideToTray;
    return core::ExitChoice::Cancel;
}

} // namespace stowline::ui
