#include "scheduler/SchedulerEngine.h"

#include "core/Clock.h"
#include "core/EnvironmentText.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProcessWait.h"
#include "core/ProgramState.h"
#include "platform/NamedEvent.h"
#include "platform/PowerActions.h"
#include "platform/ProcessLauncher.h"
#include "scheduler/NextTime.h"
#include "scheduler/Schedule.h"
#include "scheduler/SchedulerHost.h"

#include <algorithm>

namespace stowline::scheduler {

namespace {
constexpr int kDefaultLogHours = 24;

// The text between the first "(" and the first ")" of a command, when that ")" is its
// last character.
std::optional<QString> commandParameter(const QString& command) {
    const qsizetype open = command.indexOf(QLatin1Char('('));
    const qsizetype close = command.indexOf(QLatin1Char(')'));
    if (open < 0 || close != command.size() - 1 || close < open)
        return std::nullopt;
    return command.mid(open + 1, close - open - 1);
}

bool isAbort(const QString& presname) {
    return presname.toUpper() == QLatin1String("/ABORT");
}

// Commands that pause or end the machine, the session or the program. They wait while
// any other due entry follows, in this order: pauses first (the program goes on after
// them), then the session, then the program.
enum class Ending { None, Pause, Session, Program };

Ending endingOf(const QString& presname) {
    const QString upper = presname.toUpper();
    const auto is = [&upper](const char* name) { return upper == QLatin1String(name); };
    if (is("/HIBERNATE") || is("/SUSPEND"))
        return Ending::Pause;
    if (is("/SHUTDOWN") || is("/REBOOT") || is("/LOGOFF"))
        return Ending::Session;
    if (is("/EXIT") || is("/SAFEEXIT"))
        return Ending::Program;
    return Ending::None;
}

// Whether carrying out a command of the kind `done` also does what `other` asks for.
// A pause answers only other pauses. The end of the session or of the program answers
// every ending command: one left behind in swl.sch would end the next start.
bool satisfies(Ending done, Ending other) {
    if (done == Ending::None || other == Ending::None)
        return false;
    return done == Ending::Pause ? other == Ending::Pause : true;
}
} // namespace

SchedulerEngine::SchedulerEngine(SchedulerServices services, QObject* parent)
    : QObject(parent), s_(services) {
    // A tick that runs a backup processes events until the run has ended, and the ticks
    // in between must still reload the schedule and pass an "/ABORT" on. A timer is not
    // activated again while its own handler runs, so the handler only queues the tick,
    // which then runs outside the timer's activation.
    connect(&schtimer_, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(this, &SchedulerEngine::schtimerTimer, Qt::QueuedConnection);
    });
    s_.schedule.setAdditionObserver([this](const tschdata& stored) {
        if (noteArrival(stored, wallClock(s_.clock.now())))
            tickSoon();
    });
}

SchedulerEngine::~SchedulerEngine() {
    s_.schedule.setAdditionObserver({});
}

void SchedulerEngine::start(std::chrono::milliseconds period) {
    schtimer_.start(period);
    tickSoon();
}

void SchedulerEngine::stop() {
    schtimer_.stop();
}

void SchedulerEngine::tickSoon() {
    if (tickQueued_ || !isRunning())
        return;
    tickQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            tickQueued_ = false;
            if (isRunning())
                schtimerTimer();
        },
        Qt::QueuedConnection);
}

void SchedulerEngine::schtimerTimer() {
    if (!s_.options.son)
        return;
    const QDateTime now = wallClock(s_.clock.now());
    if (s_.scheduleUpdated.tryConsume())
        reloadSchedule(now);
    forgetGoneArrivals();
    lookAtArrivals(now);
    const qsizetype due = dueCount(now);
    if (due == 0)
        return;
    if (s_.flags.OperationInProgress) {
        // Handled during a run wherever it stands among the due entries: this is how an
        // abort reaches a running backup while its "/EXIT" waits in front.
        for (qsizetype index = 0; index < due; ++index) {
            if (isAbort(s_.schedule.entries().at(index).presname)) {
                passAbortOn(index);
                return;
            }
        }
        return;
    }
    const qsizetype index = chooseDueEntry(due);
    const QString presname = s_.schedule.entries().at(index).presname;
    if (isAbort(presname)) {
        passAbortOn(index);
        return;
    }
    if (consumeDueEntry(index, now)) {
        // The entry was rescheduled or removed and swl.sch written before it is carried
        // out, so a run that ends the program or the machine does not repeat it at the
        // next start.
        if (presname.startsWith(QLatin1Char('/')))
            carryOutCommand(presname, now);
        else if (s_.host.selectPreset(presname))
            s_.host.RunPreset();
    }
    // A run may have taken long; the entries that fell due meanwhile go on at once.
    if (dueCount(wallClock(s_.clock.now())) > 0)
        tickSoon();
}

