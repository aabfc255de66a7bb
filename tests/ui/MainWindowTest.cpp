#include "ui/mainwindow/MainWindow.h"

#include "backup/PresetList.h"
#include "core/Clock.h"
#include "core/DataFolder.h"
#include "core/Program.h"
#include "core/TextFiles.h"
#include "platform/fakes/FakeInstanceLock.h"
#include "platform/fakes/FakeSystemPaths.h"
#include "platform/fakes/RecordingProcessLauncher.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "platform/fakes/RecordingStartupRegistration.h"
#include "scheduler/PresetCatalog.h"
#include "scheduler/Schedule.h"
#include "ui/mainwindow/PresetViewModel.h"
#include "ui/tray/RecordingTrayIcon.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <optional>

namespace stowline::ui {
namespace {

// Records which window a command asked for.
class RecordingOpeners final : public WindowOpeners {
public:
    void openSchedulerWindow(const QString& name) override { opened << "scheduler:" + name; }
    void showHelpTopic(const QString& topic) override { opened << "help:" + topic; }
    void openSettings(SettingsTab tab) override {
        opened << QStringLiteral("settings:%1").arg(static_cast<int>(tab));
    }
    void openPresetEditor(const QString& name, PresetEditorPage page) override {
        opened << QStringLiteral("editor:%1:%2").arg(name).arg(static_cast<int>(page));
    }
    void openRestore(const QString& name) override { opened << "restore:" + name; }
    void openFolderWatchers() override { opened << QStringLiteral("watchers"); }
    void createShortcut(const QString& name) override { opened << "shortcut:" + name; }
    void showBinWindow(BinWindow window) override {
        opened << QStringLiteral("bin:%1").arg(static_cast<int>(window));
    }
    void openWebPage() override { opened << QStringLiteral("web"); }
    QStringList opened;
};

class ModelCatalog final : public scheduler::PresetCatalog {
public:
    explicit ModelCatalog(backup::PresetListModel& model) : model_(model) {}
    QStringList presetNames() const override { return model_.presetNames(); }
    void setNextRunText(int row, const QString& text) override { model_.setNextRunText(row, text); }
    QString lastRunText(int row) const override { return model_.entries().value(row).lastRunText; }
    void setLastRunText(int row, const QString& text) override { model_.setLastRunText(row, text); }

private:
    backup::PresetListModel& model_;
};

class ClosingAnswer final : public core::ExitConfirmation {
public:
    core::ExitChoice confirmExit(const core::MessageTable&) override {
        ++asked;
        return core::ExitChoice::Close;
    }
    int asked = 0;
};

class NoChooser final : public core::DataFolderChooser {
public:
    QString chooseDataFolder(const core::DataFolderSetup&) override { return {}; }
};

// A started program on temporary folders with three presets, and its main window.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
        : paths(root.path()), clock(QDateTime(QDate(2016, 3, 8), QTime(8, 0))),
          program(core::ProgramServices{lock, paths, prompts, sound, clock, chooser, exitAnswer,
                                        registration},
                  {}, QSize(1280, 1024)) {
        const QString data = root.filePath(QStringLiteral("data"));
        QDir().mkpath(paths.program);
        QDir().mkpath(data);
        core::writeTextLinesAtomically(paths.program + QStringLiteral("/swlinfo.dat"), {data});
        paths.archivers = {paths.program + QStringLiteral("/stowarc")};
        core::writeTextLinesAtomically(paths.archivers.first(), {});
        EXPECT_TRUE(program.start());
        QObject::connect(&program, &core::Program::finished, [this] { finished = true; });
        presets.emplace(program.folders(), program.options(), program.messages(), program.log(),
                        prompts);
        presets->model().replaceEntries({
            {QStringLiteral("Mail"), QString(), QStringLiteral("2016.03.01 02:00:00 "), {}},
            {QStringLiteral("Docs"), QString(), QStringLiteral("2016.03.01 02:00:00 "), {}},
            {QStringLiteral("Photos"), QString(), QStringLiteral("2016.03.05 02:00:00 "), {}},
        });
        catalog.emplace(presets->model());
        schedule.emplace(program.folders(), program.log(), program.messages(), *catalog);
    }

