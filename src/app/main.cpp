#include "app/Application.h"
#include "app/DesktopWindows.h"
#include "app/HeadlessAnswers.h"
#include "app/RunIndicators.h"
#include "app/SettingsAdapters.h"
#include "core/Clock.h"
#include "core/Program.h"
#include "platform/HeadlessPrompts.h"
#include "platform/linux/FileInstanceLock.h"
#include "platform/linux/LinuxSystemPaths.h"
#include "platform/linux/PosixSignalNotifier.h"
#include "platform/linux/ProcessSoundPlayer.h"
#include "platform/linux/QProcessLauncher.h"
#include "platform/linux/UserServiceManager.h"
#include "platform/linux/XdgStartupRegistration.h"
#include "shell/BinItemChannel.h"
#include "ui/DataFolderDialog.h"
#include "ui/ExitConfirmationBox.h"
#include "ui/WidgetPrompts.h"
#include "ui/locate/ArchiverLocatingPrompts.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/tray/SystemTrayIcon.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <memory>

using namespace stowline;

namespace {

// Qt aborts when it finds no display; a program started from a service, a timer or
// an SSH session must run all the same.
void chooseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

bool runsWithoutDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// The answers of a person at the desk, or their defaults when nobody is there.
struct Interaction {
    explicit Interaction(bool headless) {
        if (headless) {
            prompts = std::make_unique<platform::HeadlessPrompts>();
            dataFolderChooser = std::make_unique<app::HeadlessDataFolderChooser>();
            exitConfirmation = std::make_unique<app::HeadlessExitConfirmation>();
        } else {
            prompts = std::make_unique<ui::WidgetPrompts>();
            dataFolderChooser = std::make_unique<ui::DataFolderDialogChooser>();
            exitConfirmation = std::make_unique<ui::ExitConfirmationBox>();
        }
    }
    std::unique_ptr<platform::Prompts> prompts;
    std::unique_ptr<core::DataFolderChooser> dataFolderChooser;
    std::unique_ptr<core::ExitConfirmation> exitConfirmation;
};

// The main window and the windows it opens, made once the presets are listed.
struct DesktopSession {
    void open(app::Application& stowline, const core::Clock& clock, platform::Prompts& prompts,
              platform::ProcessLauncher& launcher, ui::TrayIcon& tray, platform::SoundPlayer& sound,
              platform::StartupRegistration& startup) {
        core::Program& program = stowline.program();
        windows = std::make_unique<app::DesktopWindows>(app::DesktopWindows::Services{
            stowline.schedule(), stowline.presetCatalog(), program.options(), program.log(),
            program.messages(), clock, prompts, program.folders().program, program.folders()});
        mainWindow = std::make_unique<ui::MainWindow>(ui::MainWindowServices{
            program, stowline.presets(), stowline.schedule(), clock, prompts, launcher, *windows,
            tray, [&stowline] { stowline.run().RunPreset(); }});
        ui::MainWindow* window = mainWindow.get();
        windows->setHideMainWindowToTray([window] { window->hideMainWindow(); });
        windows->setShellParts({stowline.folderWatchers(), stowline.binArchives(), launcher});
        windows->showBinWindow(ui::BinWindow::Off);
        // Bound to the main window, which goes first at the end of the program.
        app::DesktopWindows* opened = windows.get();
        QObject::connect(&stowline.presets(), &backup::PresetList::listRebuilt, window,
                         [opened] { opened->presetListRebuilt(); });
        backup::RunProgress& progress = stowline.run().progress();
        QObject::connect(&progress, &backup::RunProgress::changed, window,
                         [window, &progress] { window->showRunProgress(progress.text()); });
        stowline.setMainWindow(window);
        windows->setPresetEditorParts(app::DesktopWindows::PresetEditorParts{
            program.folders(), program.flags(), launcher, stowline.presets(),
            [&stowline](const QString& name) {
                return stowline.program().flags().OperationInProgress &&
                       stowline.run().state().CurrentPresetName == name;
            },
            [&stowline] {
                ui::DiscRecording recording;
                // A busy engine lists no recorders, but it is writing a disc right now.
                recording.available = stowline.discEngine().busy();
                for (const disc::Recorder& recorder : stowline.discEngine().recorders())
                    if (recorder.writer)
                        recording.recorders << recorder.address;
                recording.available = recording.available || !recording.recorders.isEmpty();
                return recording;
            }});
        remoteCommands = std::make_unique<app::RemoteAccessCommands>(stowline.remoteAccess());
        dialupCommands = std::make_unique<app::DialupCommands>(stowline.dialup());
        binCleaning = std::make_unique<app::BinCleaningCommands>(stowline.binArchives());
        windows->setUpSettings({program, sound, startup, remoteCommands.get(), dialupCommands.get(),
                                binCleaning.get()},
                               *window);
    }

