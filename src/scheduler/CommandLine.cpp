#include "scheduler/CommandLine.h"

#include "core/Clock.h"
#include "core/ControlCharacters.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/NamedEvent.h"
#include "scheduler/Schedule.h"
#include "scheduler/SchedulerHost.h"

#include <QEventLoop>
#include <QTimer>

namespace stowline::scheduler {

namespace {
const QString kLanguageSwitch = QStringLiteral("/LANGUAGE(");

void closeWithoutAsking(CommandLineServices& s) {
    s.flags.CloseWithoutAsking = true;
    s.host.closeProgram();
}

// Turns the scheduler on or off in the first instance. A second instance cannot, since
// the first one keeps its own options: it says so and ends. False when it ended.
bool switchScheduler(CommandLineServices& s, bool on) {
    if (s.flags.SecondInstance) {
        s.log.WriteError(s.messages.text(on ? u"schcantturnon" : u"schcantturnoff"));
        closeWithoutAsking(s);
        return false;
    }
    s.options.son = on;
    s.log.WriteLog(s.messages.text(on ? u"schturnedon" : u"schturnedoff"));
    return true;
}
} // namespace

CommandLineOutcome CarryOutCommandLine(const QStringList& arguments, CommandLineServices s,
                                       std::chrono::milliseconds holdTime) {
    for (const QString& argument : arguments) {
        // Refused whole, whatever it asks for: a line break would forge lines in the
        // log and split the request's line in swl.sch.
        if (core::holdsControlCharacter(argument)) {
            s.log.WriteError(s.messages.text(u"schedulerword") +
                             core::formatMessage(s.messages.text(u"nameholdscontrolchar"),
                                                 {core::withVisibleControlCharacters(argument)}));
            continue;
        }
        const QString upper = argument.toUpper();
        if (upper.startsWith(kLanguageSwitch)) {
            QString name = argument.mid(kLanguageSwitch.size());
            if (name.endsWith(QLatin1Char(')')))
                name.chop(1);
            s.host.chooseLanguage(name);
        } else if (upper == QLatin1String("/HIDE") || upper == QLatin1String("/SVC")) {
            s.host.hideMainWindow();
        } else if (upper == QLatin1String("/SCHON") || upper == QLatin1String("/SCHOFF")) {
            if (!switchScheduler(s, upper == QLatin1String("/SCHON")))
                return CommandLineOutcome::Closed;
        } else {
            tschopt entry;
            ParseScheduleRequest(argument, entry, s.clock.now(), s.log, s.messages);
            s.schedule.AddScheduleEntry(entry);
        }
    }
    if (!s.flags.SecondInstance)
        return CommandLineOutcome::KeepRunning;

    // The first instance notices the signal on its next tick only while it is kept alive.
    s.scheduleUpdated.signal();
    QEventLoop hold;
    QTimer::singleShot(holdTime, &hold, &QEventLoop::quit);
    hold.exec();
    s.scheduleUpdated.release();
    closeWithoutAsking(s);
    return CommandLineOutcome::Closed;
}

} // namespace stowline::scheduler
