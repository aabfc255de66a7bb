#include "core/EnvironmentText.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>

namespace stowline::core {
namespace {

class ExpandEnvironmentTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("STOWLINE_TEST_TARGET", "/srv/backup", 1);
        ::setenv("STOWLINE_TEST_LONG", std::string(4000, 'x').c_str(), 1);
        ::unsetenv("STOWLINE_TEST_MISSING");
    }
    void TearDown() override {
        ::unsetenv("STOWLINE_TEST_TARGET");
        ::unsetenv("STOWLINE_TEST_LONG");
    }
};

TEST_F(ExpandEnvironmentTextTest, ExpandsKnownNamesAndKeepsTheRest) {
    const struct {
        QString text;
        QString expanded;
    } cases[] = {
        {"", ""},
        {"docs", "docs"},
        {"%STOWLINE_TEST_TARGET%/docs", "/srv/backup/docs"},
        {"a%STOWLINE_TEST_TARGET%b%STOWLINE_TEST_TARGET%", "a/srv/backupb/srv/backup"},
        {"%STOWLINE_TEST_MISSING%/docs", "%STOWLINE_TEST_MISSING%/docs"},
        {"100%", "100%"},
        {"%%", "%%"},
        // An unknown name leaves its first "%"; the second may open a known name.
        {"%STOWLINE_TEST_MISSING%STOWLINE_TEST_TARGET%", "%STOWLINE_TEST_MISSING/srv/backup"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandEnvironmentText(c.text), c.expanded) << c.text.toStdString();
}

TEST_F(ExpandEnvironmentTextTest, TextThatNoLongerFitsStaysUnexpanded) {
    // 4000 characters from the variable: 96 more fit in 4096, 97 do not.
    const QString fits = "%STOWLINE_TEST_LONG%" + QString(96, 'y');
    EXPECT_EQ(ExpandEnvironmentText(fits).size(), kExpandedTextLimit);
    const QString tooLong = "%STOWLINE_TEST_LONG%" + QString(97, 'y');
    EXPECT_EQ(ExpandEnvironmentText(tooLong), tooLong);
}

} // namespace
} // namespace stowline::core
