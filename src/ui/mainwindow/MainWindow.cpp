#include "ui/mainwindow/MainWindow.h"

#include "backup/PresetList.h"
#include "backup/PresetListModel.h"
#include "core/Clock.h"
#include "core/Language.h"
#include "core/Program.h"
#include "platform/ProcessLauncher.h"
#include "platform/Prompts.h"
#include "scheduler/Schedule.h"
#include "ui/FormCaptions.h"
#include "ui/mainwindow/LogLineDelegate.h"
#include "ui/mainwindow/MainWindowRules.h"
#include "ui/mainwindow/PresetViewModel.h"
#include "ui/tray/ProgramIcon.h"
#include "ui/tray/TrayIcon.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <array>

namespace stowline::ui {

namespace {
constexpr int kBalloonMilliseconds = 3000;
constexpr const char* kWindowName = "Form1";
constexpr const char* kManualTopic = "index.htm";
constexpr const char* kToolbarPrefix = "ToolButton";
} // namespace

struct MainWindow::Command {
    // Menu items and toolbar buttons: object names in the window, blank-separated.
    const char* items;
    std::array<int, 2> keys;
    bool needsSelection;
    void (MainWindow::*handler)();
};

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)), ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    setWindowIcon(programIcon(false));
    exportFileChooser_ = [this] {
        return QFileDialog::getSaveFileName(this, QString(), s_.program.folders().data,
                                            QStringLiteral("*.txt"));
    };
    setUpViews();
    setUpMenus();
    defineCommands();
    fillShortcutBar();
    ChangeLang(*this, QString::fromLatin1(kWindowName), s_.program.folders().program,
               s_.program.options().lng, {{}, {{QStringLiteral("Form1ListColumn"), ui_->list}}});
    ui_->sendabortrequest->setText(s_.program.messages().text(u"sendabortrequest"));

    s_.tray.setMenu(trayMenu_);
    connect(&s_.tray, &TrayIcon::clicked, this, &MainWindow::showTrayBalloon);
    connect(&s_.tray, &TrayIcon::doubleClicked, this, &MainWindow::toggleShowHide);
    connect(&s_.program, &core::Program::savingState, this, &MainWindow::storePlacement);
    connect(&s_.program, &core::Program::hideToTrayRequested, this, &MainWindow::hideMainWindow);
    connect(&s_.program, &core::Program::finished, this, [this] { s_.tray.setShown(false); });

    applyPlacement();
    applyOptions();
}

MainWindow::~MainWindow() = default;

void MainWindow::setUpViews() {
    backup::PresetListModel& model = s_.presets.model();
    presetView_ = new PresetViewModel(this);
    presetView_->setSourceModel(&model);
    ui_->list->setModel(presetView_);
    ui_->list->setSelectionMode(QAbstractItemView::SingleSelection);
    ui_->list->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui_->list->installEventFilter(this);
    QHeaderView* header = ui_->list->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        s_.presets.model().sortByHeaderClick(column, s_.program.options());
        mirrorModelSelection();
    });
    connect(ui_->list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (mirroringSelection_ || !current.isValid())
                    return;
                s_.presets.model().select(
                    current.siblingAtColumn(0).data(Qt::DisplayRole).toString());
            });
    connect(&model, &backup::PresetListModel::selectionChanged, this,
            &MainWindow::mirrorModelSelection);
    connect(&model, &QAbstractItemModel::modelReset, this, &MainWindow::mirrorModelSelection);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &MainWindow::mirrorModelSelection);
    connect(ui_->list, &QAbstractItemView::doubleClicked, this, [this] {
        if (!selectedPreset().isEmpty())
            runSelected();
    });
    connect(ui_->list, &QWidget::customContextMenuRequested, this,
            &MainWindow::openPresetContextMenu);

    core::LogListModel& log = s_.program.log().model();
    ui_->loglist->setModel(&log);
    logDelegate_ = new LogLineDelegate(ui_->loglist);
    ui_->loglist->setItemDelegate(logDelegate_);
    ui_->loglist->installEventFilter(this);
    connect(ui_->loglist, &QAbstractItemView::clicked, this, &MainWindow::showLogLineDetails);
    connect(&log, &QAbstractItemModel::rowsInserted, this, &MainWindow::scrollLogToEnd);
    connect(&log, &QAbstractItemModel::modelReset, this, &MainWindow::scrollLogToEnd);
    connect(&log, &core::LogListModel::scrollToLineRequested, this, [this](int row) {
        ui_->loglist->scrollTo(s_.program.log().model().index(row),
                               QAbstractItemView::PositionAtTop);
    });

    statusBar()->addWidget(ui_->progressLabel, 1);
    statusBar()->addPermanentWidget(ui_->Button1);
    connect(ui_->Button1, &QPushButton::clicked, this, &MainWindow::requestAbort);
    ui_->ToolBar2->hide();
    ui_->ToolBar2->installEventFilter(this);
}

