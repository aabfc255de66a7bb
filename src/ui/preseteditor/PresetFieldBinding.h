#pragma once

#include "backup/Preset.h"

#include <span>

class QWidget;

namespace stowline::ui {

// How a control shows a field.
enum class ControlKind {
    Text,      // QLineEdit
    Check,     // QCheckBox
    ListIndex, // QComboBox: the entry's position
    ListText,  // editable QComboBox: the text shown
    Number,    // QSpinBox
    Slider,    // QSlider
    Choice,    // QGroupBox: the position of the checked radio button among its children
};

// One field of the preset record on one control of the editor.
struct FieldControl {
    const char* key;     // the field's key in the preset file
    const char* control; // the control's object name (its caption key after "Form3")
    ControlKind kind;
};

// Every field the editor shows. The keys that are only read from older files (sfx,
// aut, fpo, cie) and efa, which the filter dialog edits, have no control.
std::span<const FieldControl> presetFieldControls();

// Shows the fields of `preset` on the controls below `root`, and reads them back into
// `preset` (fields without a control keep their values). A control that is missing
// below `root` is skipped.
void showPresetFields(QWidget& root, const backup::tarcopt& preset);
void readPresetFields(const QWidget& root, backup::tarcopt& preset);

} // namespace stowline::ui