void SchedulerEngine::passAbortOn(qsizetype index) {
    // Nothing is logged: the run that ends says so.
    s_.schedule.removeAt(index);
    s_.schedule.RefreshSchedule();
    s_.flags.AbortRequested = true;
}

void SchedulerEngine::reloadSchedule(const QDateTime& now) {
    s_.log.WriteLog(s_.messages.text(u"anotherswlupdatedsch"));
    QList<tschdata> known = s_.schedule.entries();
    s_.schedule.LoadSchedule();
    s_.schedule.RefreshSchedule();
    // What the other instance added becomes known now.
    for (const tschdata& stored : s_.schedule.entries()) {
        if (!known.removeOne(stored))
            noteArrival(stored, now);
    }
}

bool SchedulerEngine::noteArrival(const tschdata& stored, const QDateTime& at) {
    const std::optional<QDateTime> date = ParseScheduleDate(stored.date);
    if (!date || *date > at)
        return false;
    arrivals_.append({stored, QDateTime()});
    return true;
}

void SchedulerEngine::forgetArrival(const tschdata& stored) {
    const auto found =
        std::find_if(arrivals_.begin(), arrivals_.end(),
                     [&](const Arrival& arrival) { return arrival.entry == stored; });
    if (found != arrivals_.end())
        arrivals_.erase(found);
}

void SchedulerEngine::forgetGoneArrivals() {
    if (arrivals_.isEmpty())
        return;
    // Entries can leave the schedule other than through the tick: a reload, a deleted
    // preset, an "/UNSCHEDULE".
    QList<tschdata> present = s_.schedule.entries();
    arrivals_.removeIf(
        [&present](const Arrival& arrival) { return !present.removeOne(arrival.entry); });
}

void SchedulerEngine::lookAtArrivals(const QDateTime& now) {
    for (Arrival& arrival : arrivals_) {
        if (!arrival.firstLook.isValid())
            arrival.firstLook = now;
    }
}

qsizetype SchedulerEngine::dueCount(const QDateTime& now) const {
    qsizetype due = 0;
    while (due < s_.schedule.size() && wallClock(s_.schedule.entryAt(due).date) <= now)
        ++due;
    return due;
}

qsizetype SchedulerEngine::chooseDueEntry(qsizetype due) const {
    // The first due entry of the earliest kind: other entries, then pauses, then the end
    // of the session, then the end of the program.
    qsizetype chosen = 0;
    Ending chosenKind = endingOf(s_.schedule.entries().at(0).presname);
    for (qsizetype index = 1; index < due && chosenKind != Ending::None; ++index) {
        const Ending kind = endingOf(s_.schedule.entries().at(index).presname);
        if (kind < chosenKind) {
            chosen = index;
            chosenKind = kind;
        }
    }
    return chosen;
}

bool SchedulerEngine::isLate(qsizetype index, const QDateTime& now) const {
    const tschdata& stored = s_.schedule.entries().at(index);
    QDateTime lateFrom = wallClock(s_.schedule.entryAt(index).date);
    for (const Arrival& arrival : arrivals_) {
        if (arrival.entry == stored) {
            lateFrom = std::max(lateFrom, arrival.firstLook);
            break;
        }
    }
    return now >= lateFrom.addSecs(s_.options.shp);
}

