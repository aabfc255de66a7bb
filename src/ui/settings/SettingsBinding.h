#pragma once

#include "core/Options.h"
#include "core/skins/Skin.h"

#include <span>

class QWidget;

namespace stowline::ui {

// The options edited in the settings dialog. Each has a control whose object name is
// the option's key: a check box for a flag, a number field for an integer (a list of
// choices for the few integers that pick one), a text field for a text (a list for the
// language and the dial-up entry).
std::span<const char* const> settingsOptionKeys();

// Fills the controls below `dialog` from `options`. A number outside a field's range
// widens the range and a list text that is not offered is added, so that every value
// comes back unchanged.
void loadOptionControls(QWidget& dialog, const core::topt& options);
// Takes the controls' values into `options`; options without a control keep theirs.
void saveOptionControls(const QWidget& dialog, core::topt& options);

// The skin fields that have controls (every field but LW_Image and LW_Type): a text
// field for a picture or colour, a list of three choices for a style.
void loadSkinControls(QWidget& dialog, const core::tskin& skin);
// `skin` with the values of the controls; LW_Image and LW_Type keep theirs.
core::tskin skinFromControls(const QWidget& dialog, core::tskin skin);

} // namespace stowline::ui