void MainWindow::setUpMenus() {
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("mainmenu"));
    trayMenu_->addActions({ui_->ShowHide1, ui_->Scheduler2});
    trayMenu_->addSeparator();
    trayMenu_->addAction(ui_->Exit2);

    presetMenu_ = new QMenu(this);
    presetMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    presetMenu_->addActions({ui_->Run2, ui_->Archivingoptions2, ui_->Editincludeexcludelists2,
                             ui_->Duplicate2, ui_->Rename2, ui_->Delete2, ui_->Schedule1,
                             ui_->Createashortcut2, ui_->Restore2});
    presetMenu_->addSeparator();
    presetMenu_->addAction(ui_->New2);

    const QStyle* style = this->style();
    const std::initializer_list<std::pair<QAction*, QStyle::StandardPixmap>> icons = {
        {ui_->ToolButton23, QStyle::SP_MediaPlay},
        {ui_->ToolButton7, QStyle::SP_FileIcon},
        {ui_->ToolButton9, QStyle::SP_FileDialogDetailedView},
        {ui_->ToolButton4, QStyle::SP_FileDialogNewFolder},
        {ui_->ToolButton5, QStyle::SP_FileLinkIcon},
        {ui_->ToolButton6, QStyle::SP_TrashIcon},
        {ui_->ToolButton2, QStyle::SP_FileDialogContentsView},
        {ui_->ToolButton3, QStyle::SP_DesktopIcon},
        {ui_->ToolButton20, QStyle::SP_DialogResetButton},
        {ui_->ToolButton8, QStyle::SP_FileDialogListView},
        {ui_->ToolButton21, QStyle::SP_DirOpenIcon},
        {ui_->ToolButton1, QStyle::SP_ComputerIcon},
        {ui_->ToolButton12, QStyle::SP_DialogSaveButton},
        {ui_->ToolButton16, QStyle::SP_ArrowDown},
        {ui_->ToolButton17, QStyle::SP_DialogDiscardButton},
        {ui_->ToolButton18, QStyle::SP_MessageBoxWarning},
        {ui_->ToolButton10, QStyle::SP_DialogHelpButton},
        {ui_->ToolButton11, QStyle::SP_DriveNetIcon},
    };
    for (const auto& [action, pixmap] : icons)
        action->setIcon(style->standardIcon(pixmap));
}