    MainWindow& window() {
        if (!window_) {
            window_.emplace(MainWindowServices{program, *presets, *schedule, clock, prompts,
                                               launcher, openers, tray, [this] {
                                                   ++runs;
                                                   if (duringRun)
                                                       duringRun();
                                               }});
            window_->showAtStart();
        }
        return *window_;
    }
    QTreeView* presetView() { return window().findChild<QTreeView*>(QStringLiteral("list")); }
    QAction* action(const char* name) {
        return window().findChild<QAction*>(QString::fromLatin1(name));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(presetView(), static_cast<Qt::Key>(key), modifiers);
    }
    QStringList viewOrder() {
        QStringList names;
        QAbstractItemModel* model = presetView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }
    QString selectAPreset() const { return QStringLiteral("\nPlease select a preset first."); }

    QTemporaryDir root;
    platform::FakeSystemPaths paths;
    core::ManualClock clock;
    platform::FakeInstanceLock lock;
    platform::RecordingPrompts prompts;
    platform::RecordingSoundPlayer sound;
    platform::RecordingStartupRegistration registration;
    platform::RecordingProcessLauncher launcher;
    NoChooser chooser;
    ClosingAnswer exitAnswer;
    core::Program program;
    std::optional<backup::PresetList> presets;
    std::optional<ModelCatalog> catalog;
    std::optional<scheduler::Schedule> schedule;
    RecordingOpeners openers;
    RecordingTrayIcon tray;
    std::function<void()> duringRun;
    int runs = 0;
    bool finished = false;
    std::optional<MainWindow> window_;
};

TEST_F(MainWindowTest, WithoutSelectionKeysDoNothingButToolbarButtonsAsk) {
    window();
    presetView()->setFocus();
    for (int key : {Qt::Key_F4, Qt::Key_F5, Qt::Key_F2, Qt::Key_Delete, Qt::Key_F7, Qt::Key_F3,
                    Qt::Key_Return, Qt::Key_Space})
        press(key);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(openers.opened.isEmpty());
    EXPECT_EQ(runs, 0);

    for (const char* button : {"ToolButton23", "ToolButton9", "ToolButton4", "ToolButton5",
                               "ToolButton6", "ToolButton2", "ToolButton3", "ToolButton20"}) {
        prompts.messages.clear();
        action(button)->trigger();
        EXPECT_EQ(prompts.messages, QStringList{selectAPreset()}) << button;
    }
    EXPECT_TRUE(openers.opened.isEmpty());
    EXPECT_EQ(runs, 0);
}

TEST_F(MainWindowTest, ContextMenuEnablesItsItemsBesidesTheLastOnlyWithASelection) {
    auto* menu = window().findChild<QMenu*>(QStringLiteral("PopupMenu1"));
    const auto enabledItems = [&] {
        QList<bool> enabled;
        for (QAction* item : menu->actions())
            if (!item->isSeparator())
                enabled << item->isEnabled();
        return enabled;
    };
    for (const QString& selected : {QString(), QStringLiteral("Docs")}) {
        if (!selected.isEmpty())
            presets->model().select(selected);
        emit presetView()->customContextMenuRequested(QPoint(5, 5));
        const QList<bool> enabled = enabledItems();
        EXPECT_EQ(enabled.count(true), selected.isEmpty() ? 1 : enabled.size())
            << selected.toStdString();
        EXPECT_TRUE(enabled.last());
        menu->hide();
    }
}

TEST_F(MainWindowTest, KeysActOnTheSelectionUnlessAltOrCtrlIsHeldAlone) {
    presets->model().select(QStringLiteral("Docs"));
    window();
    presetView()->setFocus();
    press(Qt::Key_F4, Qt::AltModifier);
    press(Qt::Key_F7, Qt::ControlModifier);
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(openers.opened.isEmpty());
    EXPECT_EQ(runs, 0);

    press(Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier);
    press(Qt::Key_F7);
    press(Qt::Key_F1, Qt::ShiftModifier);
    press(Qt::Key_Return);
    press(Qt::Key_Space);
    EXPECT_EQ(openers.opened,
              (QStringList{QStringLiteral("editor:Docs:0"), QStringLiteral("scheduler:Docs"),
                           QStringLiteral("help:index.htm")}));
    EXPECT_EQ(runs, 2);
}

TEST_F(MainWindowTest, SelectionFollowsTheViewAndRestoreNeedsADeliveryHistory) {
    window();
    presetView()->setCurrentIndex(presetView()->model()->index(2, 1));
    const QString selected = presets->model().selectedPreset();
    EXPECT_EQ(selected, viewOrder().at(2));
    action("Restore1")->trigger();
    EXPECT_TRUE(openers.opened.isEmpty());
    core::writeTextLinesAtomically(program.folders().presets + '/' + selected + ".hst", {});
    action("Restore1")->trigger();
    EXPECT_EQ(openers.opened, QStringList{"restore:" + selected});
}

TEST_F(MainWindowTest, DescendingSortKeepsEqualRowsByNameAscending) {
    window();
    QHeaderView* header = presetView()->header();
    program.options().lt3 = true;
    emit header->sectionClicked(2);
    EXPECT_FALSE(program.options().lt3);
    EXPECT_EQ(program.options().lvc, 2);
    EXPECT_EQ(viewOrder(), (QStringList{"Photos", "Docs", "Mail"}));
    emit header->sectionClicked(2);
    EXPECT_EQ(viewOrder(), (QStringList{"Docs", "Mail", "Photos"}));
}

TEST_F(MainWindowTest, TrayClickShowsTheFirstEntriesUnlessBalloonsAreOff) {
    for (int i = 0; i < 5; ++i) {
        scheduler::tschopt entry;
        entry.date = QDateTime(QDate(2016, 3, 9 + i), QTime(2, 0));
        entry.presname = QStringLiteral("Docs");
        schedule->insert(entry);
    }
    program.options().son = true;
    window();
    emit tray.clicked();
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons[0].title, QStringLiteral("Stowline - Scheduler"));
    EXPECT_EQ(tray.balloons[0].text.split(QStringLiteral("\r\n")),
              (QStringList{"2016.03.09 02:00:00 - Docs", "2016.03.10 02:00:00 - Docs",
                           "2016.03.11 02:00:00 - Docs", "...", ""}));
    EXPECT_EQ(tray.balloons[0].milliseconds, 3000);

