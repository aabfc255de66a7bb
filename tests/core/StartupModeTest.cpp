#include "core/StartupMode.h"

#include "platform/fakes/RecordingStartupRegistration.h"

#include <gtest/gtest.h>

namespace stowline::core {
namespace {

TEST(StartupMode, EachModeSetsTheLogInEntryAndTheServiceTogether) {
    const struct {
        int sta;
        QStringList calls;
    } cases[] = {
        {0, {"no-login", "no-service"}},    {1, {"no-service", "login /hide /exit"}},
        {2, {"no-service", "login /hide"}}, {3, {"no-login", "service"}},
        {4, {"no-login", "no-service"}}, // out of range: like 0
        {-1, {"no-login", "no-service"}},
    };
    for (const auto& c : cases) {
        platform::RecordingStartupRegistration registration;
        EXPECT_TRUE(ApplyStartupMode(c.sta, registration));
        EXPECT_EQ(registration.calls, c.calls) << "sta " << c.sta;
    }
}

} // namespace
} // namespace stowline::core
