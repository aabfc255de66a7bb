#pragma once

#include <QStringList>

#include <chrono>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class NamedEventSender;
} // namespace stowline::platform

namespace stowline::scheduler {

class Schedule;
class SchedulerHost;

// What carrying out the command line works with; the application owns all of it.
struct CommandLineServices {
    Schedule& schedule;
    core::ProgramFlags& flags;
    core::topt& options;
    core::EventLog& log;
    const core::MessageTable& messages;
    const core::Clock& clock;
    SchedulerHost& host;
    // Announces a rewritten swl.sch to the first instance; used by a second instance.
    platform::NamedEventSender& scheduleUpdated;
};

// How long a second instance keeps its signal alive: longer than one tick of the first
// instance, which consumes it.
inline constexpr std::chrono::milliseconds kSignalHoldTime{1500};

enum class CommandLineOutcome {
    KeepRunning, // first instance: start the scheduler tick now
    Closed,      // second instance: handed over (or refused) and asked the program to close
};

// Carries out the command-line arguments (without the program name), once at start-up
// after the schedule was loaded and the preset list built:
// - "/HIDE" and "/SVC" hide the main window;
// - "/SCHON" and "/SCHOFF" switch the scheduler (option son) in the first instance, and
//   end a second instance at once with a refusal line;
// - "/LANGUAGE(name)" or "/LANGUAGE(name" chooses a language file;
// - anything else is a schedule request added to the schedule (and so to swl.sch).
// Switches compare without regard to letter case, each argument as a whole. A second
// instance then signals the first one, keeps the signal alive for `holdTime` while it
// processes events, and closes the program without asking.
CommandLineOutcome CarryOutCommandLine(const QStringList& arguments, CommandLineServices services,
                                       std::chrono::milliseconds holdTime = kSignalHoldTime);

} // namespace stowline::scheduler
