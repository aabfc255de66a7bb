#include "ControlCharacterNames.h"
#include "SchedulerTestSupport.h"

#include "core/ControlCharacters.h"
#include "platform/linux/LocalSocketNamedEvent.h"
#include "scheduler/CommandLine.h"

#include <QElapsedTimer>
#include <QFile>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::scheduler;
using namespace stowline::scheduler::testing;
using namespace std::chrono_literals;

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest()
        : state(dir.path(), {QStringLiteral("Docs"), QStringLiteral("Mail")}, at(18, 10)) {}

    CommandLineOutcome carryOut(const QStringList& arguments,
                                std::chrono::milliseconds hold = 50ms) {
        return CarryOutCommandLine(arguments,
                                   {state.schedule, state.flags, state.options, state.log,
                                    state.messages, state.clock, state.host, sender},
                                   hold);
    }

    QTemporaryDir dir;
    InstanceState state;
    platform::RecordingNamedEventSender sender;
};

TEST_F(CommandLineTest, FirstInstanceQueuesRequestsInTheirOrderAndKeepsRunning) {
    EXPECT_EQ(carryOut({QStringLiteral("/hide"), QStringLiteral("Docs"), QStringLiteral("/exit")}),
              CommandLineOutcome::KeepRunning);
    EXPECT_EQ(state.host.calls, QStringList{QStringLiteral("hide")});
    EXPECT_EQ(state.presnames(), (QStringList{QStringLiteral("Docs"), QStringLiteral("/exit")}));
    EXPECT_EQ(state.logMessages(),
              (QStringList{QStringLiteral("SCHEDULER - Added: Docs @ 2016.03.18 10:00:00 "),
                           QStringLiteral("SCHEDULER - Added: /exit @ 2016.03.18 10:00:00 ")}));
    EXPECT_EQ(sender.signalCount, 0);
    EXPECT_FALSE(state.flags.CloseWithoutAsking);
}

