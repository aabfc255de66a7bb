// Schedule lines of swl.sch and schedule requests from the command line or a hand-over.
#include "FuzzSupport.h"

#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "scheduler/Schedule.h"
#include "scheduler/ScheduleEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    static const core::MessageTable messages;
    static const core::ManualClock clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    static platform::RecordingSoundPlayer sound;
    static core::ProgramFlags flags;
    static const core::topt options;
    static const core::Folders folders{fuzz::scratchFolder(), fuzz::scratchFolder(),
                                       fuzz::scratchFolder()};
    static core::EventLog log(folders, flags, options, messages, clock, sound);
    static unsigned runs = 0;
    // The refused requests write error lines: keep the log small.
    if (++runs % 4096 == 0)
        fuzz::forgetEventLog(log, folders);

    const QString text = fuzz::asText(data, size);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        (void)scheduler::ParseScheduleEntry(scheduler::ParseScheduleLine(line));
        scheduler::tschopt entry;
        scheduler::ParseScheduleRequest(line, entry, clock.now(), log, messages);
    }
    return 0;
}
