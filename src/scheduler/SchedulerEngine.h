#pragma once

#include <QDateTime>
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
// announced a change, and carries out the first entry when it is due. One entry per
// tick; while an operation is in progress only an "/ABORT" entry is carried out.
class SchedulerEngine final : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kTickPeriod{1000};

    explicit SchedulerEngine(SchedulerServices services, QObject* parent = nullptr);

    // Starts and stops the periodic tick (the timer schtimer).
    void start(std::chrono::milliseconds period = kTickPeriod);
    void stop();
    bool isRunning() const { return schtimer_.isActive(); }

    // One tick.
    void schtimerTimer();

  private:
    // Logs the due first entry, then reschedules or removes it and saves the schedule.
    // False when the entry is not to be carried out (late, or skipped).
    bool consumeDueEntry(const QDateTime& now);
    void logEntryLine(const QString& presname, QStringView key);
    void carryOutCommand(const QString& command);
    void exitProgram();
    void logPowerResult(const platform::PowerResult& result);
    void sendLog(const QString& command);
    void unschedule(const QString& command);
    void execute(const QString& command, bool waitForEnd);
    void keepUnawaited(std::unique_ptr<platform::RunningProcess> process);

    SchedulerServices s_;
    QTimer schtimer_;
};

} // namespace stowline::scheduler
