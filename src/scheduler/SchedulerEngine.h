#pragma once

#include "scheduler/ScheduleEntry.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
struct PowerResult;
class NamedEventListener;
class PowerActions;
class ProcessLauncher;
class RunningProcess;
} // namespace stowline::platform

namespace stowline::scheduler {

class Schedule;
class SchedulerHost;

// The name of the event by which a second instance announces that it rewrote swl.sch.
inline constexpr const char* kScheduleEventName = "SWL4WINRAR_SCHEDULER";

// What the tick works with; the application owns all of it.
struct SchedulerServices {
    Schedule& schedule;
    core::ProgramFlags& flags;
    const core::topt& options;
    core::EventLog& log;
    const core::MessageTable& messages;
    const core::Clock& clock;
    SchedulerHost& host;
    platform::PowerActions& power;
    platform::ProcessLauncher& launcher;
    platform::NamedEventListener& scheduleUpdated;
};

// The scheduler tick: about once a second it reloads the schedule when another instance
// announced a change, and carries out a due entry. One entry per tick; while an
// operation is in progress only an "/ABORT" entry is carried out. Exit and power
// commands wait while other due entries follow them.
class SchedulerEngine final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTickPeriod{1000};

    explicit SchedulerEngine(SchedulerServices services, QObject* parent = nullptr);
    ~SchedulerEngine() override;

    // Starts the periodic tick (the timer schtimer), with a first tick at once, and
    // stops it.
    void start(std::chrono::milliseconds period = kTickPeriod);
    void stop();
    bool isRunning() const { return schtimer_.isActive(); }

    // One tick.
    void schtimerTimer();
    // Queues a tick to run at once, without waiting for the timer: an entry fell due
    // by being added, another instance announced a change, or an entry was carried out
    // and the next one waits. Nothing happens while the tick is stopped; requests made
    // before the queued tick ran make one tick.
    void tickSoon();

private:
    // An entry that became known at or after its date: its lateness counts from the
    // first tick that looked at it, so the tick's granularity never makes it late.
    struct Arrival {
        tschdata entry;
        QDateTime firstLook; // invalid until a tick looked at it
    };

    void reloadSchedule(const QDateTime& now);
    // Removes the "/ABORT" entry at `index` and asks the running operation to stop.
    void passAbortOn(qsizetype index);
    // Records an entry that became known at `at`; true when it is due by then.
    bool noteArrival(const tschdata& stored, const QDateTime& at);
    void lookAtArrivals(const QDateTime& now);
    void forgetArrival(const tschdata& stored);
    void forgetGoneArrivals();
    // The number of entries at the head of the schedule that are due at `now`.
    qsizetype dueCount(const QDateTime& now) const;
    qsizetype chooseDueEntry(qsizetype due) const;
    bool isLate(qsizetype index, const QDateTime& now) const;
    // Logs the due entry at `index`, then reschedules or removes it and saves the
    // schedule. False when the entry is not to be carried out (late, or skipped).
    bool consumeDueEntry(qsizetype index, const QDateTime& now);
    // Consumes the other due ending commands that carrying out `command` satisfies.
    void consumeSatisfiedEndings(const QString& command, const QDateTime& now);
    void logEntryLine(const QString& presname, QStringView key);
    void carryOutCommand(const QString& command, const QDateTime& now);
    void exitProgram();
    void logPowerResult(const platform::PowerResult& result);
    void sendLog(const QString& command);
    void unschedule(const QString& command);
    // "/EXECASYNC" waits for the program to end; "/EXECSYNC" only starts it.
    enum class ProgramCompletion { Awaited, StartOnly };
    void execute(const QString& command, ProgramCompletion completion);
    void keepUnawaited(std::unique_ptr<platform::RunningProcess> process);

    SchedulerServices s_;
    QTimer schtimer_;
    bool tickQueued_ = false;
    QList<Arrival> arrivals_;
};

} // namespace stowline::scheduler
