#include "NetFixture.h"

#include "QtPrinters.h"

#include "net/FtpHostScript.h"
#include "protocols/HttpClient.h"

#include <gtest/gtest.h>

#include <optional>

namespace stowline::net::testing {
namespace {

struct HostLineCase {
    const char* text;
    bool accepted;
};

class FtpHostLine : public ::testing::TestWithParam<HostLineCase> {};

TEST_P(FtpHostLine, AcceptsOnlyAHostAndAPort) {
    EXPECT_EQ(isFtpHostLine(QString::fromLatin1(GetParam().text)), GetParam().accepted)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FtpHostLine,
    ::testing::Values(HostLineCase{"ftp.example.org", true},
                      HostLineCase{"ftp-1.example.org:2121", true},
                      HostLineCase{"192.0.2.7:65535", true}, HostLineCase{"localhost", true},
                      HostLineCase{"", false}, HostLineCase{":21", false},
                      HostLineCase{"host:", false}, HostLineCase{"host:0", false},
                      HostLineCase{"host:65536", false}, HostLineCase{"host:21:22", false},
                      HostLineCase{"two words", false}, HostLineCase{"-host", false},
                      HostLineCase{"host.", false}, HostLineCase{"<html>", false},
                      HostLineCase{"host;rm -rf", false}, HostLineCase{"user@host", false}));

TEST(FtpHostLine, RejectsAnOverlongName) {
    const QString label(60, QLatin1Char('a'));
    EXPECT_TRUE(isFtpHostLine(QStringList(4, label).join('.').left(253)));
    EXPECT_FALSE(isFtpHostLine(QStringList(5, label).join('.')));
}

struct ScriptCase {
    const char* name;
    const char* path; // with the body after "?"
    std::optional<QString> host;
};

void PrintTo(const ScriptCase& c, std::ostream* out) {
    *out << c.name;
}

class FtpHostScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(FtpHostScript, TakesTheTrimmedFirstLineOfTheAnswer) {
    const ScriptCase& c = GetParam();
    FixtureServer script(QStringLiteral("http_server.py"), {});
    protocols::CurlDriver driver;
    protocols::HttpClient http(driver);
    http.setTimeoutSeconds(1);

    const std::optional<QString> host =
        ResolveFtpHost(http, "http://127.0.0.1:" + script.portText() + QString::fromLatin1(c.path));

    EXPECT_EQ(host, c.host);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FtpHostScript,
    ::testing::Values(ScriptCase{"host_and_port", "/host?ftp.example.org:2121",
                                 "ftp.example.org:2121"},
                      ScriptCase{"host_only", "/host?ftp.example.org", "ftp.example.org"},
                      ScriptCase{"not_a_host", "/host?rm%20-rf", std::nullopt},
                      ScriptCase{"empty_answer", "/empty", std::nullopt},
                      ScriptCase{"error_status", "/missing?ftp.example.org", std::nullopt},
                      ScriptCase{"too_long", "/big", std::nullopt},
                      ScriptCase{"no_answer_in_time", "/slow", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stowline::net::testing
