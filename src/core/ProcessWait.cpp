#include "core/ProcessWait.h"

#include "core/EventWait.h"
#include "platform/ProcessLauncher.h"

#include <QCoreApplication>

namespace stowline::core {

namespace {
constexpr std::chrono::milliseconds kTurn{500};
} // namespace

WaitOutcome waitForProgram(platform::RunningProcess& process, const ProgramFlags& flags) {
    const WaitEnd end = waitProcessingEvents(
        [&process] { return process.hasFinished() || QCoreApplication::closingDown(); },
        WaitRules().wakeUpEvery(kTurn).endingOnAbort(flags));
    if (end == WaitEnd::Aborted)
        return WaitOutcome::Aborted;
    return process.hasFinished() ? WaitOutcome::Finished : WaitOutcome::ShuttingDown;
}

} // namespace stowline::core
