#include "core/EventWait.h"

#include "core/ProgramState.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::core {
namespace {

using namespace std::chrono_literals;

// With nothing else going on, every wait ends at its time-out: a wake-up timer that
// fires a little early, or a shorter wake-up period, must not leave the wait sleeping
// past it nor end it before.
TEST(EventWait, IdleWaitEndsAtTheTimeout) {
    for (const WaitRules& rules :
         {WaitRules().endAfter(300ms), WaitRules().endAfter(300ms).wakeUpEvery(70ms)}) {
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer elapsed;
            elapsed.start();
            EXPECT_EQ(waitProcessingEvents([] { return false; }, rules), WaitEnd::TimedOut);
            EXPECT_GE(elapsed.elapsed(), 300);
            EXPECT_LT(elapsed.elapsed(), 2000);
        }
    }
}

// A condition that changes without any event (a clock) is seen at the next wake-up.
TEST(EventWait, WakeUpLooksAtTheConditionWithoutEvents) {
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(
        waitProcessingEvents([&elapsed] { return elapsed.elapsed() >= 150; },
                             WaitRules().wakeUpEvery(50ms).endAfter(5s).pausingEachTurn(true)),
        WaitEnd::Done);
    EXPECT_LT(elapsed.elapsed(), 1000);
}

// An abort ends the wait at once, and wins over a condition that came true with it.
TEST(EventWait, AbortEndsTheWaitBeforeTheCondition) {
    ProgramFlags flags;
    bool done = false;
    QTimer::singleShot(50ms, [&] {
        flags.AbortRequested = true;
        done = true;
    });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(waitProcessingEvents([&done] { return done; }, WaitRules().endingOnAbort(flags)),
              WaitEnd::Aborted);
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(waitProcessingEvents([] { return true; }, WaitRules().endingOnAbort(flags)),
              WaitEnd::Aborted);
    flags.AbortRequested = false;
    EXPECT_EQ(waitProcessingEvents([] { return true; }, WaitRules().endingOnAbort(flags)),
              WaitEnd::Done);
}

} // namespace
} // namespace stowline::core
