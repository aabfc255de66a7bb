#include "app/DesktopWindows.h"

#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "core/Options.h"
#include "core/OptionsFile.h"
#include "core/Program.h"
#include "core/skins/Skin.h"
#include "ui/FormCaptions.h"
#include "ui/locate/LocateArchiverDialog.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsRules.h"

#include "core/ProgramState.h"
#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"
#include "scheduler/PresetCatalog.h"
#include "shell/Shortcuts.h"
#include "ui/restore/RestoreWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace stowline::app {

DesktopWindows::DesktopWindows(Services services)
    : ui::MissingWindowOpeners(services.messages, services.prompts), services_(services),
      help_(services.programFolder, viewer_, services.prompts, services.messages),
      presetStore_(services.folders, services.messages, services.clock, services.prompts) {}

DesktopWindows::~DesktopWindows() = default;

void DesktopWindows::presetListRebuilt() {
    if (schedulerWindow_)
        schedulerWindow_->refreshPresetNames();
}

void DesktopWindows::openSchedulerWindow(const QString& presetName) {
    schedulerWindow().open(presetName);
}

void DesktopWindows::openRestore(const QString& presetName) {
    ui::RestoreServices restore{presetStore_,
                                services_.options,
                                services_.messages,
                                services_.prompts,
                                help_,
                                restoreOpener_,
                                restoreDriver_,
                                services_.folders.data,
                                services_.programFolder,
                                services_.options.lng,
                                {},
                                services_.folders.inProgram(QStringLiteral("stowarc")),
                                [](const QString& caption, const QString& start) {
                                    return QFileDialog::getExistingDirectory(nullptr, caption,
                                                                             start);
                                }};
    ui::RestoreWindow::open(restore, presetName);
}

ui::SchedulerWindow& DesktopWindows::schedulerWindow() {
    if (!schedulerWindow_) {
        schedulerWindow_ = std::make_unique<ui::SchedulerWindow>(ui::SchedulerWindowServices{
            services_.schedule, services_.presets, services_.options, services_.log,
            services_.messages, services_.clock, services_.prompts, help_, [this] {
                if (hideMainWindow_)
                    hideMainWindow_();
            }});
        schedulerWindow_->changeLang(services_.programFolder, services_.options.lng);
        skins_.attach(*schedulerWindow_, ui::SkinnedWindow::Scheduler);
    }
    return *schedulerWindow_;
}

void DesktopWindows::setPresetEditorParts(PresetEditorParts parts) {
    editorParts_ = std::make_unique<PresetEditorParts>(std::move(parts));
}

void DesktopWindows::openPresetEditor(const QString& presetName, ui::PresetEditorPage page) {
    if (!editorParts_) {
        ui::MissingWindowOpeners::openPresetEditor(presetName, page);
        return;
    }
    PresetEditorParts& parts = *editorParts_;
    backup::PresetList& list = parts.presetList;
    ui::PresetEditor editor(
        ui::PresetEditorServices{parts.folders, services_.messages, parts.flags, services_.prompts,
                                 parts.launcher, presetStore_,
                                 [&list] { return list.model().presetNames(); },
                                 [&list] { list.ScanPresets(); }, parts.discRecording,
                                 [this](const QString& topic) { help_.ShowHelpTopic(topic); },
                                 services_.programFolder, services_.options.lng},
        presetName);
    if (!editor.load(parts.isRunning && parts.isRunning(presetName)))
        return;
    if (page == ui::PresetEditorPage::FileLists)
        editor.showTab(ui::EditorTab::FileLists);
    editor.exec();
}

} // namespace stowline::app

