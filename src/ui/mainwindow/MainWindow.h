#pragma once

#include "ui/mainwindow/WindowOpeners.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace stowline::backup {
class PresetList;
}

namespace stowline::core {
class Clock;
class Program;
} // namespace stowline::core

namespace stowline::platform {
class ProcessLauncher;
class Prompts;
} // namespace stowline::platform

namespace stowline::scheduler {
class Schedule;
}

namespace Ui {
class MainWindow;
}

namespace stowline::ui {

class LogLineDelegate;
class PresetViewModel;
class TrayIcon;

struct MainWindowServices {
    core::Program& program;
    backup::PresetList& presets;
    const scheduler::Schedule& schedule;
    const core::Clock& clock;
    platform::Prompts& prompts;
    platform::ProcessLauncher& launcher;
    WindowOpeners& openers;
    TrayIcon& tray;
    // The backup run of the selected preset; returns when the run has ended.
    std::function<void()> runPreset;
};

// The program's home: the preset list above the event log, menus, toolbar, keys, and the
// tray icon through which the program is reached while the window is hidden.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;
    Q_DISABLE_COPY_MOVE(MainWindow)

    // Adds the tray icon and shows the window, unless it was hidden meanwhile (/hide).
    // The first show reports the program ready (Program::mainWindowActivated); a window
    // kept hidden reports it at once.
    void showAtStart();
    // Shows the window, also when the program was started hidden; no password asked.
    void showMainWindow();
    // Hides the window to the tray.
    void hideMainWindow();
    // Removes the tray icon and adds it again.
    void refreshTrayIcon();
    // Hides a visible window, shows a hidden one (behind the option spa).
    void toggleShowHide();
    // The run's progress in the status bar and the tray icon's tool tip; empty clears it.
    void showRunProgress(const QString& text);
    // The tray menu is disabled while the settings dialog is open.
    void setSettingsOpen(bool open);
    // Layout, fonts, toolbar and colouring from the options (start-up, settings' OK).
    void applyOptions();
    // The skin's colours of error lines in the event log (drawn while skins are on).
    void setErrorLineColours(const QColor& background, const QColor& text);
    // Where the file name for the log export comes from; tests replace it.
    void setExportFileChooser(std::function<QString()> chooser);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Origin { Menu, Toolbar, Key, ContextMenu };
    struct Command;

    void setUpViews();
    void setUpMenus();
    void defineCommands();
    void bindCommand(const Command& command);
    void carryOut(const Command& command, Origin origin);
    bool handleCommandKey(int key, Qt::KeyboardModifiers modifiers);
    bool adminPasswordAccepted(bool protectedByOption);
    bool refusedWhileRunning(const QString& presetName);
    QString selectedPreset() const;
    void mirrorModelSelection();
    void layOutLists();
    void applyPlacement();
    void storePlacement();
    void showLogLineDetails(const QModelIndex& index);
    void showTrayBalloon();
    void openPresetContextMenu(const QPoint& position);
    void scrollLogToEnd();
    void fillShortcutBar();

    // The commands; each acts on the selected preset where it needs one.
    void runSelected();
    void newPreset();
    void editArchivingOptions();
    void editFileLists();
    void duplicatePreset();
    void renamePreset();
    void deletePreset();
    void schedulePreset();
    void createShortcut();
    void restorePreset();
    void openScheduler();
    template <SettingsTab tab> void openSettings();
    void exportLog();
    void truncateLog();
    void clearLog();
    void viewArchiverLog();
    void showManual();
    void exitProgram();
    void requestAbort();
    void toggleShortcutBar();
    void openFolderWatchers();
    void hideBinWindow();
    void showKeeperWindow();
    void showRecycleWindow();
    void openWebPage();

    MainWindowServices s_;
    std::unique_ptr<Ui::MainWindow> ui_;
    PresetViewModel* presetView_;
    LogLineDelegate* logDelegate_;
    QMenu* trayMenu_;
    QMenu* presetMenu_;
    QList<Command> commands_;
    QHash<int, qsizetype> keyCommands_;
    std::function<QString()> exportFileChooser_;
    // The frame a restore goes back to after a maximize of a window nearly as wide as
    // the screen.
    std::optional<QRect> frameAfterMaximize_;
    bool keepHiddenAtStart_ = false;
    bool shownOnce_ = false;
    bool mirroringSelection_ = false;
    bool columnWidthsApplied_ = false;
};

} // namespace stowline::ui