    // Declared first, so that the main window, which uses them, goes before them.
    std::unique_ptr<app::RemoteAccessCommands> remoteCommands;
    std::unique_ptr<app::DialupCommands> dialupCommands;
    std::unique_ptr<app::BinCleaningCommands> binCleaning;
    std::unique_ptr<app::DesktopWindows> windows;
    std::unique_ptr<ui::MainWindow> mainWindow;
};

} // namespace

int main(int argc, char* argv[]) {
    // A file-manager verb: hand the item to the running instance and end, without a
    // window and without touching the program's files.
    if (argc >= 2 && shell::isBinItemCall({QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication forwarder(argc, argv);
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        shell::forwardBinItem(arguments);
        return 0;
    }
    chooseOffscreenWithoutDisplay();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("stowline"));
    QApplication::setApplicationDisplayName(QStringLiteral("SWL for WinRAR"));
    QApplication::setQuitOnLastWindowClosed(false);

    const bool headless = runsWithoutDisplay();
    Interaction interaction(headless);
    // With a display, start-up asks for a missing archiver in the locate window.
    std::unique_ptr<ui::ArchiverLocatingPrompts> locating;
    if (!headless)
        locating =
            std::make_unique<ui::ArchiverLocatingPrompts>(*interaction.prompts, QDir::rootPath());
    platform::Prompts& startPrompts = locating ? *locating : *interaction.prompts;
    platform::FileInstanceLock instanceLock(QStringLiteral("SWL_SECOND_INSTANCE"));
    platform::LinuxSystemPaths paths;
    platform::ProcessSoundPlayer sound;
    core::SystemClock clock;
    platform::PosixSignalNotifier sessionNotifier;
    platform::SystemctlUserServiceManager userServices;
    platform::XdgStartupRegistration startupRegistration(
        QApplication::applicationFilePath(), platform::XdgStartupRegistration::userConfigHome(),
        userServices);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const QScreen* screen = QGuiApplication::primaryScreen();
    platform::QProcessLauncher launcher;
    // With a display the program has a tray icon and a main window; without one it runs
    // the same way with neither.
    std::unique_ptr<ui::SystemTrayIcon> tray;
    if (!headless)
        tray = std::make_unique<ui::SystemTrayIcon>();
    app::TrayRunIndicator runIndicator(tray.get());
    app::Application stowline({instanceLock, paths, startPrompts, sound, clock,
                               *interaction.dataFolderChooser, *interaction.exitConfirmation,
                               startupRegistration},
                              launcher, runIndicator, arguments, screen ? screen->size() : QSize());
    core::Program& program = stowline.program();
    if (locating)
        locating->setProgram(&program);
    DesktopSession desktop;
    const auto openWindows = [&] {
        if (tray)
            desktop.open(stowline, clock, *interaction.prompts, launcher, *tray, sound,
                         startupRegistration);
    };
    if (!stowline.start(openWindows))
        return stowline.exitCode();

    QObject::connect(&sessionNotifier, &platform::SessionNotifier::sessionEnding, &program,
                     &core::Program::sessionEnding);
    QObject::connect(&program, &core::Program::finished, &application, &QApplication::exit);
    // The window reports its first activation itself when it is shown.
    if (desktop.mainWindow)
        desktop.mainWindow->showAtStart();
    else if (!program.flags().SecondInstance)
        QTimer::singleShot(0, &program, &core::Program::mainWindowActivated);
    return application.exec();
}