    program.options().dtb = true;
    emit tray.clicked();
    EXPECT_EQ(tray.balloons.size(), 1);
    ASSERT_TRUE(window().isVisible());
    emit tray.doubleClicked();
    EXPECT_FALSE(window().isVisible());
    emit tray.doubleClicked();
    EXPECT_TRUE(window().isVisible());
}

TEST_F(MainWindowTest, AWindowAsWideAsTheScreenRestoresCentredAfterMaximize) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window().setGeometry(screen.left(), screen.top() + 20, screen.width() - 10, 300);
    window().showMaximized();
    QCoreApplication::processEvents();
    window().showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(window().geometry().size(), QSize(620, 440));
    EXPECT_EQ(window().geometry().center(), screen.center());

    window().setGeometry(screen.left() + 10, screen.top() + 20, 400, 300);
    window().showMaximized();
    QCoreApplication::processEvents();
    window().showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(window().geometry().size(), QSize(400, 300));
}

TEST_F(MainWindowTest, ClosingIsRefusedDuringARunAndHidesWithHideInsteadOfClose) {
    presets->model().select(QStringLiteral("Docs"));
    duringRun = [this] {
        core::OperationScope busy(program.flags());
        program.log().setCurrentPresetName(QStringLiteral("Docs"));
        window().close();
        action("Exit1")->trigger();
        // The running preset cannot be renamed, deleted or edited meanwhile.
        for (const char* item : {"Rename1", "Delete1", "Archivingoptions1"})
            action(item)->trigger();
    };
    action("Run1")->trigger();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(exitAnswer.asked, 0);
    EXPECT_EQ(prompts.messages,
              QStringList(3, QStringLiteral("\nThis preset is running at the moment; please wait "
                                            "until it has finished.")));
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(openers.opened.isEmpty());

    program.options().hic = true;
    window().close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(finished);

    program.options().hic = false;
    window().showMainWindow();
    window().setGeometry(40, 50, 700, 460);
    window().close();
    EXPECT_EQ(exitAnswer.asked, 1);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(tray.shown);
    const core::topt& options = program.options();
    EXPECT_EQ(QRect(options.px1, options.py1, options.px2, options.py2), QRect(40, 50, 700, 460));
}

