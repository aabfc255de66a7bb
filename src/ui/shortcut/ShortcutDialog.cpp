#include "ui/shortcut/ShortcutDialog.h"

#include "ui_ShortcutDialog.h"

#include "core/MessageTable.h"
#include "platform/Prompts.h"
#include "shell/Shortcuts.h"
#include "ui/FormCaptions.h"

#include <QDir>

namespace stowline::ui {

ShortcutDialog::ShortcutDialog(ShortcutDialogServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), ui_(std::make_unique<Ui::ShortcutDialog>()) {
    ui_->setupUi(this);
    ui_->finalaction->addItems(shell::shortcutFinalActions());
    connect(ui_->addpreset, &QPushButton::clicked, this, [this] {
        if (!ui_->presetchoice->currentText().isEmpty())
            ui_->itemlist->appendPlainText(ui_->presetchoice->currentText());
    });
    connect(ui_->createbutton, &QPushButton::clicked, this, [this] { create(); });
    connect(ui_->folderbutton, &QPushButton::clicked, this, [this] {
        const QString folder = services_.chooseFolder(services_.messages.text(u"specifyfolder"));
        if (!folder.isEmpty())
            create(folder);
    });
    connect(ui_->helpbutton, &QPushButton::clicked, this, [this] {
        services_.showHelp(QStringLiteral("making_a_windows_shortcut_to_run_a_preset.htm"));
    });
    connect(ui_->closebutton, &QPushButton::clicked, this, &QDialog::reject);
}

ShortcutDialog::~ShortcutDialog() = default;

void ShortcutDialog::changeLang(const QString& programFolder, const QString& languageName) {
    ChangeLang(*this, QStringLiteral("Form10"), programFolder, languageName,
               {{}, {{QStringLiteral("Form10shortcutdest"), ui_->destination}}});
}

void ShortcutDialog::openFor(const QString& presetName) {
    ui_->presetchoice->clear();
    ui_->presetchoice->addItems(services_.presetNames());
    ui_->presetchoice->setCurrentText(presetName);
    ui_->itemlist->clear();
    show();
    raise();
    activateWindow();
}

QStringList ShortcutDialog::items() const {
    QStringList lines = ui_->itemlist->toPlainText().split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

QStringList ShortcutDialog::create(const QString& customFolder) {
    if (items().isEmpty()) {
        services_.prompts.showError(QLatin1Char('\n') + services_.messages.text(u"addonepreset"));
        return {};
    }
    const QStringList all = shell::shortcutItems(
        items(), ui_->hideoption->isChecked(),
        ui_->finaloption->isChecked() ? ui_->finalaction->currentText() : QString());
    // The list shows what the shortcut holds.
    ui_->itemlist->setPlainText(all.join(QLatin1Char('\n')));
    QStringList folders;
    if (!customFolder.isEmpty()) {
        folders << customFolder;
    } else {
        const int destination = ui_->destination->currentIndex();
        if (destination == 0 || destination == 2)
            folders << services_.menuFolder();
        if (destination == 1 || destination == 2)
            folders << services_.desktopFolder();
    }
    QStringList written;
    for (const QString& folder : folders) {
        const QString error = shell::writeShortcut(folder, services_.program, all);
        if (!error.isEmpty()) {
            services_.prompts.showError(
                QLatin1Char('\n') +
                core::formatMessage(
                    services_.messages.text(u"shortcutnotwritten"),
                    {folder + QLatin1Char('/') + shell::shortcutFileName(all), error}));
            continue;
        }
        written << folder + QLatin1Char('/') + shell::shortcutFileName(all);
    }
    return written;
}

} // namespace stowline::ui
