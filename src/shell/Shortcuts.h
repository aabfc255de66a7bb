#pragma once

#include <QString>
#include <QStringList>

namespace stowline::shell {

// The final commands a shortcut may end with, in the order the dialog offers them.
QStringList shortcutFinalActions();

// The part of the shortcut's name that stands for `item`: "/exit" gives "EXIT", "/hide"
// "HIDE", a preset name itself (compared exactly, so "/EXIT" stays "/EXIT").
QString shortcutNamePart(const QString& item);

// The items with "/hide" in front (when `hide`) and `finalAction` at the end (when not
// empty). Items already there are not added twice, and a final command already at the
// end is replaced by the new one, so that creating a shortcut again from the same list
// gives the same shortcut.
QStringList shortcutItems(QStringList items, bool hide, const QString& finalAction);

// "SWL - " + the name parts joined by ", ", made fit for a file name: no "/" or control
// characters, no leading dot, at most kLongestShortcutName bytes before ".desktop".
inline constexpr int kLongestShortcutName = 200;
QString shortcutName(const QStringList& items);
QString shortcutFileName(const QStringList& items);

// The desktop entry of a shortcut that starts `program` with `items` as its arguments.
QString shortcutEntryText(const QString& program, const QStringList& items);

// Where shortcuts go: the user's applications menu and the desktop (xdg-user-dir).
QString applicationsFolder();
QString desktopFolder();

// Writes the shortcut into `folder`; empty on success, else the reason.
QString writeShortcut(const QString& folder, const QString& program, const QStringList& items);

} // namespace stowline::shell