TEST_F(MainWindowTest, StartsWhereItWasLeftOrAtTheDefaultPlace) {
    core::topt& options = program.options();
    options.px1 = 5000;
    options.py1 = 60;
    options.px2 = 500;
    options.py2 = 300;
    EXPECT_EQ(window().geometry(), QRect(30, 30, 640, 480));
    window_.reset();
    options.px1 = 20;
    EXPECT_EQ(window().geometry(), QRect(20, 60, 500, 300));
}

TEST_F(MainWindowTest, MinimizingHidesToTheTrayUnlessStandardMinimizeIsOn) {
    window().showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window().isVisible());
    program.options().smz = true;
    window().showMainWindow();
    window().showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window().isVisible());
}

TEST_F(MainWindowTest, AdminPasswordGuardsProtectedCommands) {
    program.options().sgp = QStringLiteral("Secret");
    program.options().sps = true;
    window();
    const struct {
        const char* name;
        QStringList typed;
        QStringList opened;
        QStringList errors;
    } cases[] = {
        {"right", {QStringLiteral("Secret")}, {QStringLiteral("settings:1")}, {}},
        {"wrong", {QStringLiteral("secret")}, {}, {QStringLiteral("\nIncorrect password.")}},
        {"cancelled", {}, {}, {}},
    };
    for (const auto& c : cases) {
        openers.opened.clear();
        prompts.errors.clear();
        prompts.questions.clear();
        prompts.textAnswers = c.typed;
        action("Interface1")->trigger();
        EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Enter admin password")}) << c.name;
        EXPECT_EQ(openers.opened, c.opened) << c.name;
        EXPECT_EQ(prompts.errors, c.errors) << c.name;
    }

    // Showing the hidden window from the tray asks too; hiding never does.
    program.options().spa = true;
    prompts.questions.clear();
    window().hideMainWindow();
    prompts.textAnswers = {QStringLiteral("wrong")};
    emit tray.doubleClicked();
    EXPECT_FALSE(window().isVisible());
    prompts.textAnswers = {QStringLiteral("Secret")};
    emit tray.doubleClicked();
    EXPECT_TRUE(window().isVisible());
    emit tray.doubleClicked();
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(prompts.questions.size(), 2);
}

TEST_F(MainWindowTest, FirstShowReportsReadinessAndALogClickShowsTheDetails) {
    window();
    program.log().WriteError(QStringLiteral("Docs: lost [!]"));
    auto* log = window().findChild<QListView*>(QStringLiteral("loglist"));
    const int rows = log->model()->rowCount();
    ASSERT_GE(rows, 2);
    EXPECT_TRUE(log->model()->index(rows - 2, 0).data().toString().endsWith("SWL is ready now."));
    emit log->clicked(log->model()->index(rows - 1, 0));
    EXPECT_EQ(prompts.errors,
              QStringList{
                  QStringLiteral("Docs: lost  [!]\r\n\r\nThe event occurred today (on Tuesday).")});
}

TEST_F(MainWindowTest, TheLanguageFileNamesWindowItemsAndColumnHeadings) {
    QFile language(paths.program + QStringLiteral("/Deutsch.lng"));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write("[FORMS]\r\nForm1=Sicherungen\r\nForm1ListColumn2=Naechster Lauf\r\n"
                   "Form1Run1=Starten\r\nForm1PopupMenu1=unused\r\n");
    language.close();
    program.options().lng = QStringLiteral("Deutsch.lng");
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Sicherungen"));
    EXPECT_EQ(action("Run1")->text(), QStringLiteral("Starten"));
    QAbstractItemModel* model = presetView()->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Preset"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Naechster Lauf"));
}

