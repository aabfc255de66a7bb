#include "SchedulerTestSupport.h"

#include "core/TextFiles.h"

#include <QFile>
#include <QTimer>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::scheduler;
using namespace stowline::scheduler::testing;
using namespace std::chrono_literals;

namespace {

class SchedulerEngineTest : public ::testing::Test {
protected:
    SchedulerEngineTest()
        : state(dir.path(), {QStringLiteral("Docs"), QStringLiteral("Mail")}, at(18, 10)) {
        state.options.son = true;
        state.options.shp = 1;
    }

    // Adds an entry without the log lines of AddScheduleEntry.
    void schedule(const QString& presname, const QDateTime& date, qint32 repeat = 0,
                  qint32 interval = 1, qint32 ondelay = 0, bool precise = true,
                  const QString& dow = QStringLiteral("11111110")) {
        tschopt entry;
        entry.date = date;
        entry.presname = presname;
        entry.repeat = repeat;
        entry.interval = interval;
        entry.ondelay = ondelay;
        entry.precise = precise;
        entry.dow = dow;
        state.schedule.insert(entry);
        state.schedule.RefreshSchedule();
    }
    void tick() { engine.schtimerTimer(); }
    // The log lines written from now on.
    QStringList newLog() {
        const QStringList messages = state.logMessages();
        const QStringList fresh = messages.mid(logSeen);
        logSeen = messages.size();
        return fresh;
    }
    QString firstDate() const { return state.schedule.entries().value(0).date; }

