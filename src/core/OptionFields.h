#pragma once

#include "core/Options.h"
#include "core/StoredField.h"

#include <QSize>
#include <QString>

#include <span>

namespace stowline::core {

// How an option's default is formed.
enum class OptionDefault {
    Fixed,           // the default text of the table, converted by the field's kind
    InProgramFolder, // program folder + "/" + the default text
    InDataFolder,    // data folder + "/" + the default text
    ScreenLeft,      // centres the default window width on the screen
    ScreenTop,       // centres the default window height on the screen
};

// Which stored numbers a field takes; a number outside its range leaves the field
// unchanged (its default while loading), like a text that is no number.
enum class OptionRange {
    Any,
    NotNegative, // sizes and counts, where a negative number has no meaning
};

using OptionMember = StoredMember<topt>;

// One key of swl.opt: the single description that defaults, loading and saving share.
struct OptionField {
    const char* key;
    OptionMember member;
    const char* defaultText;
    OptionDefault defaultRule;
    OptionRange range = OptionRange::Any;
};

// What the defaults depend on besides the table itself.
struct OptionDefaultsContext {
    QString programFolder;
    QString dataFolder;
    QSize screen; // the primary screen; 1024x768 when there is none
};

inline constexpr int kDefaultWindowWidth = 620;
inline constexpr int kDefaultWindowHeight = 440;

// Every option in declared order.
std::span<const OptionField> optionFields();
const OptionField* findOptionField(QStringView key);

// Sets every field of `options` to its default.
void SetOptionDefaults(topt& options, const OptionDefaultsContext& context);

// Stored-value rules shared by the options and preset files: a flag is off only for the
// exact text "0"; an integer that does not convert, or lies outside the field's range,
// leaves the field unchanged.
void assignOptionValue(topt& options, const OptionField& field, const QString& value);
QString optionValueText(const topt& options, const OptionField& field);

} // namespace stowline::core
