#pragma once

#include "core/Options.h"
#include "ui/mainwindow/WindowOpeners.h"

#include <QString>

#include <optional>

namespace stowline::ui {

// The message key of the first check that the edited options fail on OK, or nothing.
// Error reports need an SMTP server, a sender and a recipient.
std::optional<QString> settingsCheckFailure(const core::topt& edited);

// What OK stores for values typed freely.
inline constexpr int kPresetListHeightMin = 40;
inline constexpr int kPresetListHeightMax = 1200;
int storedPresetListHeight(int typed);
// Without trailing separators; a root stays a root.
QString storedTemporaryFolder(const QString& typed);

// Going back to the built-in English texts needs a restart; nothing is reloaded then.
bool needsRestartForLanguage(const QString& atOpening, const QString& chosen);
// Another language file was chosen: the windows' captions and the messages are reloaded.
bool reloadsLanguage(const QString& atOpening, const QString& chosen);

// The clean commands of the SWL-BIN tab take a positive whole number of days.
bool isCleanAge(int days);

// The SWL-BIN drop window that obt asks for; a window whose verb is switched off stays
// hidden.
BinWindow binWindowFor(const core::topt& options);

} // namespace stowline::ui
