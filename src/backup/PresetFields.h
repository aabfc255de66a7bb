#pragma once

#include "backup/Preset.h"
#include "core/StoredField.h"

#include <QAnyStringView>
#include <QString>

#include <span>

namespace stowline::backup {

using PresetMember = core::StoredMember<tarcopt>;

// One key of the preset file: the single description that defaults, loading, saving
// and the tests share.
struct PresetField {
    const char* key;
    PresetMember member;
    const char* defaultText; // converted by the field's kind
};

// Every field in declared order.
std::span<const PresetField> presetFields();
const PresetField* findPresetField(QAnyStringView key);

// The keys in the order a preset file lists them, and in the order the defaults file
// swl.pst lists them (which places di5 after vol). The keys sfx, aut, fpo and cie are
// read from older files but never written.
std::span<const char* const> presetFileKeyOrder();
std::span<const char* const> defaultsFileKeyOrder();

// Sets every field of `preset` to its default.
void SetPresetDefaults(tarcopt& preset);

// Stored-value rules: a flag is off only for the exact text "0"; an integer that does
// not convert leaves the field unchanged; text is taken as it is.
void assignPresetValue(tarcopt& preset, const PresetField& field, const QString& value);
QString presetValueText(const tarcopt& preset, const PresetField& field);

} // namespace stowline::backup
