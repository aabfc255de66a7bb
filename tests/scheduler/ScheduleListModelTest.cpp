#include "SchedulerTestSupport.h"

#include "scheduler/ScheduleListModel.h"

#include "QtPrinters.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::scheduler;
using namespace stowline::scheduler::testing;

namespace {

QStringList row(const ScheduleListModel& model, int row) {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.index(row, column).data().toString();
    return texts;
}

TEST(ScheduleListModelTest, FollowsTheScheduleAndShowsTheStoredTexts) {
    QTemporaryDir dir;
    InstanceState state(dir.path(), {QStringLiteral("Docs"), QStringLiteral("Mail")}, at(18, 10));
    ScheduleListModel model(state.schedule);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);

    tschopt entry;
    entry.presname = QStringLiteral("Mail");
    entry.date = wallClock(at(20, 23));
    entry.repeat = -1;
    entry.interval = 1440;
    ASSERT_TRUE(state.schedule.AddScheduleEntry(entry));
    entry.presname = QStringLiteral("Docs");
    entry.date = wallClock(at(19, 0));
    entry.repeat = 0;
    entry.interval = 1;
    ASSERT_TRUE(state.schedule.AddScheduleEntry(entry));

    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(
        row(model, 0),
        (QStringList{QStringLiteral("2016.03.19 00:00:00"), QStringLiteral("Docs"),
                     QStringLiteral("REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=11111110")}));
    EXPECT_EQ(row(model, 1),
              (QStringList{QStringLiteral("2016.03.20 23:00:00 "), QStringLiteral("Mail"),
                           QStringLiteral("REPEAT=-1 INTERVAL=1440 PRECISE=1 "
                                          "ONDELAY=0 DOW=11111110")}));
    EXPECT_EQ(model.rowOf(state.schedule.entries().at(1)), 1);

    // A change the model did not see yet is not read until the refresh announces it.
    state.schedule.removeAt(0);
    EXPECT_EQ(model.rowCount(), 2);
    state.schedule.RefreshSchedule();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.entryAt(0).presname, QStringLiteral("Mail"));

    // The headings are the window's captions.
    QSignalSpy headings(&model, &QAbstractItemModel::headerDataChanged);
    EXPECT_TRUE(model.setHeaderData(1, Qt::Horizontal, QStringLiteral("Voreinstellung")));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Voreinstellung"));
    EXPECT_EQ(headings.count(), 1);
}

} // namespace