    QTemporaryDir dir;
    InstanceState state;
    platform::RecordingPowerActions power;
    platform::RecordingProcessLauncher launcher;
    platform::FakeNamedEventListener scheduleUpdated;
    SchedulerEngine engine{{state.schedule, state.flags, state.options, state.log, state.messages,
                            state.clock, state.host, power, launcher, scheduleUpdated}};
    qsizetype logSeen = 0;
};

TEST_F(SchedulerEngineTest, DoesNothingWhileTheSchedulerIsOff) {
    state.options.son = false;
    schedule(QStringLiteral("Docs"), at(18, 9));
    scheduleUpdated.signalled = true;
    tick();
    EXPECT_TRUE(state.host.calls.isEmpty());
    EXPECT_EQ(scheduleUpdated.tests, 0) << "the signal is not even looked at";
    EXPECT_EQ(state.schedule.size(), 1);
    EXPECT_TRUE(newLog().isEmpty());
}

TEST_F(SchedulerEngineTest, RunsADuePresetOnceAfterSavingTheSchedule) {
    schedule(QStringLiteral("docs"), at(18, 10, 0, 5));
    tick();
    EXPECT_TRUE(state.host.calls.isEmpty()) << "not due yet";

    state.clock.set(at(18, 10, 0, 5));
    bool savedBeforeRun = false;
    state.host.duringRun = [&](const QString&) {
        savedBeforeRun = !QFile::exists(state.schedule.scheduleFilePath());
    };
    tick();
    EXPECT_EQ(state.host.calls,
              (QStringList{QStringLiteral("select:docs"), QStringLiteral("run:Docs")}));
    EXPECT_TRUE(savedBeforeRun);
    EXPECT_EQ(newLog(),
              (QStringList{QStringLiteral("docs: Called by the scheduler."),
                           QStringLiteral("docs: Removing from the schedule (repeat=0).")}));
    tick();
    EXPECT_EQ(state.host.runs().size(), 1);
}

TEST_F(SchedulerEngineTest, ReloadsWhenAnotherInstanceSignalled) {
    ASSERT_TRUE(core::writeTextLinesAtomically(
        state.schedule.scheduleFilePath(),
        {QStringLiteral("<D>2016.03.18 09:59:59 </D><P>Mail</P><O>REPEAT=0 INTERVAL=1 PRECISE=1 "
                        "ONDELAY=0 DOW=11111110</O>")}));
    tick();
    EXPECT_TRUE(state.host.calls.isEmpty());

    scheduleUpdated.signalled = true;
    tick();
    EXPECT_FALSE(scheduleUpdated.signalled);
    EXPECT_EQ(newLog().first(),
              QStringLiteral("Another instance of SWL has updated the scheduler."));
    EXPECT_EQ(state.host.runs(), QStringList{QStringLiteral("run:Mail")});
}

TEST_F(SchedulerEngineTest, CatchesUpOnceAndMovesOnFromTheSeriesOrFromNow) {
    for (const bool precise : {true, false}) {
        SCOPED_TRACE(precise ? "precise" : "not precise");
        state.host.calls.clear();
        state.clock.set(at(18, 13, 20));
        schedule(QStringLiteral("Docs"), at(18, 10), -1, 60, 0, precise);
        tick();
        tick();
        EXPECT_EQ(state.host.runs().size(), 1);
        EXPECT_EQ(firstDate(), precise ? QStringLiteral("2016.03.18 14:00:00 ")
                                       : QStringLiteral("2016.03.18 14:20:00 "));
        EXPECT_EQ(state.schedule.entryAt(0).repeat, -1);
        state.schedule.removeAt(0);
    }
}

TEST_F(SchedulerEngineTest, LateEntriesFollowTheirDelayRule) {
    struct Case {
        const char* what;
        qint32 ondelay;
        qint32 repeat;
        int secondsLate;
        bool runs;
        QString lastLine;                 // after "Docs: Called by the scheduler."
        std::optional<qint32> repeatLeft; // nothing when the entry was removed
    };
    const Case cases[] = {
        {"removed when late",
         2,
         -1,
         2,
         false,
         QStringLiteral("Docs: Delayed, removing from the schedule according to the options."),
         {}},
        {"within the tolerance is not late",
         2,
         0,
         0,
         true,
         QStringLiteral("Docs: Removing from the schedule (repeat=0)."),
         {}},
        {"skipped when late, using up a repeat", 1, 3, 2, false,
         QStringLiteral("Docs: Delayed, skipping the execution according to the options."), 2},
        {"the last run is never skipped",
         1,
         0,
         2,
         true,
         QStringLiteral("Docs: Removing from the schedule (repeat=0)."),
         {}},
        {"run anyway", 0, 3, 3600, true, QStringLiteral("Docs: Called by the scheduler."), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.host.calls.clear();
        newLog();
        state.clock.set(at(18, 10).addSecs(c.secondsLate));
        schedule(QStringLiteral("Docs"), at(18, 10), c.repeat, 60, c.ondelay);
        tick();
        EXPECT_EQ(state.host.runs().size(), c.runs ? 1 : 0);
        const QStringList lines = newLog();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), QStringLiteral("Docs: Called by the scheduler."));
        EXPECT_EQ(lines.last(), c.lastLine);
        ASSERT_EQ(state.schedule.size(), c.repeatLeft ? 1 : 0);
        if (c.repeatLeft) {
            EXPECT_EQ(state.schedule.entryAt(0).repeat, *c.repeatLeft);
            EXPECT_EQ(firstDate(),
                      FormatScheduleDate(at(18, 11).addSecs(c.secondsLate / 3600 * 3600)));
            state.schedule.removeAt(0);
        }
    }
}

TEST_F(SchedulerEngineTest, RepeatCountsRunsAfterTheFirst) {
    schedule(QStringLiteral("Docs"), at(18, 10), 2, 60);
    for (int hour = 0; hour < 5; ++hour) {
        tick();
        state.clock.advanceSeconds(3600);
    }
    EXPECT_EQ(state.host.runs().size(), 3);
    EXPECT_TRUE(state.schedule.isEmpty());
}

