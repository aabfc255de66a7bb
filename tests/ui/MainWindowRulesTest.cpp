#include "ui/mainwindow/MainWindowRules.h"

#include "core/MessageTable.h"
#include "core/Options.h"
#include "scheduler/ScheduleEntry.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

namespace stowline::ui {
namespace {

QList<scheduler::tschdata> entries(int count) {
    QList<scheduler::tschdata> list;
    for (int i = 1; i <= count; ++i)
        list.append({QStringLiteral("2016.03.0%1 02:00:00 ").arg(i),
                     QStringLiteral("Docs%1").arg(i), QString()});
    return list;
}

TEST(MainWindowRules, CommandKeysActUnlessAltOrCtrlIsHeldAlone) {
    const struct {
        Qt::KeyboardModifiers modifiers;
        bool allowed;
    } cases[] = {
        {Qt::NoModifier, true},
        {Qt::ShiftModifier, true},
        {Qt::AltModifier, false},
        {Qt::ControlModifier, false},
        {Qt::AltModifier | Qt::ShiftModifier, false},
        {Qt::AltModifier | Qt::ControlModifier, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandKeysAllowed(c.modifiers), c.allowed) << c.modifiers.toInt();
}

TEST(MainWindowRules, BalloonTellsTheScheduleAndTheRunningPreset) {
    const core::MessageTable messages;
    const struct {
        const char* name;
        bool schedulerOn;
        int entryCount;
        bool running;
        QString expected;
    } cases[] = {
        {"scheduler off", false, 2, false, QStringLiteral("Scheduler is turned off \r\n")},
        {"empty", true, 0, false, QStringLiteral("Schedule is empty \r\n")},
        {"two entries", true, 2, false,
         QStringLiteral("2016.03.01 02:00:00 - Docs1\r\n2016.03.02 02:00:00 - Docs2\r\n")},
        {"five entries show three", true, 5, false,
         QStringLiteral("2016.03.01 02:00:00 - Docs1\r\n2016.03.02 02:00:00 - Docs2\r\n"
                        "2016.03.03 02:00:00 - Docs3\r\n...\r\n")},
        {"running", true, 0, true,
         QStringLiteral("Schedule is empty \r\n\r\n'Mail' is running at the moment\r\n")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trayBalloonText(c.schedulerOn, entries(c.entryCount), c.running,
                                  QStringLiteral("Mail"), messages),
                  c.expected)
            << c.name;
}

TEST(MainWindowRules, BalloonTextAndTitleAreCutToWhatABalloonHolds) {
    core::MessageTable messages;
    messages.replace(u"swlschedulertip", QString(80, QLatin1Char('t')));
    EXPECT_EQ(trayBalloonTitle(messages).size(), 63);
    EXPECT_EQ(trayBalloonText(true, {}, true, QString(300, QLatin1Char('n')), messages).size(),
              255);
}

TEST(MainWindowRules, LogLineDetailsCountCalendarDaysAndMarkErrors) {
    const core::MessageTable messages;
    // Tuesday, 8 March 2016, in the morning.
    const QDateTime now(QDate(2016, 3, 8), QTime(8, 0));
    const struct {
        const char* name;
        QString line;
        QString text;
        bool isError;
    } cases[] = {
        {"today", QStringLiteral("[2016.03.08 07:59:00] Done."),
         QStringLiteral("Done.\r\n\r\nThe event occurred today (on Tuesday)."), false},
        {"late last night is yesterday", QStringLiteral("[2016.03.07 23:00:00] Done."),
         QStringLiteral("Done.\r\n\r\nThe event occurred yesterday (on Monday)."), false},
        {"days ago", QStringLiteral("[2016.03.01 09:00:00] Done."),
         QStringLiteral("Done.\r\n\r\nThe event occurred on Tuesday, 7 days ago."), false},
        {"sunday", QStringLiteral("[2016.03.06 12:00:00] Done."),
         QStringLiteral("Done.\r\n\r\nThe event occurred on Sunday, 2 days ago."), false},
        {"only the first mark goes", QStringLiteral("[2016.03.08 07:00:00] Docs: [!] lost [!]"),
         QStringLiteral("Docs:  lost [!]\r\n\r\nThe event occurred today (on Tuesday)."), true},
        {"empty message", QStringLiteral("[2016.03.08 07:00:00] "), QStringLiteral("         :-)"),
         false},
        {"unreadable stamp", QStringLiteral("[2016.13.45 07:00:00] Odd."), QStringLiteral("Odd."),
         false},
    };
    for (const auto& c : cases) {
        const LogLineDetails details = logLineDetails(c.line, now, messages);
        EXPECT_EQ(details.text, c.text) << c.name;
        EXPECT_EQ(details.isError, c.isError) << c.name;
    }
}

TEST(MainWindowRules, StartupPlacementFallsBackWhenTheStoredFrameIsUnusable) {
    const QList<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1024, 768)};
    const struct {
        const char* name;
        QRect stored;
        QRect expected;
    } cases[] = {
        {"stored", QRect(100, 50, 700, 500), QRect(100, 50, 700, 500)},
        {"second screen", QRect(1400, 100, 700, 500), QRect(1400, 100, 700, 500)},
        {"no width", QRect(100, 50, 0, 500), QRect(30, 30, 640, 480)},
        {"no height", QRect(100, 50, 700, 0), QRect(30, 30, 640, 480)},
        {"on no screen", QRect(5000, 4000, 700, 500), QRect(30, 30, 640, 480)},
    };
    for (const auto& c : cases) {
        core::topt options;
        options.px1 = c.stored.left();
        options.py1 = c.stored.top();
        options.px2 = c.stored.width();
        options.py2 = c.stored.height();
        EXPECT_EQ(startupPlacement(options, screens), c.expected) << c.name;
    }
}

TEST(MainWindowRules, OnlyAWindowNearlyAsWideAsTheScreenRestoresToTheDefaultSize) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(restoredFrameAfterMaximize(QRect(0, 0, 1251, 700), screen),
              QRect(330, 292, 620, 440));
    EXPECT_EQ(restoredFrameAfterMaximize(QRect(0, 0, 1250, 700), screen), std::nullopt);
}

TEST(MainWindowRules, ListsAndColumnsFollowTheClientArea) {
    const ListPlacement placement = listPlacement(QSize(600, 400), 150);
    EXPECT_EQ(placement.presetList, QRect(10, 10, 580, 150));
    EXPECT_EQ(placement.logList, QRect(10, 170, 580, 210));
    EXPECT_EQ(automaticColumnWidths(580, 600), (std::array<int, 3>{230, 160, 160}));
    EXPECT_EQ(automaticColumnWidths(480, 529), (std::array<int, 3>{450, 0, 0}));
}

} // namespace
} // namespace stowline::ui
