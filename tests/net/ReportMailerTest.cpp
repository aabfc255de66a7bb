#include "NetFixture.h"

#include "QtPrinters.h"

#include "net/ReportMailer.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::net::testing {
namespace {

const QString kProductLine = "Stowline for WinRAR, v.3.01 (2016.03.15).";

// The program's log with error reports on, mailing to `server` (or to a closed port).
struct Reporting : backup::testing::RunEnvironment {
    explicit Reporting(const SmtpServer* server) {
        options.ser = true;
        options.ssr = server ? server->address()
                             : "127.0.0.1:" + QString::number(protocols::test::closedPort());
        options.sfm = QStringLiteral("swl@example.org");
        options.sto = QStringLiteral("admin@example.org");
        mailer.setTimeoutSeconds(3);
        log.setErrorReportSender(
            [this](const QString& line) { return mailer.SendErrorReport(line); });
    }

    protocols::CurlDriver driver;
    ReportMailer mailer{flags, options, messages, log, clock, driver};
};

// The text of a received message, line by line.
QStringList textOf(const QJsonObject& message) {
    QStringList lines = message["text"].toString().remove('\r').split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

TEST(ErrorReport, EachErrorLineIsMailedAtOnce) {
    SmtpServer server;
    Reporting r(&server);

    r.log.WriteLog("Something failed. [!]");
    r.log.WriteLog("All is well again.");

    EXPECT_EQ(r.logMessages(), QStringList({"Something failed. [!]", "Sending e-mail report...",
                                            "Error report has been sent to admin@example.org",
                                            "All is well again."}));
    ASSERT_EQ(server.messageCount(), 1);
    const QJsonObject message = server.message(1);
    EXPECT_EQ(message["subject"].toString(), "SWL error report.");
    EXPECT_EQ(message["mail_from"].toString(), "swl@example.org");
    EXPECT_EQ(jsonStrings(message["rcpt_tos"]), QStringList{"admin@example.org"});
    EXPECT_EQ(textOf(message), QStringList{"[2016.03.03 09:05:07] Something failed. [!]"});
    EXPECT_FALSE(r.flags.OperationInProgress);
}

TEST(ErrorReport, UnreachableServerIsLoggedAndTheProgramGoesOn) {
    Reporting r(nullptr);
    r.flags.OperationInProgress = true;

    QElapsedTimer elapsed;
    elapsed.start();
    r.log.WriteLog("Something failed. [!]");
    r.log.WriteLog("Next line.");

    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_EQ(r.logMessages(),
              QStringList({"Something failed. [!]", "Sending e-mail report...",
                           "FAILED TO SEND ERROR REPORT TO admin@example.org", "Next line."}));
    EXPECT_TRUE(r.flags.OperationInProgress) << "the flag of the operation under way was lost";
}

// An error line written while a report is being sent (events go on during the wait)
// is reported after it, never from inside it.
TEST(ErrorReport, ErrorDuringAReportIsReportedAfterIt) {
    SmtpServer server;
    Reporting r(&server);
    QTimer::singleShot(0, [&] { r.log.WriteLog("Second failure. [!]"); });

    r.log.WriteLog("First failure. [!]");

    EXPECT_EQ(
        r.logMessages(),
        QStringList({"First failure. [!]", "Sending e-mail report...", "Second failure. [!]",
                     "Error report has been sent to admin@example.org", "Sending e-mail report...",
                     "Error report has been sent to admin@example.org"}));
    ASSERT_EQ(server.messageCount(), 2);
    EXPECT_EQ(textOf(server.message(1)), QStringList{"[2016.03.03 09:05:07] First failure. [!]"});
    EXPECT_EQ(textOf(server.message(2)), QStringList{"[2016.03.03 09:05:07] Second failure. [!]"});
}

TEST(LogByEmail, MailsTheLinesOfTheLastHoursWithASummary) {
    SmtpServer server;
    Reporting r(&server);
    r.options.ser = false;
    const QDateTime now = r.clock.now();
    r.clock.set(now.addSecs(-49 * 3600));
    r.log.WriteLog("Too old.");
    r.clock.set(now.addSecs(-47 * 3600));
    r.log.WriteLog("Old failure. [!]");
    r.log.model().append("[no time stamp] Odd line.");
    r.clock.set(now.addSecs(-300));
    r.log.WriteLog("Recent line.");
    r.clock.set(now);

    EXPECT_TRUE(r.mailer.SendLogByEmail(48));

    ASSERT_EQ(server.messageCount(), 1);
    const QJsonObject message = server.message(1);
    EXPECT_EQ(message["subject"].toString(), "SWL log file for 48 hours.");
    EXPECT_EQ(textOf(message),
              QStringList({"SWL log file for 48 hours.",
                           "The period of 2016.03.01 09:05:07 - 2016.03.03 09:05:07 .",
                           "1 error(s) occured during this period.", "",
                           "[2016.03.01 10:05:07] Old failure. [!]", "[no time stamp] Odd line.",
                           "[2016.03.03 09:00:07] Recent line.",
                           "[2016.03.03 09:05:07] Sending log to admin@example.org", "", "--",
                           kProductLine}));
    EXPECT_FALSE(r.flags.OperationInProgress);
}

TEST(LogByEmail, UnreachableServerReturnsFailure) {
    Reporting r(nullptr);
    EXPECT_FALSE(r.mailer.SendLogByEmail(24));
    EXPECT_EQ(r.logMessages(), QStringList{"Sending log to admin@example.org"});
    EXPECT_FALSE(r.flags.OperationInProgress);
}

struct ReportTextCase {
    const char* name;
    QStringList log;
    int hours;
    QDateTime now;
    QStringList text;
};

void PrintTo(const ReportTextCase& c, std::ostream* out) {
    *out << c.name;
}

class LogReportText : public ::testing::TestWithParam<ReportTextCase> {};

TEST_P(LogReportText, IsBuiltFromTheLinesOfThePeriod) {
    const ReportTextCase& c = GetParam();
    const core::MessageTable messages;
    EXPECT_EQ(BuildLogReportText(c.log, c.hours, c.now, messages), c.text);
}

const QDateTime kNoon(QDate(2016, 3, 3), QTime(12, 0));

INSTANTIATE_TEST_SUITE_P(
    Cases, LogReportText,
    ::testing::Values(
        ReportTextCase{"empty_log", {}, 24, kNoon, {"", "--", kProductLine, "Log is empty now."}},
        ReportTextCase{"nothing_in_the_period",
                       {"[2016.03.03 08:00:00] Error three hours ago. [!]"},
                       2,
                       kNoon,
                       {"SWL log file for 2 hours.",
                        "The period of 2016.03.03 10:00:00 - 2016.03.03 12:00:00 .",
                        "There were no error messages during this period.", "", "", "--",
                        kProductLine}},
        // A stamp that cannot be read counts as now and does not end the walk; a period
        // starting at midnight is written without the blank.
        ReportTextCase{"unreadable_stamp_and_midnight",
                       {"[2016.03.02 23:59:59] Before.", "[2016.03.03 01:00:00] A. [!]",
                        "garbage [!]", "[2016.03.03 11:00:00] B. [!]"},
                       12,
                       kNoon,
                       {"SWL log file for 12 hours.",
                        "The period of 2016.03.03 00:00:00- 2016.03.03 12:00:00 .",
                        "3 error(s) occured during this period.", "",
                        "[2016.03.03 01:00:00] A. [!]", "garbage [!]",
                        "[2016.03.03 11:00:00] B. [!]", "", "--", kProductLine}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stowline::net::testing
