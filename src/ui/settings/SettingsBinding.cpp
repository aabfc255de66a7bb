#include "ui/settings/SettingsBinding.h"

#include "core/OptionFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>

#include <type_traits>
#include <variant>

namespace stowline::ui {

namespace {
const char* const kSettingsOptionKeys[] = {
    // general
    "pwi", "pte", "lng", "sta", "lsz", "lfs", "twr", "tft", "tsm", "shp", "lat", "cie", "cms",
    // interface
    "dec", "dtb", "dit", "acw", "hic", "smz", "pfs", "plh",
    // remote access
    "rae", "rap", "rlo", "rpa",
    // dial-up
    "des", "dha", "dac", "dus", "dpa", "dnr", "dwc",
    // error management
    "ser", "ssr", "sss", "sur", "spd", "sfm", "sto", "soe", "swf", "fre", "fin", "fti",
    // security
    "sgp", "sps", "sph", "spa", "spe", "spm",
    // appearance
    "ske",
    // SWL-BIN
    "obk", "obr", "obf", "obc", "obv", "obt", "obi", "obn", "okp", "obp"};

template <typename Control> Control* control(const QWidget& dialog, const char* name) {
    auto* found = dialog.findChild<Control*>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "settings dialog", name);
    return found;
}

void showText(QComboBox& box, const QString& text) {
    int index = box.findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index < 0) {
        box.addItem(text);
        index = box.count() - 1;
    }
    box.setCurrentIndex(index);
}

void showNumber(QSpinBox& box, int value) {
    box.setRange(std::min(box.minimum(), value), std::max(box.maximum(), value));
    box.setValue(value);
}

// A list of choices whose value is the index of the chosen entry.
void showChoice(QComboBox& box, int value) {
    box.setCurrentIndex(value >= 0 && value < box.count() ? value : 0);
}
} // namespace

std::span<const char* const> settingsOptionKeys() {
    return kSettingsOptionKeys;
}

void loadOptionControls(QWidget& dialog, const core::topt& options) {
    for (const char* key : kSettingsOptionKeys) {
        const core::OptionField* field = core::findOptionField(QString::fromLatin1(key));
        Q_ASSERT(field);
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<Value, bool>) {
                    control<QCheckBox>(dialog, key)->setChecked(options.*member);
                } else if constexpr (std::is_same_v<Value, int>) {
                    if (auto* box = dialog.findChild<QComboBox*>(QString::fromLatin1(key)))
                        showChoice(*box, options.*member);
                    else
                        showNumber(*control<QSpinBox>(dialog, key), options.*member);
                } else {
                    if (auto* box = dialog.findChild<QComboBox*>(QString::fromLatin1(key)))
                        showText(*box, options.*member);
                    else
                        control<QLineEdit>(dialog, key)->setText(options.*member);
                }
            },
            field->member);
    }
}

void saveOptionControls(const QWidget& dialog, core::topt& options) {
    for (const char* key : kSettingsOptionKeys) {
        const core::OptionField* field = core::findOptionField(QString::fromLatin1(key));
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<Value, bool>) {
                    options.*member = control<QCheckBox>(dialog, key)->isChecked();
                } else if constexpr (std::is_same_v<Value, int>) {
                    if (auto* box = dialog.findChild<QComboBox*>(QString::fromLatin1(key)))
                        options.*member = box->currentIndex();
                    else
                        options.*member = control<QSpinBox>(dialog, key)->value();
                } else {
                    if (auto* box = dialog.findChild<QComboBox*>(QString::fromLatin1(key)))
                        options.*member = box->currentText();
                    else
                        options.*member = control<QLineEdit>(dialog, key)->text();
                }
            },
            field->member);
    }
}

void loadSkinControls(QWidget& dialog, const core::tskin& skin) {
    for (const core::SkinField& field : core::skinFields()) {
        if (field.text == &core::tskin::LW_Image || field.style == &core::tskin::LW_Type)
            continue;
        if (field.text)
            control<QLineEdit>(dialog, field.key)->setText(skin.*field.text);
        else
            showChoice(*control<QComboBox>(dialog, field.key), skin.*field.style);
    }
}

core::tskin skinFromControls(const QWidget& dialog, core::tskin skin) {
    for (const core::SkinField& field : core::skinFields()) {
        if (field.text == &core::tskin::LW_Image || field.style == &core::tskin::LW_Type)
            continue;
        if (field.text)
            skin.*field.text = control<QLineEdit>(dialog, field.key)->text();
        else
            skin.*field.style = control<QComboBox>(dialog, field.key)->currentIndex();
    }
    return skin;
}

} // namespace stowline::ui
