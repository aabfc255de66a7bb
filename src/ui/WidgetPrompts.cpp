#include "ui/WidgetPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace stowline::ui {

void WidgetPrompts::showMessage(const QString& text) {
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), text);
}

void WidgetPrompts::showError(const QString& text) {
    QMessageBox::critical(parent_, QApplication::applicationDisplayName(), text);
}

bool WidgetPrompts::askYesNo(const QString& text) {
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool WidgetPrompts::askText(const QString& caption, const QString& label, QString& text,
                            bool secret) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(
        parent_, caption, label, secret ? QLineEdit::Password : QLineEdit::Normal, text, &accepted);
    if (accepted)
        text = answer;
    return accepted;
}

bool WidgetPrompts::askOpenFile(const QString& caption, QString& path) {
    const QString chosen = QFileDialog::getOpenFileName(parent_, caption, path);
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

} // namespace stowline::ui
