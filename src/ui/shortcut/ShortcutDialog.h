#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class ShortcutDialog;
}

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class Prompts;
}

namespace stowline::ui {

struct ShortcutDialogServices {
    const core::MessageTable& messages;
    platform::Prompts& prompts;
    // The program the shortcut starts.
    QString program;
    std::function<QStringList()> presetNames;
    // Asks for a folder; empty when cancelled.
    std::function<QString(const QString& title)> chooseFolder;
    std::function<void(const QString& topic)> showHelp;
    // Where the shortcuts go (the applications menu, the desktop).
    std::function<QString()> menuFolder;
    std::function<QString()> desktopFolder;
};

// Composes a shortcut that runs presets (then, optionally, an exit or power command)
// and writes it as a desktop entry.
class ShortcutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutDialog(ShortcutDialogServices services, QWidget* parent = nullptr);
    ~ShortcutDialog() override;

    // Shows the dialog with `presetName` chosen and an empty item list.
    void openFor(const QString& presetName);
    // Captions and the destination choices from language `languageName` of the program
    // folder (the dialog is "Form10" in language files).
    void changeLang(const QString& programFolder, const QString& languageName);
    // Writes the shortcut into `customFolder`, or the chosen destinations when empty.
    // The paths written; errors are shown.
    QStringList create(const QString& customFolder = {});

    QStringList items() const;

private:
    ShortcutDialogServices services_;
    std::unique_ptr<Ui::ShortcutDialog> ui_;
};

} // namespace stowline::ui