namespace stowline::app {

void DesktopWindows::setUpSettings(SettingsParts parts, ui::MainWindow& mainWindow) {
    settings_.emplace(parts);
    mainWindow_ = &mainWindow;
    const QString skinFile = core::currentSkinPath(parts.program.folders().data);
    if (QFileInfo::exists(skinFile))
        skins_.setSkin(core::LoadSkin(skinFile), services_.options.ske);
    else
        services_.options.ske = false;
    skins_.attach(mainWindow, ui::SkinnedWindow::Main);
    applySkinToMainWindow();
}

void DesktopWindows::applySkinToMainWindow() {
    if (!mainWindow_)
        return;
    if (const auto background = skins_.errorLineBackground(), text = skins_.errorLineText();
        background && text)
        mainWindow_->setErrorLineColours(*background, *text);
    mainWindow_->applyOptions();
}

void DesktopWindows::openSettings(ui::SettingsTab tab) {
    if (!settings_)
        return ui::MissingWindowOpeners::openSettings(tab);
    core::Program& program = settings_->program;
    ui::SettingsServices services{
        program.options(),
        program.messages(),
        program.log(),
        services_.prompts,
        settings_->sound,
        settings_->startup,
        skins_,
        program.folders().program,
        program.folders().data,
        [this](const QString& topic) { help_.ShowHelpTopic(topic); },
        [&program](const core::topt& options) {
            return core::SaveOptions(options, program.folders().data);
        },
        [this](const QString& language) {
            if (mainWindow_)
                ui::ChangeLang(*mainWindow_, QStringLiteral("Form1"), services_.programFolder,
                               language,
                               {{},
                                {{QStringLiteral("Form1ListColumn"),
                                  mainWindow_->findChild<QWidget*>(QStringLiteral("list"))}}});
            if (schedulerWindow_)
                schedulerWindow_->changeLang(services_.programFolder, language);
        },
        [this] {
            applySkinToMainWindow();
            if (mainWindow_)
                showBinWindow(ui::binWindowFor(services_.options));
        },
        settings_->remote,
        settings_->dialup,
        settings_->binCleaning,
        [this, &program](QWidget* parent) {
            ui::LocateArchiverDialog locate(program.messages(), services_.prompts, QDir::rootPath(),
                                            {QStringLiteral("rar"), QStringLiteral("stowarc")},
                                            parent);
            locate.changeLang(program.folders().program, program.options().lng);
            return locate.exec() == QDialog::Accepted ? locate.result() : QString();
        }};
    if (mainWindow_)
        mainWindow_->setSettingsOpen(true);
    {
        ui::SettingsDialog dialog(std::move(services), tab, mainWindow_);
        dialog.exec();
    }
    if (mainWindow_)
        mainWindow_->setSettingsOpen(false);
}

namespace {

QString chooseFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(nullptr, title, start);
}

} // namespace

void DesktopWindows::openFolderWatchers() {
    if (!shell_)
        return MissingWindowOpeners::openFolderWatchers();
    if (!folderWatcherWindow_)
        folderWatcherWindow_ =
            std::make_unique<ui::FolderWatcherWindow>(ui::FolderWatcherWindowServices{
                shell_->watchers, services_.messages, services_.clock, services_.prompts,
                [this] { return services_.presets.presetNames(); }, chooseFolder});
    folderWatcherWindow_->changeLang(services_.programFolder, services_.options.lng);
    folderWatcherWindow_->openTasks();
}

void DesktopWindows::createShortcut(const QString& presetName) {
    if (!shortcutDialog_)
        shortcutDialog_ = std::make_unique<ui::ShortcutDialog>(ui::ShortcutDialogServices{
            services_.messages, services_.prompts, QCoreApplication::applicationFilePath(),
            [this] { return services_.presets.presetNames(); },
            [](const QString& title) { return chooseFolder(title, QString()); },
            [this](const QString& topic) { help_.ShowHelpTopic(topic); }, shell::applicationsFolder,
            shell::desktopFolder});
    shortcutDialog_->changeLang(services_.programFolder, services_.options.lng);
    shortcutDialog_->openFor(presetName);
}

void DesktopWindows::showBinWindow(ui::BinWindow window) {
    if (!shell_)
        return MissingWindowOpeners::showBinWindow(window);
    const core::topt& options = services_.options;
    const std::optional<shell::BinKind> kind =
        shell::shownBinWindow(options.obt, options.obk, options.obr);
    if (!kind) {
        if (binWindow_)
            binWindow_->hide();
        return;
    }
    if (!binWindow_) {
        binWindow_ =
            std::make_unique<ui::BinDropWindow>(shell_->archives, [this](shell::BinKind shown) {
                // Opened with the archiver, nobody waits for it.
                shell_->launcher.startDetached(services_.options.pwi,
                                               platform::QuoteCommandLineArgument(
                                                   shell::binArchivePath(services_.options, shown)),
                                               false);
            });
        // The skin's main-window picture replaces the plain face while skins are on.
        binWindow_->setBackgroundPainter(
            [this](QPainter& painter, const QRect& area, shell::BinKind shown) {
                const QImage picture =
                    skins_.enabled() ? skins_.picture(ui::SkinnedWindow::Bin) : QImage();
                if (picture.isNull())
                    return ui::paintPlainBinFace(painter, area, shown);
                ui::drawSkinPicture(painter, area.size(), picture,
                                    skins_.pictureStyle(ui::SkinnedWindow::Bin));
            });
        binWindow_->placeInCorner();
    }
    binWindow_->setKind(*kind);
    binWindow_->show();
}

} // namespace stowline::app