bool SchedulerEngine::consumeDueEntry(qsizetype index, const QDateTime& now) {
    tschopt entry = s_.schedule.entryAt(index);
    const QString presname = entry.presname;
    s_.log.WriteLog(presname + s_.messages.text(u"calledbythescheduler"));
    const bool late = isLate(index, now);
    forgetArrival(s_.schedule.entries().at(index));
    if (entry.ondelay == 2 && late) {
        logEntryLine(presname, u"delayedremoving");
        s_.schedule.removeAt(index);
        s_.schedule.RefreshSchedule();
        return false;
    }
    if (entry.repeat == 0) {
        logEntryLine(presname, u"removingrepiszero");
        s_.schedule.removeAt(index);
    } else {
        const bool skip = entry.ondelay == 1 && late;
        if (entry.repeat > 0)
            --entry.repeat;
        const std::optional<QDateTime> next = NextScheduleTime(entry, now);
        s_.schedule.removeAt(index);
        if (!next) {
            // No later time exists (an interval below one minute, or a day mask that no
            // time of the series can meet): this run is the entry's last.
            s_.log.WriteError(presname + QStringLiteral(": ") +
                              core::formatMessage(s_.messages.text(u"cannotrepeatentry"),
                                                  {QString::number(entry.interval), entry.dow}));
        } else {
            entry.date = *next;
            s_.schedule.insert(entry);
            if (skip) {
                logEntryLine(presname, u"delayedskipping");
                s_.schedule.RefreshSchedule();
                return false;
            }
        }
    }
    s_.schedule.RefreshSchedule();
    return true;
}

void SchedulerEngine::consumeSatisfiedEndings(const QString& command, const QDateTime& now) {
    const Ending done = endingOf(command);
    for (;;) {
        const qsizetype due = dueCount(now);
        qsizetype index = 0;
        while (index < due && !satisfies(done, endingOf(s_.schedule.entries().at(index).presname)))
            ++index;
        if (index == due)
            return;
        // Consuming moves the entry past `now` or removes it, so the loop ends.
        const QString other = s_.schedule.entries().at(index).presname;
        if (consumeDueEntry(index, now))
            s_.log.WriteLog(other + QStringLiteral(": Carried out together with ") + command +
                            QLatin1Char('.'));
    }
}

void SchedulerEngine::logEntryLine(const QString& presname, QStringView key) {
    s_.log.WriteLog(presname + QStringLiteral(": ") + s_.messages.text(key));
}

void SchedulerEngine::carryOutCommand(const QString& command, const QDateTime& now) {
    const QString upper = command.toUpper();
    // The other due ending commands are answered by this one and leave the schedule
    // before the program, the session or the machine goes.
    const bool staysDespiteExit = upper == QLatin1String("/SAFEEXIT") && s_.flags.ErrorLogged;
    if (endingOf(command) != Ending::None && !staysDespiteExit)
        consumeSatisfiedEndings(command, now);
    const auto is = [&upper](const char* name) { return upper == QLatin1String(name); };
    const auto begins = [&upper](const char* name) {
        return upper.startsWith(QLatin1String(name));
    };
    if (is("/EXIT")) {
        exitProgram();
    } else if (is("/SAFEEXIT")) {
        if (s_.flags.ErrorLogged)
            s_.log.WriteLog(s_.messages.text(u"safeexitignored"));
        else
            exitProgram();
    } else if (is("/SHOW")) {
        s_.host.showMainWindow();
        s_.host.refreshTrayIcon();
    } else if (is("/SHOWICON")) {
        s_.host.refreshTrayIcon();
    } else if (is("/REBOOT")) {
        s_.log.WriteLog(s_.messages.text(u"reboot"));
        logPowerResult(s_.power.ExitSystem(platform::SessionExit::Reboot));
    } else if (is("/SHUTDOWN")) {
        s_.log.WriteLog(s_.messages.text(u"shutdown"));
        logPowerResult(s_.power.ExitSystem(platform::SessionExit::PowerOff));
    } else if (is("/LOGOFF")) {
        s_.log.WriteLog(s_.messages.text(u"logoff"));
        logPowerResult(s_.power.ExitSystem(platform::SessionExit::LogOff));
    } else if (is("/HIBERNATE")) {
        s_.log.WriteLog(s_.messages.text(u"hibernate"));
        logPowerResult(s_.power.SuspendSystem(true));
    } else if (is("/SUSPEND")) {
        s_.log.WriteLog(s_.messages.text(u"suspend"));
        logPowerResult(s_.power.SuspendSystem(false));
    } else if (is("/TRUNCLOG")) {
        s_.log.WriteLog(s_.messages.text(u"trunclog"));
        s_.log.TruncateLog();
    } else if (begins("/SENDLOG")) {
        sendLog(command);
    } else if (begins("/UNSCHEDULE")) {
        unschedule(command);
    } else if (begins("/EXECASYNC")) {
        execute(command, ProgramCompletion::Awaited);
    } else if (begins("/EXECSYNC")) {
        execute(command, ProgramCompletion::StartOnly);
    }
    // "/EWX_LOGOFF" is accepted into the schedule and has no effect.
}

