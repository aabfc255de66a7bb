#include "ui/preseteditor/PresetFieldBinding.h"

#include "backup/PresetFields.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

namespace stowline::ui {

namespace {
using enum ControlKind;

const FieldControl kFieldControls[] = {
    // General tab
    {"nam", "earchivename", Text},
    {"dtf", "edatetime", Text},
    {"fmt", "eformat", ListIndex},
    {"cmp", "ecompression", ListIndex},
    {"dic", "edictionary", ListIndex},
    {"di5", "edictionarysize", Text},
    {"vol", "evolume", ListText},
    {"fld", "epaths", ListIndex},
    {"swt", "eswitches", Text},
    {"pwd", "epassword", Text},
    {"pas", "cencrypt", Check},
    {"ra5", "crar5", Check},
    {"lck", "clock", Check},
    {"sld", "csolid", Check},
    {"hlt", "chlt", Check},
    {"bkg", "cbackground", Check},
    {"hid", "chidden", Check},
    {"tst", "ctest", Check},
    {"del", "cdelete", Check},
    {"wip", "cwipe", Check},
    {"osf", "copenshared", Check},
    {"rsf", "crecurse", Check},
    {"arr", "crecovery", Check},
    {"rrp", "erecoverysize", Number},
    {"irp", "cignoreconfig", Check},
    {"wpc", "cpriority", Check},
    {"wpp", "epriority", Slider},
    {"wps", "esleep", Number},
    // Actions tab: destination folder
    {"ctf", "cfoldertask2", Check},
    {"dir", "edestination", Text},
    {"owe", "coverwrite", Check},
    {"efl", "cemptyfolder", Check},
    {"ems", "emask", Text},
    {"edc", "caskmedia", Check},
    {"dra", "cdirectraring", Check},
    {"drm", "edirectraringmode", ListIndex},
    {"cco", "ccopycleaner", Check},
    {"ccm", "copyclnrmode", Choice},
    {"ccv", "ecopycleanerlimit", Number},
    // FTP
    {"ftp", "cftptask2", Check},
    {"fse", "eftpserver", Text},
    {"fus", "eftpuser", Text},
    {"fpa", "eftppassword", Text},
    {"ffo", "eftpfolder", Text},
    {"fac", "cftpactive", Check},
    {"fss", "eftpsecurity", ListIndex},
    {"fpn", "eftpproxyhost", Text},
    {"fpp", "eftpproxyport", Text},
    {"fco", "cftpcleaner", Check},
    {"fcm", "ftpclnrmode", Choice},
    {"fcv", "eftpcleanerlimit", Number},
    {"fca", "cftpcleanafter", Check},
    // E-mail
    {"smt", "cmailtask2", Check},
    {"sfr", "emailfrom", Text},
    {"sto", "emailto", Text},
    {"sse", "esmtpserver", Text},
    {"sus", "esmtpuser", Text},
    {"spa", "esmtppassword", Text},
    {"sss", "esmtpsecurity", ListIndex},
    {"sco", "cmailcleaner", Check},
    {"scm", "emailcleanermode", ListIndex},
    {"scv", "emailcleanerlimit", Number},
    // Disc
    {"cdw", "cdisctask2", Check},
    {"cdr", "erecorder", ListText},
    {"cer", "cerasedisc", Check},
    {"cdv", "cverifydisc", Check},
    {"cne", "cnoeject", Check},
    {"cef", "cerasewhenfull", Check},
    {"csp", "ewritespeed", Number},
    {"cdb", "ewritecache", Number},
    // Programs before and after
    {"eba", "cprogrambefore", Check},
    {"ebe", "eprogrambefore", Text},
    {"ebp", "eparamsbefore", Text},
    {"ebs", "cstartonlybefore", Check},
    {"ebh", "chiddenbefore", Check},
    {"eaa", "cprogramafter", Check},
    {"eae", "eprogramafter", Text},
    {"eap", "eparamsafter", Text},
    {"eas", "cstartonlyafter", Check},
    {"eah", "chiddenafter", Check},
};

QList<QRadioButton*> choiceButtons(const QGroupBox& group) {
    return group.findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
}

void showValue(QWidget& control, ControlKind kind, const backup::tarcopt& preset,
               const backup::PresetField& field) {
    const QString text = backup::presetValueText(preset, field);
    const QSignalBlocker quiet(control);
    switch (kind) {
    case Text:
        static_cast<QLineEdit&>(control).setText(text);
        break;
    case Check:
        static_cast<QCheckBox&>(control).setChecked(text != QLatin1String("0"));
        break;
    case ListIndex:
        static_cast<QComboBox&>(control).setCurrentIndex(text.toInt());
        break;
    case ListText:
        static_cast<QComboBox&>(control).setCurrentText(text);
        break;
    case Number:
        static_cast<QSpinBox&>(control).setValue(text.toInt());
        break;
    case Slider:
        static_cast<QSlider&>(control).setValue(text.toInt());
        break;
    case Choice: {
        const QList<QRadioButton*> buttons = choiceButtons(static_cast<QGroupBox&>(control));
        const qsizetype chosen = qBound(qsizetype(0), qsizetype(text.toInt()), buttons.size() - 1);
        if (!buttons.isEmpty())
            buttons[chosen]->setChecked(true);
        break;
    }
    }
}

QString readValue(const QWidget& control, ControlKind kind) {
    switch (kind) {
    case Text:
        return static_cast<const QLineEdit&>(control).text();
    case Check:
        return static_cast<const QCheckBox&>(control).isChecked() ? QStringLiteral("1")
                                                                  : QStringLiteral("0");
    case ListIndex:
        return QString::number(qMax(0, static_cast<const QComboBox&>(control).currentIndex()));
    case ListText:
        return static_cast<const QComboBox&>(control).currentText();
    case Number:
        return QString::number(static_cast<const QSpinBox&>(control).value());
    case Slider:
        return QString::number(static_cast<const QSlider&>(control).value());
    case Choice: {
        const QList<QRadioButton*> buttons = choiceButtons(static_cast<const QGroupBox&>(control));
        for (qsizetype i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked())
                return QString::number(i);
        return QStringLiteral("0");
    }
    }
    return {};
}
} // namespace

std::span<const FieldControl> presetFieldControls() {
    return kFieldControls;
}

void showPresetFields(QWidget& root, const backup::tarcopt& preset) {
    for (const FieldControl& binding : kFieldControls) {
        QWidget* control = root.findChild<QWidget*>(QLatin1String(binding.control));
        const backup::PresetField* field = backup::findPresetField(QLatin1String(binding.key));
        if (control && field)
            showValue(*control, binding.kind, preset, *field);
    }
}

void readPresetFields(const QWidget& root, backup::tarcopt& preset) {
    for (const FieldControl& binding : kFieldControls) {
        const QWidget* control = root.findChild<QWidget*>(QLatin1String(binding.control));
        const backup::PresetField* field = backup::findPresetField(QLatin1String(binding.key));
        if (control && field)
            backup::assignPresetValue(preset, *field, readValue(*control, binding.kind));
    }
}

} // namespace stowline::ui
