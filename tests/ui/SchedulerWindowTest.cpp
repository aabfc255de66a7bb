#include "ui/scheduler/SchedulerWindow.h"

#include "../scheduler/SchedulerTestSupport.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingHelpViewer.h"
#include "platform/fakes/RecordingPrompts.h"
#include "ui/help/HelpTopics.h"
#include "ui/skins/SkinApplier.h"

#include "QtPrinters.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

#include <gtest/gtest.h>

namespace stowline::ui {
namespace {

using scheduler::RepeatMode;
using scheduler::ScheduleFormFields;
using scheduler::tschdata;
using scheduler::tschopt;
using scheduler::testing::at;
using scheduler::testing::InstanceState;

// 14 March 2016 was a Monday.
const QDate kMonday(2016, 3, 14);

class SchedulerWindowTest : public ::testing::Test {
protected:
    SchedulerWindowTest()
        : state(dir.path(), {QStringLiteral("Docs"), QStringLiteral("Mail")}, at(18, 10)) {
        state.options.son = true;
        state.options.smz = false;
        QDir(dir.path()).mkpath(QStringLiteral("manual"));
        QFile page(dir.filePath(QStringLiteral("manual/configuring_the_scheduler.htm")));
        page.open(QIODevice::WriteOnly);
    }