void MainWindow::defineCommands() {
    using W = MainWindow;
    const Command table[] = {
        {"Run1 ToolButton23 Run2", {}, true, &W::runSelected},
        {"New1 ToolButton7 New2", {Qt::Key_Insert}, false, &W::newPreset},
        {"Archivingoptions1 ToolButton9 Archivingoptions2",
         {Qt::Key_F4},
         true,
         &W::editArchivingOptions},
        {"Editincludeexcludelists1 Editincludeexcludelists2", {}, true, &W::editFileLists},
        {"Duplicate1 ToolButton4 Duplicate2", {Qt::Key_F5}, true, &W::duplicatePreset},
        {"Rename1 ToolButton5 Rename2", {Qt::Key_F2, Qt::Key_F6}, true, &W::renamePreset},
        {"Delete1 ToolButton6 Delete2", {Qt::Key_Delete, Qt::Key_F8}, true, &W::deletePreset},
        {"Scheduling1 ToolButton2 Schedule1", {Qt::Key_F7}, true, &W::schedulePreset},
        {"Createashortcut1 ToolButton3 Createashortcut2", {}, true, &W::createShortcut},
        {"Restore1 ToolButton20 Restore2", {Qt::Key_F3}, true, &W::restorePreset},
        {"Scheduler1 Scheduler2 ToolButton8", {}, false, &W::openScheduler},
        {"Settings1 General1 ToolButton1",
         {Qt::Key_F9},
         false,
         &W::openSettings<SettingsTab::General>},
        {"Interface1", {}, false, &W::openSettings<SettingsTab::Interface>},
        {"RemoteAccess1", {}, false, &W::openSettings<SettingsTab::RemoteAccess>},
        {"Dialup1", {}, false, &W::openSettings<SettingsTab::Dialup>},
        {"Errormanagement1", {}, false, &W::openSettings<SettingsTab::ErrorManagement>},
        {"Security1", {}, false, &W::openSettings<SettingsTab::Security>},
        {"Appearance1", {}, false, &W::openSettings<SettingsTab::Appearance>},
        {"SWLBIN1", {}, false, &W::openSettings<SettingsTab::SwlBin>},
        {"Exportlogtoatextfile1 ToolButton12", {}, false, &W::exportLog},
        {"Truncatelog1 ToolButton16", {}, false, &W::truncateLog},
        {"Clearlogallrecords1 ToolButton17", {}, false, &W::clearLog},
        {"ViewWinRARlog1 ToolButton18", {}, false, &W::viewArchiverLog},
        {"Manual1 ToolButton10", {Qt::Key_F1}, false, &W::showManual},
        {"ShowHide1", {}, false, &W::toggleShowHide},
        {"Exit1 Exit2", {Qt::Key_F10}, false, &W::exitProgram},
        {"sendabortrequest", {}, false, &W::requestAbort},
        {"", {Qt::Key_F11}, false, &W::toggleShortcutBar},
        {"ShellNotifier1 ToolButton21", {}, false, &W::openFolderWatchers},
        {"Off1", {}, false, &W::hideBinWindow},
        {"Keeper1", {}, false, &W::showKeeperWindow},
        {"Recycle1", {}, false, &W::showRecycleWindow},
        {"Homepage1 ToolButton11", {}, false, &W::openWebPage},
    };
    for (const Command& command : table)
        bindCommand(command);
}

void MainWindow::bindCommand(const Command& command) {
    const qsizetype index = commands_.size();
    commands_.append(command);
    for (const QString& name :
         QString::fromLatin1(command.items).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto* action = findChild<QAction*>(name);
        Q_ASSERT(action);
        if (!action)
            continue;
        const Origin origin = name.startsWith(QLatin1String(kToolbarPrefix)) ? Origin::Toolbar
                              : presetMenu_->actions().contains(action)      ? Origin::ContextMenu
                                                                             : Origin::Menu;
        connect(action, &QAction::triggered, this,
                [this, index, origin] { carryOut(commands_.at(index), origin); });
    }
    for (int key : command.keys)
        if (key != 0)
            keyCommands_.insert(key, index);
}

void MainWindow::carryOut(const Command& command, Origin origin) {
    if (command.needsSelection && selectedPreset().isEmpty()) {
        // The keys and the disabled items of the context menu do nothing.
        if (origin == Origin::Toolbar || origin == Origin::Menu)
            s_.prompts.showMessage(QLatin1Char('\n') +
                                   s_.program.messages().text(u"selectapreset"));
        return;
    }
    (this->*command.handler)();
}

bool MainWindow::handleCommandKey(int key, Qt::KeyboardModifiers modifiers) {
    const auto found = keyCommands_.constFind(key);
    if (found == keyCommands_.constEnd() || !commandKeysAllowed(modifiers))
        return false;
    carryOut(commands_.at(*found), Origin::Key);
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (!handleCommandKey(event->key(), event->modifiers()))
        QMainWindow::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->ToolBar2 && event->type() == QEvent::Enter) {
        ui_->ToolBar2->hide();
        return false;
    }
    if (event->type() != QEvent::KeyPress || (watched != ui_->list && watched != ui_->loglist))
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool runKey =
        key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (watched == ui_->list && runKey) {
        if (commandKeysAllowed(key->modifiers()) && !selectedPreset().isEmpty())
            runSelected();
        return true;
    }
    return handleCommandKey(key->key(), key->modifiers());
}