void SchedulerEngine::exitProgram() {
    s_.flags.CloseWithoutAsking = true;
    s_.host.closeProgram();
}

void SchedulerEngine::logPowerResult(const platform::PowerResult& result) {
    // A refused or failed request leaves the program running; only the deliberate
    // refusal of the dry mode says so.
    if (result.outcome == platform::PowerResult::Outcome::Refused)
        s_.log.WriteLog(s_.messages.text(u"poweractiondryrun") + result.command);
}

void SchedulerEngine::sendLog(const QString& command) {
    const core::topt& options = s_.options;
    if (options.ssr.isEmpty() || options.sfm.isEmpty() || options.sto.isEmpty()) {
        s_.log.WriteError(s_.messages.text(u"specsmtpforlog"));
        return;
    }
    const std::optional<QString> parameter = commandParameter(command);
    const std::optional<qint32> hours = parameter ? parseDecimal(*parameter) : std::nullopt;
    const int requested = hours.value_or(kDefaultLogHours);
    s_.log.WriteLog(
        core::formatMessage(s_.messages.text(u"logtoemailreq"), {QString::number(requested)}));
    core::OperationScope operation(s_.flags);
    const bool sent = s_.host.SendLogByEmail(requested);
    s_.log.WriteLog(s_.messages.text(sent ? u"logtoemailsent" : u"logtoemailnotsent"));
}

void SchedulerEngine::unschedule(const QString& command) {
    qint32 number = 1;
    if (const std::optional<QString> parameter = commandParameter(command)) {
        const std::optional<qint32> given = parseDecimal(*parameter);
        if (!given) {
            // The line says the number was set to 0, and entry 0 does not exist: nothing
            // is removed, rather than an entry nobody named.
            s_.log.WriteError(
                core::formatMessage(s_.messages.text(u"commandinvalidparam0"), {command}));
            return;
        }
        number = *given;
    }
    if (number < 1 || number > s_.schedule.size()) {
        s_.log.WriteError(core::formatMessage(s_.messages.text(u"commandinvalidparam"), {command}));
        return;
    }
    const qsizetype index = number - 1;
    logEntryLine(s_.schedule.entries().at(index).presname, u"unschedulereq");
    s_.schedule.removeAt(index);
    s_.schedule.RefreshSchedule();
}

void SchedulerEngine::execute(const QString& command, ProgramCompletion completion) {
    const QString parameter = commandParameter(command).value_or(QString());
    const qsizetype bar = parameter.indexOf(QLatin1Char('|'));
    const QString program = bar < 0 ? parameter : parameter.left(bar);
    const QString arguments = bar < 0 ? QString() : parameter.mid(bar + 1);
    if (program.isEmpty())
        return;
    s_.log.WriteLog(s_.messages.text(u"schedulerword") + QLatin1Char(' ') +
                    s_.messages.text(completion == ProgramCompletion::Awaited ? u"asyncexecution"
                                                                              : u"syncexecution") +
                    QLatin1Char(' ') + program);
    core::OperationScope operation(s_.flags);
    const QString file = core::ExpandEnvironmentText(program);
    const QString cannotExecute = s_.messages.text(u"cannotexecuteexternal");
    if (completion == ProgramCompletion::StartOnly) {
        if (!s_.launcher.startDetached(file, arguments, false))
            s_.log.WriteError(cannotExecute);
        return;
    }
    std::unique_ptr<platform::RunningProcess> process = s_.launcher.start(file, arguments, false);
    if (!process) {
        s_.log.WriteError(cannotExecute);
        return;
    }
    // Further ticks run inside this wait; a due "/ABORT" sets AbortRequested and ends it,
    // as does the end of the session.
    if (core::waitForProgram(*process, s_.flags) != core::WaitOutcome::Finished)
        keepUnawaited(std::move(process));
}

void SchedulerEngine::keepUnawaited(std::unique_ptr<platform::RunningProcess> process) {
    // Nobody waits for the program any more, but it is not ended either: it is kept
    // until it ends by itself (or until the scheduler goes, with the program).
    if (process->hasFinished())
        return;
    platform::RunningProcess* unawaited = process.release();
    unawaited->setParent(this);
    connect(unawaited, &platform::RunningProcess::finished, unawaited, &QObject::deleteLater);
}

} // namespace stowline::scheduler