    template <typename Widget> Widget* child(const char* name) {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // A click as the person makes it: clicked() follows, unlike setChecked().
    void click(const char* button) { child<QAbstractButton>(button)->click(); }
    void clickRow(int row) {
        QCoreApplication::processEvents();
        auto* list = child<QTreeView>("scheduleList");
        const QRect cell = list->visualRect(list->model()->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void typePreset(const QString& text) {
        QLineEdit* edit = child<QComboBox>("presetBox")->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // Fields for a daily entry of `preset` on Monday 18:00.
    ScheduleFormFields daily(const QString& preset) {
        ScheduleFormFields fields = window.fields();
        fields.presetName = preset;
        fields.date = kMonday;
        fields.time = QTime(18, 0);
        fields.repeat = -1;
        fields.mode = RepeatMode::Interval;
        fields.days = 1;
        fields.hours = fields.minutes = 0;
        return fields;
    }
    QStringList fileLines() const {
        return core::readTextLines(state.schedule.scheduleFilePath()).value_or(QStringList());
    }
    QStringList logMessages() { return state.logMessages(); }

    QTemporaryDir dir;
    InstanceState state;
    platform::RecordingPrompts prompts;
    platform::RecordingHelpViewer viewer;
    HelpTopics help{dir.path(), viewer, prompts, state.messages};
    int hiddenToTray = 0;
    SchedulerWindow window{{state.schedule, state.catalog, state.options, state.log, state.messages,
                            state.clock, prompts, help, [this] { ++hiddenToTray; }}};
};

TEST_F(SchedulerWindowTest, AddedAndDeletedEntriesGoThroughTheScheduleFile) {
    window.open(QString());
    window.setFields(daily(QStringLiteral("Docs")));
    click("addButton");
    const QString line = QStringLiteral("<D>2016.03.14 18:00:00 </D><P>Docs</P><O>REPEAT=-1 "
                                        "INTERVAL=1440 PRECISE=1 ONDELAY=0 DOW=11111110</O>");
    EXPECT_EQ(fileLines(), QStringList{line});
    EXPECT_EQ(child<QTreeView>("scheduleList")->model()->rowCount(), 1);

    // Another instance reads the entry back from the file.
    InstanceState other(dir.path(), {QStringLiteral("Docs")}, at(18, 10));
    other.schedule.LoadSchedule();
    ASSERT_EQ(other.schedule.size(), 1);
    EXPECT_EQ(other.schedule.entryAt(0).interval, 1440);

    // Delete asks first; No keeps the entry.
    clickRow(0);
    prompts.yesNoAnswers = {false, true};
    click("deleteButton");
    EXPECT_EQ(state.schedule.size(), 1);
    click("deleteButton");
    EXPECT_EQ(prompts.questions,
              QStringList(
                  2, QStringLiteral("\nThis preset will be removed from the schedule. Proceed?")));
    EXPECT_TRUE(state.schedule.isEmpty());
    EXPECT_FALSE(QFile::exists(state.schedule.scheduleFilePath()));
    EXPECT_EQ(logMessages().last(),
              QStringLiteral("SCHEDULER - Deleted: Docs @ 2016.03.14 18:00:00 "));
}

TEST_F(SchedulerWindowTest, TypedNamesAreCheckedLikeEveryOtherEntry) {
    struct Case {
        QString typed;
        bool added;
        QString logLine;
    };
    const Case cases[] = {
        {QStringLiteral("/SHUTDOWN"), true,
         QStringLiteral("SCHEDULER - Added: /SHUTDOWN @ 2016.03.18 10:00:00 ")},
        {QStringLiteral("Mail"), true,
         QStringLiteral("SCHEDULER - Added: Mail @ 2016.03.18 10:00:00 ")},
        {QStringLiteral("Nothing"), false,
         QStringLiteral("SCHEDULER - No such preset - Nothing. [!]")},
        {QStringLiteral("/HELP"), false,
         QStringLiteral("SCHEDULER - Unknown command - /HELP. [!]")},
    };
    window.open(QString());
    for (const Case& c : cases) {
        const qsizetype before = state.schedule.size();
        typePreset(c.typed);
        click("addButton");
        EXPECT_EQ(state.schedule.size(), before + (c.added ? 1 : 0)) << c.typed.toStdString();
        EXPECT_EQ(logMessages().last(), c.logLine);
    }
    EXPECT_EQ(state.presnames(),
              (QStringList{QStringLiteral("/SHUTDOWN"), QStringLiteral("Mail")}));

    // An empty preset field adds nothing and says nothing.
    const QStringList log = logMessages();
    typePreset(QString());
    click("addButton");
    EXPECT_EQ(logMessages(), log);
}

TEST_F(SchedulerWindowTest, DaysOfWeekModeMakesADailyEntryForTheTickedDays) {
    window.open(QStringLiteral("Docs"));
    child<QRadioButton>("daysMode")->click();
    EXPECT_TRUE(child<QCheckBox>("preciseCheck")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("preciseCheck")->isEnabled());
    for (const char* day : {"tuesday", "wednesday", "thursday", "saturday", "sunday"})
        click(day);
    child<QCalendarWidget>("calendar")->setSelectedDate(kMonday);
    child<QTimeEdit>("timeEdit")->setTime(QTime(18, 0));
    child<QSpinBox>("repeatSpin")->setValue(-1);
    click("addButton");

    ASSERT_EQ(state.schedule.size(), 1);
    EXPECT_EQ(state.schedule.entries().first().options,
              QStringLiteral("REPEAT=-1 INTERVAL=1440 PRECISE=1 ONDELAY=0 DOW=10001000"));

    child<QRadioButton>("intervalMode")->click();
    EXPECT_TRUE(child<QCheckBox>("preciseCheck")->isEnabled());
}

TEST_F(SchedulerWindowTest, ARepeatingEntryWithoutAnIntervalIsRefused) {
    window.open(QString());
    ScheduleFormFields fields = daily(QStringLiteral("Docs"));
    fields.days = 0;
    window.setFields(fields);
    click("addButton");
    EXPECT_TRUE(state.schedule.isEmpty());
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral(
                                  "\nA repeating task needs an interval of at least one minute.")});
}

TEST_F(SchedulerWindowTest, ClickingARowShowsItsEntry) {
    tschopt entry;
    entry.presname = QStringLiteral("Mail");
    entry.date = scheduler::wallClock(QDateTime(QDate(2016, 3, 20), QTime(23, 0)));
    entry.repeat = 3;
    entry.interval = 1590;
    entry.ondelay = 2;
    entry.precise = false;
    entry.dow = QStringLiteral("11111001");
    ASSERT_TRUE(state.schedule.AddScheduleEntry(entry));
    window.open(QString());
    clickRow(0);

    EXPECT_EQ(child<QComboBox>("presetBox")->currentText(), QStringLiteral("Mail"));
    EXPECT_EQ(child<QCalendarWidget>("calendar")->selectedDate(), QDate(2016, 3, 20));
    EXPECT_EQ(child<QTimeEdit>("timeEdit")->time(), QTime(23, 0));
    EXPECT_EQ(child<QSpinBox>("repeatSpin")->value(), 3);
    EXPECT_EQ(child<QSpinBox>("daysSpin")->value(), 1);
    EXPECT_EQ(child<QSpinBox>("hoursSpin")->value(), 2);
    EXPECT_EQ(child<QSpinBox>("minutesSpin")->value(), 30);
    EXPECT_FALSE(child<QCheckBox>("preciseCheck")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("ondelay3")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("saturday")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("sunday")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("daySkip")->isChecked());
    EXPECT_TRUE(child<QLabel>("weekdayLabel")->text().startsWith(QStringLiteral("Sunday")));
}

TEST_F(SchedulerWindowTest, UpdateReplacesTheEntryOnlyWhenTheNewOneIsAccepted) {
    window.open(QString());
    window.setFields(daily(QStringLiteral("Docs")));
    click("addButton");
    const tschdata original = state.schedule.entries().first();
    clickRow(0);

    // Refused: the old entry stays, and nothing says it was deleted.
    typePreset(QStringLiteral("Nothing"));
    click("updateButton");
    EXPECT_EQ(state.schedule.entries(), QList<tschdata>{original});
    EXPECT_FALSE(logMessages().join(QLatin1Char('\n')).contains(QStringLiteral("Deleted")));

    // Accepted: the new entry takes the old one's place.
    typePreset(QStringLiteral("Mail"));
    child<QTimeEdit>("timeEdit")->setTime(QTime(19, 30));
    click("updateButton");
    ASSERT_EQ(state.schedule.size(), 1);
    EXPECT_EQ(state.schedule.entries().first().presname, QStringLiteral("Mail"));
    EXPECT_EQ(state.schedule.entries().first().date, QStringLiteral("2016.03.14 19:30:00 "));
    EXPECT_EQ(logMessages().last(),
              QStringLiteral("SCHEDULER - Deleted: Docs @ 2016.03.14 18:00:00 "));
    EXPECT_EQ(fileLines().size(), 1);
}

TEST_F(SchedulerWindowTest, TheLastTickedDayCannotBeCleared) {
    window.open(QString());
    for (const char* day : {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday"})
        click(day);
    EXPECT_TRUE(prompts.messages.isEmpty());
    click("sunday");
    EXPECT_TRUE(child<QCheckBox>("sunday")->isChecked());
    EXPECT_EQ(prompts.messages,
              QStringList{
                  QStringLiteral("\nYou should select at least one day of week to add the task.")});
    // The day-skip box is no weekday.
    click("daySkip");
    click("daySkip");
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST_F(SchedulerWindowTest, TheIndicatorSwitchesTheScheduler) {
    window.open(QString());
    auto* indicator = child<QPushButton>("schedulerSwitch");
    EXPECT_EQ(indicator->text(), QStringLiteral("ON"));
    click("schedulerSwitch");
    EXPECT_FALSE(state.options.son);
    EXPECT_EQ(indicator->text(), QStringLiteral("OFF"));
    EXPECT_EQ(logMessages().last(), QStringLiteral("SCHEDULER - turned OFF."));
    // Its panel switches it too.
    QTest::mouseClick(child<QWidget>("schedulerPanel"), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(state.options.son);
    EXPECT_TRUE(indicator->isChecked());
    EXPECT_EQ(logMessages().last(), QStringLiteral("SCHEDULER - turned ON."));
}

TEST_F(SchedulerWindowTest, HelpOpensTheSchedulerPage) {
    window.open(QString());
    click("helpButton");
    EXPECT_EQ(viewer.opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(
                                 QStringLiteral("manual/configuring_the_scheduler.htm")))});
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(SchedulerWindowTest, F1OpensHelpAndEscapeHidesTheWindow) {
    window.open(QString());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(viewer.opened.size(), 1);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isHidden());
}

TEST_F(SchedulerWindowTest, MinimizingHidesToTheTrayUnlessStandardMinimizeIsChosen) {
    window.open(QString());
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isHidden(); }));
    EXPECT_EQ(hiddenToTray, 1);

    state.options.smz = true;
    window.open(QString());
    window.setWindowState(Qt::WindowMinimized);
    QTest::qWait(50);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    EXPECT_EQ(hiddenToTray, 1);
}

TEST_F(SchedulerWindowTest, CaptionsComeFromTheLanguageFile) {
    QFile language(dir.filePath(QStringLiteral("Test.lng")));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write(
        "[FORMS]\r\nForm5=Planer\r\nForm5schColumn2=Vorgabe\r\nForm5ondelay3=Entfernen\r\n"
        "Form5addButton=Neu\r\n");
    language.close();
    window.changeLang(dir.path(), QStringLiteral("Test.lng"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Planer"));
    EXPECT_EQ(child<QTreeView>("scheduleList")->model()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("Vorgabe"));
    EXPECT_EQ(child<QRadioButton>("ondelay3")->text(), QStringLiteral("Entfernen"));
    EXPECT_EQ(child<QPushButton>("addButton")->text(), QStringLiteral("Neu"));
}

// A picture of the window for review, written when STOWLINE_SCREENSHOT_DIR names a folder.
TEST_F(SchedulerWindowTest, Screenshot) {
    const QString folder = qEnvironmentVariable("STOWLINE_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "STOWLINE_SCREENSHOT_DIR is not set";
    tschopt entry;
    entry.presname = QStringLiteral("Docs");
    entry.date = scheduler::wallClock(QDateTime(QDate(2016, 3, 18), QTime(23, 0)));
    entry.repeat = -1;
    entry.interval = 1440;
    state.schedule.AddScheduleEntry(entry);
    entry.presname = QStringLiteral("/SHUTDOWN");
    entry.date = entry.date.addSecs(60);
    entry.repeat = 0;
    state.schedule.AddScheduleEntry(entry);
    window.open(QStringLiteral("Docs"));
    child<QSpinBox>("repeatSpin")->setValue(-1);
    window.resize(window.sizeHint().expandedTo(QSize(860, 640)));
    QTest::qWait(50);
    EXPECT_TRUE(window.grab().save(folder + QStringLiteral("/scheduler-window.png")));
}

// The skin colours the schedule list and the entry fields, and gives them back their
// normal look when skins go off.
TEST_F(SchedulerWindowTest, SkinColoursTheScheduleListAndTheFields) {
    window.open(QString());
    SkinApplier skins(dir.path());
    core::tskin skin;
    skin.SW_TableBackground = QStringLiteral("0000ff");
    skin.SW_TableColor = QStringLiteral("#ffff00");
    skin.LW_FileListBackground = QStringLiteral("00ff00");
    skin.LW_FileListColor = QStringLiteral("ff0000");
    auto* list = child<QTreeView>("scheduleList");
    auto* repeat = child<QSpinBox>("repeatSpin");
    const QColor normalBase = repeat->palette().color(QPalette::Base);
    skins.setSkin(skin, true);
    skins.attach(window, SkinnedWindow::Scheduler);

    const QImage picture = list->grab().toImage();
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() - 5), QColor(Qt::blue));
    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::yellow));
    EXPECT_EQ(repeat->palette().color(QPalette::Base), QColor(Qt::green));
    EXPECT_EQ(child<QComboBox>("presetBox")->palette().color(QPalette::Text), QColor(Qt::red));

    skins.setSkin(skin, false);
    EXPECT_EQ(repeat->palette().color(QPalette::Base), normalBase);
    EXPECT_EQ(list->palette().color(QPalette::Base), normalBase);
}

} // namespace
} // namespace stowline::ui