QString MainWindow::selectedPreset() const {
    return s_.presets.model().selectedPreset();
}

void MainWindow::mirrorModelSelection() {
    const int row = s_.presets.model().selectedRow();
    QItemSelectionModel* selection = ui_->list->selectionModel();
    mirroringSelection_ = true;
    if (row < 0) {
        selection->clear();
    } else {
        const QModelIndex index = presetView_->index(row, 0);
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ui_->list->scrollTo(index);
    }
    mirroringSelection_ = false;
    const core::topt& options = s_.program.options();
    const int column = options.lvc;
    const bool ascending = column == 0 ? options.lt1 : column == 1 ? options.lt2 : options.lt3;
    ui_->list->header()->setSortIndicator(column,
                                          ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

bool MainWindow::adminPasswordAccepted(bool protectedByOption) {
    if (!protectedByOption)
        return true;
    const core::MessageTable& messages = s_.program.messages();
    QString typed;
    if (!s_.prompts.askText(messages.text(u"enteradminpassword"), QString(), typed, true))
        return false;
    if (typed != s_.program.options().sgp) {
        s_.prompts.showError(QLatin1Char('\n') + messages.text(u"incorrectpassword"));
        return false;
    }
    return true;
}

bool MainWindow::refusedWhileRunning(const QString& presetName) {
    if (!s_.program.flags().OperationInProgress ||
        s_.program.log().currentPresetName() != presetName)
        return false;
    s_.prompts.showMessage(QLatin1Char('\n') + s_.program.messages().text(u"presetisrunningnow"));
    return true;
}

void MainWindow::runSelected() {
    if (!s_.program.flags().OperationInProgress)
        s_.runPreset();
}

void MainWindow::newPreset() {
    if (s_.presets.NewPreset())
        s_.openers.openPresetEditor(QString::fromLatin1(backup::kNewPresetMarker),
                                    PresetEditorPage::General);
}

void MainWindow::editArchivingOptions() {
    if (!refusedWhileRunning(selectedPreset()))
        s_.openers.openPresetEditor(selectedPreset(), PresetEditorPage::General);
}

void MainWindow::editFileLists() {
    if (!refusedWhileRunning(selectedPreset()))
        s_.openers.openPresetEditor(selectedPreset(), PresetEditorPage::FileLists);
}

void MainWindow::duplicatePreset() {
    s_.presets.DuplicatePreset();
}

void MainWindow::renamePreset() {
    if (!refusedWhileRunning(selectedPreset()))
        s_.presets.RenamePreset();
}

void MainWindow::deletePreset() {
    if (!refusedWhileRunning(selectedPreset()))
        s_.presets.DeletePreset();
}

void MainWindow::schedulePreset() {
    if (adminPasswordAccepted(s_.program.options().sph))
        s_.openers.openSchedulerWindow(selectedPreset());
}

void MainWindow::createShortcut() {
    if (adminPasswordAccepted(s_.program.options().spm))
        s_.openers.createShortcut(selectedPreset());
}

void MainWindow::restorePreset() {
    const QString name = selectedPreset();
    if (QFileInfo::exists(s_.program.folders().presets + QLatin1Char('/') + name +
                          QStringLiteral(".hst")))
        s_.openers.openRestore(name);
}

void MainWindow::openScheduler() {
    if (adminPasswordAccepted(s_.program.options().sph))
        s_.openers.openSchedulerWindow(QString());
}

template <SettingsTab tab> void MainWindow::openSettings() {
    if (adminPasswordAccepted(s_.program.options().sps))
        s_.openers.openSettings(tab);
}

void MainWindow::exportLog() {
    const QString path = exportFileChooser_();
    if (path.isEmpty())
        return;
    QString error;
    if (!s_.program.log().ExportTo(path, &error))
        s_.prompts.showError(QLatin1Char('\n') + error);
}

void MainWindow::truncateLog() {
    s_.program.log().TruncateLog();
}

void MainWindow::clearLog() {
    s_.program.log().DeleteAllRecords(s_.prompts);
}

void MainWindow::viewArchiverLog() {
    const core::MessageTable& messages = s_.program.messages();
    const QString path = s_.program.folders().inData(QStringLiteral("winrar.log"));
    if (!QFileInfo::exists(path)) {
        s_.prompts.showMessage(QLatin1Char('\n') + messages.text(u"nowinrarlogfile"));
        return;
    }
    if (!s_.launcher.startDetached(path, QString(), false))
        s_.prompts.showError(QLatin1Char('\n') + messages.text(u"cannotexecutecommand"));
}

void MainWindow::showManual() {
    s_.openers.showHelpTopic(QString::fromLatin1(kManualTopic));
}

void MainWindow::exitProgram() {
    s_.program.requestClose();
}

void MainWindow::requestAbort() {
    s_.program.flags().AbortRequested = true;
}

void MainWindow::toggleShortcutBar() {
    ui_->ToolBar2->setVisible(!ui_->ToolBar2->isVisible());
}

void MainWindow::openFolderWatchers() {
    s_.openers.openFolderWatchers();
}

void MainWindow::hideBinWindow() {
    s_.program.options().obt = 0;
    s_.openers.showBinWindow(BinWindow::Off);
}

void MainWindow::showKeeperWindow() {
    core::topt& options = s_.program.options();
    if (!options.obk) {
        s_.prompts.showMessage(QLatin1Char('\n') + s_.program.messages().text(u"nokeeperenabled"));
        return;
    }
    options.obt = 1;
    s_.openers.showBinWindow(BinWindow::Keeper);
}

void MainWindow::showRecycleWindow() {
    core::topt& options = s_.program.options();
    if (!options.obr) {
        s_.prompts.showMessage(QLatin1Char('\n') + s_.program.messages().text(u"norecycleenabled"));
        return;
    }
    options.obt = 2;
    s_.openers.showBinWindow(BinWindow::Recycle);
}

void MainWindow::openWebPage() {
    s_.openers.openWebPage();
}

void MainWindow::fillShortcutBar() {
    const std::initializer_list<std::pair<const char*, QAction*>> keys = {
        {"F1", ui_->Manual1},           {"F2", ui_->Rename1},    {"F3", ui_->Restore1},
        {"F4", ui_->Archivingoptions1}, {"F5", ui_->Duplicate1}, {"F7", ui_->Scheduling1},
        {"F8", ui_->Delete1},           {"F9", ui_->Settings1},  {"F10", ui_->Exit1},
    };
    for (const auto& [key, action] : keys) {
        auto* label = new QLabel(ui_->ToolBar2);
        QString text = action->text();
        text.remove(QLatin1Char('&'));
        label->setText(QStringLiteral("<b>%1</b> %2  ")
                           .arg(QLatin1String(key), text.section(QLatin1Char('\t'), 0, 0)));
        ui_->ToolBar2->addWidget(label);
    }
}

void MainWindow::openPresetContextMenu(const QPoint& position) {
    const QList<QAction*> items = presetMenu_->actions();
    const bool selected = !selectedPreset().isEmpty();
    for (qsizetype i = 0; i + 1 < items.size(); ++i)
        items[i]->setEnabled(selected);
    presetMenu_->popup(ui_->list->viewport()->mapToGlobal(position));
}

void MainWindow::showLogLineDetails(const QModelIndex& index) {
    const LogLineDetails details = logLineDetails(index.data(Qt::DisplayRole).toString(),
                                                  s_.clock.now(), s_.program.messages());
    if (details.isError)
        s_.prompts.showError(details.text);
    else
        s_.prompts.showMessage(details.text);
}

void MainWindow::showTrayBalloon() {
    const core::topt& options = s_.program.options();
    if (options.dtb)
        return;
    const core::MessageTable& messages = s_.program.messages();
    s_.tray.showBalloon(trayBalloonTitle(messages),
                        trayBalloonText(options.son, s_.schedule.entries(),
                                        s_.program.flags().OperationInProgress,
                                        s_.program.log().currentPresetName(), messages),
                        kBalloonMilliseconds);
}

void MainWindow::showAtStart() {
    refreshTrayIcon();
    if (!keepHiddenAtStart_) {
        showMainWindow();
        return;
    }
    // A program started hidden may stay so for weeks: its log is shortened and its
    // readiness reported now all the same, as without a display.
    QTimer::singleShot(0, &s_.program, &core::Program::mainWindowActivated);
}

void MainWindow::showMainWindow() {
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::hideMainWindow() {
    keepHiddenAtStart_ = true;
    hide();
}

void MainWindow::refreshTrayIcon() {
    s_.tray.setShown(false);
    s_.tray.setShown(true);
}

void MainWindow::toggleShowHide() {
    if (isVisible())
        hideMainWindow();
    else if (adminPasswordAccepted(s_.program.options().spa))
        showMainWindow();
}

void MainWindow::showRunProgress(const QString& text) {
    ui_->progressLabel->setText(text);
    s_.tray.setToolTip(trayToolTip(text));
}

void MainWindow::setSettingsOpen(bool open) {
    for (QAction* action : trayMenu_->actions())
        action->setEnabled(!open);
}

void MainWindow::setErrorLineColours(const QColor& background, const QColor& text) {
    logDelegate_->setErrorColours(background, text);
    ui_->loglist->viewport()->update();
}

void MainWindow::setExportFileChooser(std::function<QString()> chooser) {
    exportFileChooser_ = std::move(chooser);
}

void MainWindow::applyOptions() {
    const core::topt& options = s_.program.options();
    ui_->ToolBar1->setVisible(!options.dit);
    const auto setFontSize = [](QWidget* view, int size) {
        if (size <= 0)
            return;
        QFont font = view->font();
        font.setPointSize(size);
        view->setFont(font);
    };
    setFontSize(ui_->list, options.pfs);
    setFontSize(ui_->loglist, options.lfs);
    logDelegate_->setColouring(options.ske);
    ui_->loglist->reset();
    s_.presets.model().applySortOptions(options);
    layOutLists();
}

void MainWindow::applyPlacement() {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // The stored frame is the window's normal geometry, as storePlacement writes it.
    setGeometry(startupPlacement(s_.program.options(), screens));
}

void MainWindow::storePlacement() {
    core::topt& options = s_.program.options();
    const QRect frame = normalGeometry();
    options.px1 = frame.left();
    options.py1 = frame.top();
    options.px2 = frame.width();
    options.py2 = frame.height();
}

void MainWindow::layOutLists() {
    const core::topt& options = s_.program.options();
    const ListPlacement placement = listPlacement(ui_->centralwidget->size(), options.plh);
    ui_->list->setGeometry(placement.presetList);
    ui_->loglist->setGeometry(placement.logList);
    QHeaderView* header = ui_->list->header();
    if (options.acw) {
        const std::array<int, 3> widths =
            automaticColumnWidths(placement.presetList.width(), width());
        for (int column = 0; column < 3; ++column)
            header->resizeSection(column, widths[column]);
    } else if (!columnWidthsApplied_) {
        // The stored widths are applied once; the person's own widths stay afterwards.
        header->resizeSection(0, options.c1w);
        header->resizeSection(1, options.c2w);
        header->resizeSection(2, options.c3w);
        columnWidthsApplied_ = true;
    }
    scrollLogToEnd();
}

void MainWindow::scrollLogToEnd() {
    ui_->loglist->scrollToBottom();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layOutLists();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    layOutLists();
    if (shownOnce_)
        return;
    shownOnce_ = true;
    s_.program.mainWindowActivated();
    scrollLogToEnd();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool wasMaximized = change->oldState().testFlag(Qt::WindowMaximized);
    if (isMaximized() && !wasMaximized) {
        const QScreen* screen = this->screen();
        frameAfterMaximize_ =
            screen ? restoredFrameAfterMaximize(normalGeometry(), screen->availableGeometry())
                   : std::nullopt;
    } else if (wasMaximized && !isMaximized() && !isMinimized() && frameAfterMaximize_) {
        setGeometry(*frameAfterMaximize_);
        frameAfterMaximize_.reset();
    }
    if (isMinimized() && !s_.program.options().smz) {
        // Minimizing hides the window to the tray instead.
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hideMainWindow();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (s_.program.options().hic) {
        hideMainWindow();
        return;
    }
    s_.program.requestClose();
}

} // namespace stowline::ui
