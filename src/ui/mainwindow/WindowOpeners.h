#pragma once

#include <QString>

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class Prompts;
}

namespace stowline::ui {

// The tabs of the settings dialog, in the order of its pages.
enum class SettingsTab {
    General,
    Interface,
    RemoteAccess,
    Dialup,
    ErrorManagement,
    Security,
    Appearance,
    SwlBin
};

// The page of the preset editor a command opens.
enum class PresetEditorPage { General, FileLists };

// The SWL-BIN drop window to show (the option obt).
enum class BinWindow { Off, Keeper, Recycle };

// The windows that the main window's commands open but that live elsewhere. The main
// window has done its checks (selection, admin password) before it calls these.
class WindowOpeners {
public:
    virtual ~WindowOpeners() = default;

    // The scheduler window, for `presetName` or, when empty, for the whole schedule.
    virtual void openSchedulerWindow(const QString& presetName) = 0;
    // The manual at `topic` ("index.htm").
    virtual void showHelpTopic(const QString& topic) = 0;
    virtual void openSettings(SettingsTab tab) = 0;
    // The preset editor for `presetName` (backup::kNewPresetMarker for a new preset).
    virtual void openPresetEditor(const QString& presetName, PresetEditorPage page) = 0;
    // The restore window; called only when the preset's delivery history exists.
    virtual void openRestore(const QString& presetName) = 0;
    virtual void openFolderWatchers() = 0;
    virtual void createShortcut(const QString& presetName) = 0;
    virtual void showBinWindow(BinWindow window) = 0;
    // The maker's web page.
    virtual void openWebPage() = 0;
};

// Until a window is built, its command says so in a message box.
class MissingWindowOpeners : public WindowOpeners {
public:
    MissingWindowOpeners(const core::MessageTable& messages, platform::Prompts& prompts)
        : messages_(messages), prompts_(prompts) {}

    void openSchedulerWindow(const QString&) override { sayMissing(u"Scheduler"); }
    void showHelpTopic(const QString& topic) override { sayMissing(topic); }
    void openSettings(SettingsTab) override { sayMissing(u"Settings"); }
    void openPresetEditor(const QString&, PresetEditorPage) override {
        sayMissing(u"Preset editor");
    }
    void openRestore(const QString&) override { sayMissing(u"Restore"); }
    void openFolderWatchers() override { sayMissing(u"Folder watchers"); }
    void createShortcut(const QString&) override { sayMissing(u"Shortcut"); }
    void showBinWindow(BinWindow window) override {
        if (window != BinWindow::Off)
            sayMissing(u"SWL-BIN");
    }
    void openWebPage() override { sayMissing(u"Web page"); }

protected:
    void sayMissing(QStringView window);

private:
    const core::MessageTable& messages_;
    platform::Prompts& prompts_;
};

} // namespace stowline::ui
