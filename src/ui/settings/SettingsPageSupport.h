#pragma once

#include "core/MessageTable.h"
#include "platform/Prompts.h"
#include "ui/settings/SettingsDialog.h"

#include <QFileDialog>
#include <QLineEdit>

// Small helpers shared by the pages of the settings dialog.
namespace stowline::ui::settings_pages {

// Message boxes put a line break in front of their text.
inline QString boxText(const QString& text) {
    return QLatin1Char('\n') + text;
}

inline void sayNotAvailable(SettingsContext& c) {
    c.s.prompts.showMessage(boxText(c.s.messages.text(u"notavailableyet")));
}

inline void browseFolder(QWidget* parent, QLineEdit* field) {
    const QString folder = QFileDialog::getExistingDirectory(parent, QString(), field->text());
    if (!folder.isEmpty())
        field->setText(folder);
}

} // namespace stowline::ui::settings_pages
