#include "protocols/SyncWait.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace stowline::protocols {
namespace {

using namespace std::chrono_literals;

// With nothing else going on, every wait ends at its time-out: a wake-up timer that
// fires a little early must not leave the wait sleeping.
TEST(SyncWait, IdleWaitEndsAtTheTimeout) {
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_FALSE(waitProcessingEvents([] { return false; }, 300ms));
        EXPECT_GE(elapsed.elapsed(), 300);
        EXPECT_LT(elapsed.elapsed(), 2000);
    }
}

} // namespace
} // namespace stowline::protocols