TEST_F(SchedulerEngineTest, DayMasksChooseTheDaysOfRepeatingEntries) {
    struct Case {
        const char* what;
        QDateTime first;
        qint32 interval;
        const char* dow;
        QList<int> runDays; // days of March 2016 on which it ran
    };
    const Case cases[] = {
        {"weekly on Mondays", at(14, 18), 10080, "10100000", {14, 21, 28}},
        {"daily on weekdays from a Friday",
         at(18, 18),
         1440,
         "11111000",
         {18, 21, 22, 23, 24, 25, 28}},
        {"daily on weekends with the day-skip flag",
         at(19, 18),
         1440,
         "00000111",
         {19, 20, 26, 27}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QList<int> runDays;
        state.host.duringRun = [&](const QString&) { runDays << state.clock.now().date().day(); };
        state.clock.set(c.first);
        schedule(QStringLiteral("Docs"), c.first, -1, c.interval, 0, true,
                 QString::fromLatin1(c.dow));
        while (state.clock.now() < at(28, 23)) {
            tick();
            state.clock.advanceSeconds(3600);
        }
        EXPECT_EQ(runDays, c.runDays);
        state.schedule.removeAt(0);
    }
}

TEST_F(SchedulerEngineTest, EntryWithoutANextTimeRunsOnceMoreAndIsRemoved) {
    struct Case {
        qint32 interval;
        const char* dow;
        QString line;
    };
    const Case cases[] = {
        {0, "11111110",
         QStringLiteral("Docs: Cannot repeat with INTERVAL=0 and DOW=11111110; removing from the "
                        "schedule. [!]")},
        {-10, "11111110",
         QStringLiteral("Docs: Cannot repeat with INTERVAL=-10 and DOW=11111110; removing from the "
                        "schedule. [!]")},
        {60, "00000000",
         QStringLiteral("Docs: Cannot repeat with INTERVAL=60 and DOW=00000000; removing from the "
                        "schedule. [!]")},
        {10080, "10100000", // a weekly entry on a Friday, which the mask forbids
         QStringLiteral("Docs: Cannot repeat with INTERVAL=10080 and DOW=10100000; removing from "
                        "the schedule. [!]")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        state.host.calls.clear();
        newLog();
        schedule(QStringLiteral("Docs"), at(18, 10), -1, c.interval, 1, true,
                 QString::fromLatin1(c.dow));
        state.clock.set(at(18, 10, 5));
        tick();
        EXPECT_EQ(state.host.runs().size(), 1);
        EXPECT_EQ(newLog(),
                  (QStringList{QStringLiteral("Docs: Called by the scheduler."), c.line}));
        EXPECT_TRUE(state.schedule.isEmpty());
    }
}

TEST_F(SchedulerEngineTest, DueEntriesAreHandledInTheirOrderWithEndingsLast) {
    struct Entry {
        const char* presname;
        int minute; // 10:<minute>
        qint32 repeat = 0;
    };
    struct Case {
        const char* what;
        QList<Entry> entries;
        bool busy;        // an operation in progress during every tick
        bool errorLogged; // for "/SAFEEXIT"
        QStringList done; // runs, closes, power requests and aborts, in order
        QStringList left; // the schedule afterwards
    };
    const Case cases[] = {
        {"an exit waits behind a preset another instance queued after it",
         {{"/exit", 0}, {"Docs", 1}, {"/EXIT", 1}},
         false,
         false,
         {"run:Docs", "close"},
         {}},
        {"every kind of entry goes before the endings",
         {{"/exit", 0}, {"/SHUTDOWN", 0}, {"/SUSPEND", 0}, {"/TRUNCLOG", 1}, {"Mail", 1}},
         false,
         false,
         {"run:Mail", "suspend", "poweroff"},
         {}},
        {"one pause answers the pauses due with it",
         {{"/SUSPEND", 0}, {"/hibernate", 1}},
         false,
         false,
         {"suspend"},
         {}},
        {"a safe exit that stays answers nothing",
         {{"/SAFEEXIT", 0}, {"/EXIT", 1}},
         false,
         true,
         {"close"},
         {}},
        {"an ending answered together still moves to its next time",
         {{"/EXIT", 0, -1}, {"/exit", 1}},
         false,
         false,
         {"close"},
         {"/EXIT"}},
        {"endings not yet due are left",
         {{"/EXIT", 0}, {"/EXIT", 30}, {"Docs", 30}},
         false,
         false,
         {"close"},
         {"/EXIT", "Docs"}},
        {"during a run an abort behind the exit reaches it",
         {{"/exit", 0}, {"Docs", 0}, {"/ABORT", 1}},
         true,
         false,
         {"abort"},
         {"/exit", "Docs"}},
        {"during a run an abort that is not due waits",
         {{"/exit", 0}, {"/ABORT", 30}},
         true,
         false,
         {},
         {"/exit", "/ABORT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        while (!state.schedule.isEmpty())
            state.schedule.removeAt(0);
        state.host.calls.clear();
        power.requests.clear();
        state.flags.ErrorLogged = c.errorLogged;
        state.flags.OperationInProgress = c.busy;
        state.clock.set(at(18, 10, 2));
        for (const Entry& entry : c.entries)
            schedule(QString::fromLatin1(entry.presname), at(18, 10, entry.minute), entry.repeat,
                     60);
        QStringList done;
        for (int i = 0; i < 8; ++i) {
            const qsizetype calls = state.host.calls.size();
            const qsizetype requests = power.requests.size();
            tick();
            for (const QString& call : state.host.calls.mid(calls))
                if (!call.startsWith(QLatin1String("select:")))
                    done << call;
            done << power.requests.mid(requests);
            if (std::exchange(state.flags.AbortRequested, false))
                done << QStringLiteral("abort");
        }
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(state.presnames(), c.left);
    }
    state.flags.OperationInProgress = false;
}

TEST_F(SchedulerEngineTest, AnEndingAnsweredTogetherLeavesItsLinesBeforeTheEnd) {
    schedule(QStringLiteral("/exit"), at(18, 10));
    schedule(QStringLiteral("/EXIT"), at(18, 10));
    bool savedBeforeClose = false;
    tick();
    savedBeforeClose = !QFile::exists(state.schedule.scheduleFilePath());
    EXPECT_TRUE(savedBeforeClose);
    EXPECT_EQ(newLog(),
              (QStringList{QStringLiteral("/exit: Called by the scheduler."),
                           QStringLiteral("/exit: Removing from the schedule (repeat=0)."),
                           QStringLiteral("/EXIT: Called by the scheduler."),
                           QStringLiteral("/EXIT: Removing from the schedule (repeat=0)."),
                           QStringLiteral("/EXIT: Carried out together with /exit.")}));
    EXPECT_EQ(state.host.calls, QStringList{QStringLiteral("close")});
}

TEST_F(SchedulerEngineTest, LatenessCountsFromTheFirstTickThatSawAnEntryMadeAfterItsTime) {
    enum class Source { Request, HandOver, StartUp };
    struct Case {
        const char* what;
        Source source;
        const char* request;  // made at 10:00:00.900, so its date is 10:00:00
        QList<int> ticksAtMs; // after 10:00:00; all but the last while a backup runs
        bool runs;
    };
    const Case cases[] = {
        {"a request for now, first tick a second later",
         Source::Request,
         "[ONDELAY=2]Docs",
         {1950},
         true},
        {"a repeating request for now keeps its first run",
         Source::Request,
         "[ONDELAY=1][REPEAT=3]Docs",
         {1950},
         true},
        {"a request for now that then waited behind a run",
         Source::Request,
         "[ONDELAY=2]Docs",
         {1100, 5000},
         false},
        {"handed over by another instance", Source::HandOver, "[ONDELAY=2]Docs", {1950}, true},
        {"handed over during a run, then waited",
         Source::HandOver,
         "[ONDELAY=2]Docs",
         {1100, 5000},
         false},
        {"read at start-up after its time went by",
         Source::StartUp,
         "[ONDELAY=2]Docs",
         {1950},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.host.calls.clear();
        while (!state.schedule.isEmpty())
            state.schedule.removeAt(0);
        state.schedule.RefreshSchedule();
        newLog();
        const QDateTime made = at(18, 10).addMSecs(900);
        state.clock.set(made);
        tschopt entry;
        ParseScheduleRequest(QString::fromLatin1(c.request), entry, made, state.log,
                             state.messages);
        entry.dow = QStringLiteral("11111110");
        if (c.source == Source::Request) {
            state.schedule.AddScheduleEntry(entry);
        } else {
            // Another instance, or the last session, wrote it to swl.sch.
            ASSERT_TRUE(
                core::writeTextLinesAtomically(state.schedule.scheduleFilePath(),
                                               {FormatScheduleLine(FormatScheduleEntry(entry))}));
            if (c.source == Source::StartUp)
                state.schedule.LoadSchedule();
            else
                scheduleUpdated.signalled = true;
        }
        for (qsizetype i = 0; i < c.ticksAtMs.size(); ++i) {
            state.flags.OperationInProgress = i + 1 < c.ticksAtMs.size();
            state.clock.set(at(18, 10).addMSecs(c.ticksAtMs.at(i)));
            tick();
        }
        EXPECT_EQ(state.host.runs().size(), c.runs ? 1 : 0);
        EXPECT_EQ(newLog().filter(QStringLiteral("Docs: Delayed")).size(), c.runs ? 0 : 1);
    }
}

TEST_F(SchedulerEngineTest, TicksAtOnceWhenAnEntryFallsDueWithoutWaitingForTheTimer) {
    schedule(QStringLiteral("Docs"), at(18, 10));
    engine.start(std::chrono::hours(1));
    EXPECT_TRUE(processEventsUntil([&] { return state.host.runs().size() == 1; }, 2000))
        << "the first tick comes at once";

    tschopt entry;
    ParseScheduleRequest(QStringLiteral("Mail"), entry, state.clock.now(), state.log,
                         state.messages);
    state.schedule.AddScheduleEntry(entry);
    EXPECT_TRUE(processEventsUntil([&] { return state.host.runs().size() == 2; }, 2000))
        << "an entry added for now goes at once";

    schedule(QStringLiteral("Docs"), at(18, 10));
    schedule(QStringLiteral("/EXIT"), at(18, 10));
    engine.tickSoon();
    EXPECT_TRUE(processEventsUntil(
        [&] { return state.host.calls.contains(QStringLiteral("close")); }, 2000))
        << "the entry after a run goes at once";
    engine.stop();
    EXPECT_EQ(state.host.runs().size(), 3);
}

TEST_F(SchedulerEngineTest, AbortQueuedBehindReachesTheRunningBackupThroughTheTimer) {
    // The run processes events like a real backup; the ticks of the running timer
    // must still come through and hand the abort on.
    bool abortedDuringRun = false;
    state.host.duringRun = [&](const QString&) {
        core::OperationScope operation(state.flags);
        abortedDuringRun = processEventsUntil([&] { return state.flags.AbortRequested; }, 5000);
    };
    schedule(QStringLiteral("Docs"), at(18, 10));
    schedule(QStringLiteral("/ABORT"), at(18, 10));
    engine.start(20ms);
    ASSERT_TRUE(processEventsUntil([&] { return !state.host.runs().isEmpty(); }));
    engine.stop();
    EXPECT_TRUE(abortedDuringRun);
    EXPECT_TRUE(state.schedule.isEmpty());
}

TEST_F(SchedulerEngineTest, PresetThenExitInTheSameSecondExitsAfterTheRun) {
    state.host.duringRun = [&](const QString&) {
        core::OperationScope operation(state.flags);
        tick(); // a tick during the run leaves "/EXIT" waiting
        EXPECT_FALSE(state.host.calls.contains(QStringLiteral("close")));
    };
    schedule(QStringLiteral("Docs"), at(18, 10));
    schedule(QStringLiteral("/EXIT"), at(18, 10));
    tick();
    EXPECT_EQ(state.host.calls,
              (QStringList{QStringLiteral("select:Docs"), QStringLiteral("run:Docs")}));
    tick();
    EXPECT_EQ(state.host.calls.last(), QStringLiteral("close"));
    EXPECT_TRUE(state.flags.CloseWithoutAsking);
}

TEST_F(SchedulerEngineTest, ProgramWindowPowerAndLogCommands) {
    struct Case {
        QString command;
        bool errorLogged;
        QStringList hostCalls;
        QStringList powerRequests;
        QStringList
            logAfterCall; // the lines after "<command>: Called by the scheduler." and the removal
        bool closesWithoutAsking;
    };
    const Case cases[] = {
        {QStringLiteral("/exit"), false, {QStringLiteral("close")}, {}, {}, true},
        {QStringLiteral("/SAFEEXIT"), false, {QStringLiteral("close")}, {}, {}, true},
        {QStringLiteral("/SafeExit"),
         true,
         {},
         {},
         {QStringLiteral("/SAFEEXIT call was ignored due to an error.")},
         false},
        {QStringLiteral("/SHOW"),
         false,
         {QStringLiteral("show"), QStringLiteral("tray")},
         {},
         {},
         false},
        {QStringLiteral("/SHOWICON"), false, {QStringLiteral("tray")}, {}, {}, false},
        {QStringLiteral("/REBOOT"),
         false,
         {},
         {QStringLiteral("reboot")},
         {QStringLiteral("Rebooting the system.")},
         false},
        {QStringLiteral("/shutdown"),
         false,
         {},
         {QStringLiteral("poweroff")},
         {QStringLiteral("Shutting down the system.")},
         false},
        {QStringLiteral("/LOGOFF"),
         false,
         {},
         {QStringLiteral("logoff")},
         {QStringLiteral("Logging off from the system.")},
         false},
        {QStringLiteral("/HIBERNATE"),
         false,
         {},
         {QStringLiteral("hibernate")},
         {QStringLiteral("Hibernating.")},
         false},
        {QStringLiteral("/SUSPEND"),
         false,
         {},
         {QStringLiteral("suspend")},
         {QStringLiteral("Suspending.")},
         false},
        {QStringLiteral("/EWX_LOGOFF"), false, {}, {}, {}, false},
        {QStringLiteral("/NOSUCHTHING"), false, {}, {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        state.host.calls.clear();
        power.requests.clear();
        state.flags.ErrorLogged = c.errorLogged;
        state.flags.CloseWithoutAsking = false;
        newLog();
        schedule(c.command, at(18, 10));
        tick();
        EXPECT_EQ(state.host.calls, c.hostCalls);
        EXPECT_EQ(power.requests, c.powerRequests);
        EXPECT_EQ(newLog().mid(2), c.logAfterCall);
        EXPECT_EQ(state.flags.CloseWithoutAsking, c.closesWithoutAsking);
    }
}

TEST_F(SchedulerEngineTest, RefusedPowerActionIsLoggedAndTheProgramGoesOn) {
    power.outcome = platform::PowerResult::Outcome::Refused;
    schedule(QStringLiteral("/SHUTDOWN"), at(18, 10));
    tick();
    EXPECT_EQ(
        newLog().mid(2),
        (QStringList{
            QStringLiteral("Shutting down the system."),
            QStringLiteral("Power action not carried out (STOWLINE_DRY_POWER is set): poweroff")}));
}

TEST_F(SchedulerEngineTest, TruncLogShortensTheLog) {
    state.options.lsz = 5;
    for (int i = 0; i < 20; ++i)
        state.log.WriteLog(QStringLiteral("filler %1").arg(i));
    schedule(QStringLiteral("/TRUNCLOG"), at(18, 10));
    tick();
    const QStringList lines = core::readTextLines(state.log.logFilePath()).value_or(QStringList());
    EXPECT_LE(lines.size(), 6);
    EXPECT_TRUE(state.logMessages().contains(QStringLiteral("Truncating the log file.")));
    EXPECT_FALSE(state.flags.OperationInProgress);
}

TEST_F(SchedulerEngineTest, SendLogChecksItsSettingsAndReadsTheHours) {
    struct Case {
        QString command;
        bool configured;
        bool sent;
        QStringList log; // after the two lines of the entry itself
        QStringList hostCalls;
    };
    const QString sentLine = QStringLiteral("Log report was successfully sent.");
    const Case cases[] = {
        {QStringLiteral("/SENDLOG(48)"),
         false,
         true,
         {QStringLiteral("/SENDLOG requires SMTP server name, FROM and TO emails specified on "
                         "settings/error reporting page. [!]")},
         {}},
        {QStringLiteral("/SENDLOG(48)"),
         true,
         true,
         {QStringLiteral("/SENDLOG requested log for 48 hours."), sentLine},
         {QStringLiteral("sendlog:48")}},
        {QStringLiteral("/sendlog(48"),
         true,
         true,
         {QStringLiteral("/SENDLOG requested log for 24 hours."), sentLine},
         {QStringLiteral("sendlog:24")}},
        {QStringLiteral("/SENDLOG(4x)"),
         true,
         true,
         {QStringLiteral("/SENDLOG requested log for 24 hours."), sentLine},
         {QStringLiteral("sendlog:24")}},
        {QStringLiteral("/SENDLOG"),
         true,
         false,
         {QStringLiteral("/SENDLOG requested log for 24 hours."),
          QStringLiteral("Couldn't send log report. [!]")},
         {QStringLiteral("sendlog:24")}},
    };
    bool busyWhileSending = false;
    state.host.duringSend = [&] { busyWhileSending = state.flags.OperationInProgress; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        state.host.calls.clear();
        newLog();
        state.options.ssr = c.configured ? QStringLiteral("127.0.0.1:2525") : QString();
        state.options.sfm = QStringLiteral("swl@example.org");
        state.options.sto = QStringLiteral("admin@example.org");
        state.host.logSent = c.sent;
        schedule(c.command, at(18, 10));
        tick();
        EXPECT_EQ(newLog().mid(2), c.log);
        EXPECT_EQ(state.host.calls, c.hostCalls);
        EXPECT_FALSE(state.flags.OperationInProgress);
    }
    EXPECT_TRUE(busyWhileSending);
}

TEST_F(SchedulerEngineTest, UnscheduleRemovesTheNthEntryAfterItsOwnRemoval) {
    struct Case {
        QString command;
        QStringList left;
        QString lastLine;
    };
    const Case cases[] = {
        {QStringLiteral("/UNSCHEDULE"),
         {QStringLiteral("Mail")},
         QStringLiteral("Docs: Removing from the schedule (/unschedule request).")},
        {QStringLiteral("/unschedule(2)"),
         {QStringLiteral("Docs")},
         QStringLiteral("Mail: Removing from the schedule (/unschedule request).")},
        {QStringLiteral("/UNSCHEDULE(3)"),
         {QStringLiteral("Docs"), QStringLiteral("Mail")},
         QStringLiteral("Command \"/UNSCHEDULE(3)\" - invalid parameter. [!]")},
        {QStringLiteral("/UNSCHEDULE(0)"),
         {QStringLiteral("Docs"), QStringLiteral("Mail")},
         QStringLiteral("Command \"/UNSCHEDULE(0)\" - invalid parameter. [!]")},
        // Only from a hand-edited file: nothing named, nothing removed.
        {QStringLiteral("/UNSCHEDULE(x)"),
         {QStringLiteral("Docs"), QStringLiteral("Mail")},
         QStringLiteral("Command \"/UNSCHEDULE(x)\" - invalid parameter, set to 0. [!]")},
        // The parameter counts only when its ")" ends the command.
        {QStringLiteral("/UNSCHEDULE(2)x"),
         {QStringLiteral("Mail")},
         QStringLiteral("Docs: Removing from the schedule (/unschedule request).")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        while (!state.schedule.isEmpty())
            state.schedule.removeAt(0);
        newLog();
        schedule(c.command, at(18, 10));
        schedule(QStringLiteral("Docs"), at(19, 10));
        schedule(QStringLiteral("Mail"), at(20, 10));
        tick();
        EXPECT_EQ(state.presnames(), c.left);
        EXPECT_EQ(newLog().last(), c.lastLine);
    }
    EXPECT_EQ(state.catalog.nextRuns, (QStringList{QString(), FormatScheduleDate(at(20, 10))}));
}

TEST_F(SchedulerEngineTest, ExecSyncStartsTheProgramAndGoesOnAtOnce) {
    qputenv("STOWLINE_TEST_TOOLS", "/opt/tools");
    schedule(QStringLiteral("/EXECSYNC(notepad.exe|C:\\a.txt)"), at(18, 10));
    schedule(QStringLiteral("/EXECSYNC(%STOWLINE_TEST_TOOLS%/run me|)"), at(18, 10));
    schedule(QStringLiteral("/EXECSYNC(|only arguments)"), at(18, 10));
    schedule(QStringLiteral("/EXECSYNC(missing)"), at(18, 10));
    launcher.unstartable << QStringLiteral("missing");
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_EQ(launcher.started, (QStringList{QStringLiteral("notepad.exe|C:\\a.txt (detached)"),
                                             QStringLiteral("/opt/tools/run me| (detached)"),
                                             QStringLiteral("missing| (detached)")}));
    EXPECT_FALSE(state.flags.OperationInProgress);
    const QStringList log = state.logMessages();
    EXPECT_TRUE(log.contains(QStringLiteral("SCHEDULER -  Sync execution:  notepad.exe")));
    EXPECT_EQ(log.last(), QStringLiteral("Cannot execute external program [!]"));
    qunsetenv("STOWLINE_TEST_TOOLS");
}

TEST_F(SchedulerEngineTest, ExecAsyncHoldsTheOperationUntilTheProgramEnds) {
    schedule(QStringLiteral("/EXECASYNC(notepad.exe)"), at(18, 10));
    schedule(QStringLiteral("Docs"), at(18, 10));
    bool busyMeanwhile = false;
    QTimer::singleShot(300, [&] {
        busyMeanwhile = state.flags.OperationInProgress && state.host.runs().isEmpty();
        ASSERT_EQ(launcher.processes.size(), 1);
        launcher.processes.first()->end(); // the program ends
    });
    engine.start(20ms);
    tick();
    EXPECT_EQ(launcher.started, QStringList{QStringLiteral("notepad.exe|")});
    EXPECT_TRUE(busyMeanwhile) << "no other entry ran while the program was open";
    EXPECT_FALSE(state.flags.OperationInProgress);
    EXPECT_FALSE(state.flags.AbortRequested);
    EXPECT_TRUE(
        state.logMessages().contains(QStringLiteral("SCHEDULER -  Async execution:  notepad.exe")));
    EXPECT_TRUE(processEventsUntil([&] { return !state.host.runs().isEmpty(); }));
    engine.stop();
}

TEST_F(SchedulerEngineTest, ExecAsyncWaitEndsOnAnAbortEntryAndLeavesTheProgramRunning) {
    schedule(QStringLiteral("/EXECASYNC(notepad.exe)"), at(18, 10));
    schedule(QStringLiteral("/ABORT"), at(18, 10));
    engine.start(20ms);
    tick();
    engine.stop();
    EXPECT_TRUE(state.flags.AbortRequested);
    EXPECT_FALSE(state.flags.OperationInProgress);
    EXPECT_TRUE(state.schedule.isEmpty());
    ASSERT_EQ(launcher.processes.size(), 1);
    ASSERT_TRUE(launcher.processes.first()) << "still kept while it runs";
    EXPECT_FALSE(launcher.processes.first()->terminated);
    // Once it ends by itself it is let go.
    launcher.processes.first()->end();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(launcher.processes.first().isNull());
}

TEST_F(SchedulerEngineTest, EntryOfADeletedPresetIsConsumedWithoutARun) {
    schedule(QStringLiteral("Gone"), at(18, 10), 2, 60);
    tick();
    EXPECT_EQ(state.host.calls, QStringList{QStringLiteral("select:Gone")});
    EXPECT_EQ(newLog(), QStringList{QStringLiteral("Gone: Called by the scheduler.")});
    EXPECT_EQ(state.schedule.entryAt(0).repeat, 1);
}

} // namespace