TEST_F(MainWindowTest, LogCommandsExportAndOpenTheArchiversLog) {
    const QString exported = root.filePath(QStringLiteral("exported.txt"));
    window().setExportFileChooser([&] { return exported; });
    action("ToolButton12")->trigger();
    EXPECT_EQ(core::readTextLines(exported), program.log().model().lines());
    // A folder that cannot be made fails the export visibly.
    core::writeTextLinesAtomically(root.filePath(QStringLiteral("blocker")), {});
    window().setExportFileChooser([&] { return root.filePath(QStringLiteral("blocker/log.txt")); });
    action("Exportlogtoatextfile1")->trigger();
    EXPECT_EQ(prompts.errors.size(), 1);

    const QString archiverLog = program.folders().inData(QStringLiteral("winrar.log"));
    action("ViewWinRARlog1")->trigger();
    EXPECT_EQ(prompts.messages,
              QStringList{QStringLiteral("\nFile \"winrar.log\" doesn't exist, possibly no WinRAR "
                                         "errors have occurred yet.")});
    core::writeTextLinesAtomically(archiverLog, {QStringLiteral("error")});
    action("ToolButton18")->trigger();
    EXPECT_EQ(launcher.started, QStringList{archiverLog + QStringLiteral("| (detached)")});
    launcher.unstartable << archiverLog;
    action("ToolButton18")->trigger();
    EXPECT_EQ(prompts.errors.last(), QStringLiteral("\nCannot execute command."));
}

TEST_F(MainWindowTest, BinWindowsOpenOnlyWhenTheirVerbIsEnabled) {
    window();
    core::topt& options = program.options();
    options.obk = false;
    options.obr = true;
    action("Keeper1")->trigger();
    action("Recycle1")->trigger();
    EXPECT_EQ(prompts.messages,
              QStringList{QStringLiteral("\nSWL-Keeper is disabled. Please enable it in the "
                                         "settings window first.")});
    EXPECT_EQ(openers.opened, QStringList{QStringLiteral("bin:2")});
    EXPECT_EQ(options.obt, 2);
    action("Off1")->trigger();
    EXPECT_EQ(options.obt, 0);
}

TEST_F(MainWindowTest, AbortButtonAndRunProgressReachTheProgramAndTheTray) {
    window().findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    EXPECT_TRUE(program.flags().AbortRequested);
    window().showRunProgress(QStringLiteral("Docs: 40%"));
    EXPECT_EQ(tray.toolTip, QStringLiteral("Stowline\nDocs: 40%"));
    window().showRunProgress(QString());
    EXPECT_EQ(tray.toolTip, QStringLiteral("Stowline"));
}

TEST(PresetViewModel, ListsPicturesWithTheirLowerLeftColourTransparent) {
    QTemporaryDir folder;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.setPixelColor(0, 7, Qt::magenta);
    image.setPixelColor(3, 3, Qt::magenta);
    const QString picture = folder.filePath(QStringLiteral("Docs.bmp"));
    ASSERT_TRUE(image.save(picture));

    backup::PresetListModel source;
    PresetViewModel icons;
    QAbstractItemModelTester tester(&icons, QAbstractItemModelTester::FailureReportingMode::Fatal);
    icons.setSourceModel(&source);
    source.replaceEntries({{QStringLiteral("Docs"), {}, {}, picture},
                           {QStringLiteral("Mail"), {}, {}, folder.filePath("missing.bmp")}});
    source.sort(0, Qt::DescendingOrder);

    const QPixmap docs = icons.index(1, 0).data(Qt::DecorationRole).value<QPixmap>();
    ASSERT_FALSE(docs.isNull());
    const QImage shown = docs.toImage();
    EXPECT_EQ(shown.pixelColor(3, 3).alpha(), 0);
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_FALSE(icons.index(0, 0).data(Qt::DecorationRole).isValid());
    EXPECT_FALSE(icons.index(1, 1).data(Qt::DecorationRole).isValid());
}

} // namespace
} // namespace stowline::ui
