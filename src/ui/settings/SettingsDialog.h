#pragma once

#include "core/Options.h"
#include "ui/mainwindow/WindowOpeners.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace stowline::core {
class EventLog;
class MessageTable;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
class SoundPlayer;
class StartupRegistration;
} // namespace stowline::platform

namespace Ui {
class SettingsDialog;
}

namespace stowline::ui {

class BinArchiveCleaning;
class DialupControl;
class RemoteAccessControl;
class SkinApplier;

struct SettingsServices {
    core::topt& options;
    core::MessageTable& messages;
    core::EventLog& log;
    platform::Prompts& prompts;
    platform::SoundPlayer& sound;
    platform::StartupRegistration& startup;
    SkinApplier& skins;
    QString programFolder;
    QString dataFolder;
    std::function<void(const QString& topic)> showHelp;
    // SaveOptions with the data folder and the preset list's column widths.
    std::function<bool(const core::topt& options)> saveOptions;
    // Captions of the main and scheduler windows in another language.
    std::function<void(const QString& language)> changeWindowCaptions;
    // The options changed: layout, fonts, SWL-BIN window, file-manager verbs.
    std::function<void()> optionsApplied;
    RemoteAccessControl* remote = nullptr;
    DialupControl* dialup = nullptr;
    BinArchiveCleaning* binCleaning = nullptr;
    // The archiver locate window; empty when cancelled. Tests replace it.
    std::function<QString(QWidget* parent)> locateArchiver;
};

// What the pages share: the services and the dialog's state while it is open.
struct SettingsContext {
    SettingsServices& s;
    // lng when the dialog was made.
    QString openingLanguage;
    // Whether the program is registered as a service of the user.
    bool serviceInstalled = false;
    // Locks the dialog while a command waits (true) and unlocks it.
    std::function<void(bool busy)> setBusy;
};

class GeneralPage;
class InterfacePage;
class RemoteAccessPage;
class DialupPage;
class ErrorManagementPage;
class SecurityPage;
class AppearancePage;
class BinPage;

// The program's options, one tab per topic. The controls are filled from the options
// once, when the dialog is made; nothing changes before OK (commands that act at once
// excepted). OK checks the edits, stores them, saves them and applies them.
class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(SettingsServices services, SettingsTab tab, QWidget* parent = nullptr);
    ~SettingsDialog() override;
    Q_DISABLE_COPY_MOVE(SettingsDialog)

    SettingsTab currentTab() const;

    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void changeLang();
    void showHelp();
    void setBusy(bool busy);

    SettingsServices s_;
    SettingsContext context_;
    std::unique_ptr<Ui::SettingsDialog> ui_;
    GeneralPage* general_;
    InterfacePage* interface_;
    RemoteAccessPage* remote_;
    DialupPage* dialup_;
    ErrorManagementPage* errors_;
    SecurityPage* security_;
    AppearancePage* appearance_;
    BinPage* bin_;
    bool busy_ = false;
};

// Widens every check box below `window` to its caption plus the check mark plus 5 pixels,
// so that translated captions are not cut.
void fitCheckBoxesToCaptions(QWidget& window);

} // namespace stowline::ui