TEST_F(CommandLineTest, SwitchesAndRequestsOfTheFirstInstance) {
    struct Case {
        QString argument;
        QStringList hostCalls;
        QStringList log;
        bool schedulerOn;
    };
    const Case cases[] = {
        {QStringLiteral("/SCHOFF"),
         {},
         {QStringLiteral("SCHEDULER - turned OFF from command line.")},
         false},
        {QStringLiteral("/schon"),
         {},
         {QStringLiteral("SCHEDULER - turned ON from command line.")},
         true},
        {QStringLiteral("/svc"), {QStringLiteral("hide")}, {}, true},
        {QStringLiteral("/language(Deutsch.lng)"),
         {QStringLiteral("language:Deutsch.lng")},
         {},
         true},
        {QStringLiteral("/LANGUAGE(Deutsch.lng"),
         {QStringLiteral("language:Deutsch.lng")},
         {},
         true},
        {QStringLiteral("/Language(English (default).lng)"),
         {QStringLiteral("language:English (default).lng")},
         {},
         true},
        {QStringLiteral("/hide now"),
         {},
         {QStringLiteral("SCHEDULER - Unknown command - /hide now. [!]")},
         true},
        {QStringLiteral("[DATE=2016.03.20 23:00:00][REPEAT=-1][INTERVAL=1440]Docs"),
         {},
         {QStringLiteral("SCHEDULER - Added: Docs @ 2016.03.20 23:00:00 ")},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        state.host.calls.clear();
        const qsizetype logBefore = state.logMessages().size();
        EXPECT_EQ(carryOut({c.argument}), CommandLineOutcome::KeepRunning);
        EXPECT_EQ(state.host.calls, c.hostCalls);
        EXPECT_EQ(state.logMessages().mid(logBefore), c.log);
        EXPECT_EQ(state.options.son, c.schedulerOn);
    }
    EXPECT_EQ(state.schedule.entries().value(0).options,
              QStringLiteral("REPEAT=-1 INTERVAL=1440 PRECISE=1 ONDELAY=0 DOW=11111110"));
}

TEST_F(CommandLineTest, SecondInstanceWritesTheScheduleSignalsHoldsAndCloses) {
    state.flags.SecondInstance = true;
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(carryOut({QStringLiteral("Docs"), QStringLiteral("/shutdown")}, 200ms),
              CommandLineOutcome::Closed);
    EXPECT_GE(elapsed.elapsed(), 190);
    EXPECT_EQ(sender.signalCount, 1);
    EXPECT_GE(sender.heldMilliseconds, 190);
    EXPECT_EQ(state.host.calls, QStringList{QStringLiteral("close")});
    EXPECT_TRUE(state.flags.CloseWithoutAsking);
    EXPECT_EQ(state.schedule.size(), 2);
    EXPECT_TRUE(QFile::exists(state.schedule.scheduleFilePath()));
}

TEST_F(CommandLineTest, SecondInstanceRefusesSchedulerSwitchesAndEndsAtOnce) {
    for (const char* argument : {"/SCHON", "/schoff"}) {
        SCOPED_TRACE(argument);
        state.host.calls.clear();
        state.flags.SecondInstance = true;
        state.options.son = true;
        const qsizetype logBefore = state.logMessages().size();
        const qsizetype sizeBefore = state.schedule.size();
        EXPECT_EQ(carryOut({QStringLiteral("Docs"), QString::fromLatin1(argument),
                            QStringLiteral("Mail")}),
                  CommandLineOutcome::Closed);
        const QString refusal =
            QString::fromLatin1(argument).toUpper() == QLatin1String("/SCHON")
                ? QStringLiteral(
                      "SCHEDULER - cannot turn on: another instance of SWL is already running. [!]")
                : QStringLiteral("SCHEDULER - cannot turn off: another instance of SWL is already "
                                 "running. [!]");
        EXPECT_EQ(state.logMessages().mid(logBefore).last(), refusal);
        EXPECT_EQ(state.schedule.size(), sizeBefore + 1) << "only the request before the switch";
        EXPECT_EQ(state.host.calls, QStringList{QStringLiteral("close")});
        EXPECT_TRUE(state.options.son);
    }
    EXPECT_EQ(sender.signalCount, 0);
}

// Two instances on one data folder, talking through the real local-socket event.
class HandOverTest : public ::testing::Test {
protected:
    HandOverTest()
        : first(dataDir.path(), {QStringLiteral("Docs")}, at(18, 10)),
          second(dataDir.path(), {QStringLiteral("Docs")}, at(18, 10)) {
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        first.options.son = true;
        second.flags.SecondInstance = true;
    }
    ~HandOverTest() override { qputenv("XDG_RUNTIME_DIR", savedRuntime); }

    QByteArray savedRuntime;
    QTemporaryDir runtimeDir;
    QTemporaryDir dataDir;
    InstanceState first;
    InstanceState second;
    platform::RecordingPowerActions power;
    platform::RecordingProcessLauncher launcher;
};

TEST_F(HandOverTest, FirstInstanceReloadsAndRunsWhatTheSecondHandedOver) {
    for (const bool schedulerOn : {false, true}) {
        SCOPED_TRACE(schedulerOn ? "scheduler on" : "scheduler off");
        for (InstanceState* instance : {&first, &second}) {
            while (!instance->schedule.isEmpty())
                instance->schedule.removeAt(0);
            instance->schedule.RefreshSchedule();
        }
        first.options.son = schedulerOn;
        platform::LocalSocketEventListener listener(QString::fromLatin1(kScheduleEventName));
        ASSERT_TRUE(listener.listen()) << listener.errorString().toStdString();
        SchedulerEngine engine({first.schedule, first.flags, first.options, first.log,
                                first.messages, first.clock, first.host, power, launcher,
                                listener});
        engine.start(50ms);

        platform::LocalSocketEventSender sender(QString::fromLatin1(kScheduleEventName));
        EXPECT_EQ(CarryOutCommandLine({QStringLiteral("Docs")},
                                      {second.schedule, second.flags, second.options, second.log,
                                       second.messages, second.clock, second.host, sender}),
                  CommandLineOutcome::Closed);
        processEventsUntil([] { return false; }, 200);
        engine.stop();

        const bool reloaded = first.logMessages().contains(
            QStringLiteral("Another instance of SWL has updated the scheduler."));
        EXPECT_EQ(reloaded, schedulerOn);
        EXPECT_EQ(first.host.runs(),
                  schedulerOn ? QStringList{QStringLiteral("run:Docs")} : QStringList());
        EXPECT_TRUE(second.logMessages().contains(
            QStringLiteral("SCHEDULER - Added: Docs @ 2016.03.18 10:00:00 ")));
        // The signal died with its sender: switching on later does not find it.
        first.options.son = true;
        engine.schtimerTimer();
        EXPECT_EQ(first.host.runs().size(), schedulerOn ? 1 : 0);
    }
}

// Each name is tried bare, as the name of a request with settings, with a bad setting
// around it, and as a language file: none of it may reach the schedule, the host or a
// log line of its own.
TEST_F(CommandLineTest, ArgumentsWithControlCharactersAreRefusedWhole) {
    for (const QString& name : stowline::testing::namesWithControlCharacters()) {
        for (const QString& argument :
             {name, QStringLiteral("[DATE=2016.03.20 23:00:00]") + name,
              QStringLiteral("[FOO=") + name + QStringLiteral("]Docs"),
              QStringLiteral("/language(") + name + QStringLiteral(")")}) {
            SCOPED_TRACE(argument.toStdString());
            InstanceState fresh(dir.path(), {QStringLiteral("Docs"), name}, at(18, 10));
            EXPECT_EQ(CarryOutCommandLine({argument, QStringLiteral("Docs")},
                                          {fresh.schedule, fresh.flags, fresh.options, fresh.log,
                                           fresh.messages, fresh.clock, fresh.host, sender},
                                          0ms),
                      CommandLineOutcome::KeepRunning);
            EXPECT_EQ(fresh.presnames(), QStringList{QStringLiteral("Docs")});
            EXPECT_TRUE(fresh.host.calls.isEmpty());
            const QStringList lines = fresh.log.model().lines();
            ASSERT_EQ(lines.size(), 2);
            EXPECT_TRUE(lines[0].endsWith(
                QStringLiteral("] SCHEDULER - The name \"%1\" holds a control character; "
                               "refused. [!]")
                    .arg(core::withVisibleControlCharacters(argument))));
            EXPECT_TRUE(lines[1].contains(QStringLiteral("Added: Docs")));
            fresh.schedule.removeAt(0);
            fresh.schedule.RefreshSchedule();
        }
    }
}

} // namespace
