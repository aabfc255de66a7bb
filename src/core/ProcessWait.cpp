#include "core/ProcessWait.h"

#include "core/ProgramState.h"
#include "platform/ProcessLauncher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace stowline::core {

namespace {
constexpr int kTurnMilliseconds = 500;
} // namespace

WaitOutcome waitForProgram(platform::RunningProcess& process, const ProgramFlags& flags) {
    QEventLoop turn;
    QTimer turnEnd;
    turnEnd.setSingleShot(true);
    QObject::connect(&turnEnd, &QTimer::timeout, &turn, &QEventLoop::quit);
    QObject::connect(&process, &platform::RunningProcess::finished, &turn, &QEventLoop::quit);
    while (true) {
        if (flags.AbortRequested)
            return WaitOutcome::Aborted;
        if (process.hasFinished())
            return WaitOutcome::Finished;
        if (QCoreApplication::closingDown())
            return WaitOutcome::ShuttingDown;
        turnEnd.start(kTurnMilliseconds);
        turn.exec();
    }
}

} // namespace stowline::core
