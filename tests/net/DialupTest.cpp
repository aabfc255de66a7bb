// The dial-up before the network deliveries, on a scripted connection manager: dialling,
// redialling a busy line, waiting, giving up, hanging up, and the deliveries' skips.

#include "NetFixture.h"
#include "QtPrinters.h"

#include "net/Dialup.h"
#include "platform/fakes/FakeDialupConnections.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

namespace stowline::net::testing {
namespace {

using platform::ActiveDialup;
using Outcome = platform::FakeDialupConnections::Outcome;
using DialStart = platform::DialupConnections::DialStart;
using protocols::test::waitUntil;

// A second of waiting lasts 10 ms here, a settling pause 5 ms.
constexpr DialupTimings kFast{std::chrono::milliseconds(10), std::chrono::milliseconds(5)};

const QString kDialing = QStringLiteral("DIALUP - Dialing Office.");
const QString kWaiting = QStringLiteral("DIALUP - Waiting for connection (60 seconds max).");
const QString kBusy = QStringLiteral("DIALUP - The line is busy. [!]");
const QString kHangingUp = QStringLiteral("DIALUP - Hanging up.");
const QString kTimedOut =
    QStringLiteral("DIALUP - The connection did not come up within the waiting time. [!]");
const QString kNoConnection = QStringLiteral("DIALUP - No connection. [!]");
const QString kConnected = QStringLiteral("DIALUP - Connected.");

QString redialing(int n, int of) {
    return QStringLiteral("DIALUP - Redialing Office [%1/%2].").arg(n).arg(of);
}

// A run whose preset delivers by FTP, with dial-up on (dac "Office", three redials,
// hang-up afterwards), on the scripted manager. The deliveries only record that they
// were asked for.
struct DialupRun : backup::testing::RunEnvironment {
    explicit DialupRun(DialupTimings timings = kFast)
        : dialup(DialupServices{flags, options, messages, log, prompts, connections}, recorded,
                 timings) {
        addPreset(QStringLiteral("Docs"));
        preset.ctf = false;
        preset.ftp = true;
        options.des = true;
        options.dha = true;
        options.dac = QStringLiteral("Office");
        options.dnr = 3;
        options.dwc = 60;
        connections.entries = {QStringLiteral("Home"), QStringLiteral("Office")};
        useFakeArchiver(0);
    }

    // The log lines after the archiver's report, and the run's state at its end.
    QStringList runPreset() {
        savePreset();
        run.RunPreset();
        const QStringList lines = logMessages();
        const qsizetype done = lines.indexOf(QStringLiteral("Docs: WinRAR - Done (1 file, 2K)."));
        QStringList after = done < 0 ? lines : lines.mid(done + 1);
        // The recorded deliveries deliver nothing, so the archive is always kept.
        after.removeIf([](const QString& line) {
            return line.contains(QLatin1String("The undelivered archive is kept in"));
        });
        return after;
    }

    platform::FakeDialupConnections connections;
    backup::testing::RecordingDeliveries recorded;
    Dialup dialup;
    backup::BackupRun run{services(dialup)};
};

struct DialCase {
    const char* name;
    std::function<void(DialupRun&)> setUp;
    QStringList lines;      // from the archiver's report to the end of the run
    QStringList dialCalls;  // what the manager was asked
    QStringList steps;      // the delivery steps the run went on to
    bool stillHeld = false; // dialled, not hung up: held for the program's end
};

void PrintTo(const DialCase& c, std::ostream* out) {
    *out << c.name;
}

class DialScenario : public ::testing::TestWithParam<DialCase> {};

TEST_P(DialScenario, LogsEachAttemptAndEndsWithTheRightConnection) {
    DialupRun env;
    GetParam().setUp(env);
    EXPECT_EQ(env.runPreset(), GetParam().lines);
    EXPECT_EQ(env.connections.calls, GetParam().dialCalls);
    EXPECT_EQ(env.recorded.calls, GetParam().steps);
    EXPECT_EQ(env.dialup.holdsConnection(), GetParam().stillHeld);
}

const QString kDone = QStringLiteral("Docs: Done.");
const QString kDialOffice = QStringLiteral("dial Office");

INSTANTIATE_TEST_SUITE_P(
    Cases, DialScenario,
    ::testing::Values(
        DialCase{"BusyThreeTimesThenConnected",
                 [](DialupRun& env) {
                     env.connections.outcomes = {Outcome::Busy, Outcome::Busy, Outcome::Busy,
                                                 Outcome::Connect};
                 },
                 {kDialing, kWaiting, kBusy, kHangingUp, redialing(1, 3), kWaiting, kBusy,
                  kHangingUp, redialing(2, 3), kWaiting, kBusy, kHangingUp, redialing(3, 3),
                  kWaiting, kConnected, kHangingUp, kDone},
                 {kDialOffice, "hang up H1", kDialOffice, "hang up H2", kDialOffice, "hang up H3",
                  kDialOffice, "hang up H4"},
                 {"ftp"}},
        DialCase{"BusyEveryTimeGivesUpAfterTheLastRedial",
                 [](DialupRun& env) {
                     env.options.dnr = 1;
                     env.connections.outcomes = {Outcome::Busy, Outcome::Busy, Outcome::Connect};
                 },
                 {kDialing, kWaiting, kBusy, kHangingUp, redialing(1, 1), kWaiting, kBusy,
                  kHangingUp, kNoConnection, kDone},
                 {kDialOffice, "hang up H1", kDialOffice, "hang up H2"},
                 {"ftp"}},
        DialCase{"OtherErrorEndsAtOnce",
                 [](DialupRun& env) {
                     env.connections.outcomes = {Outcome::Fail, Outcome::Connect};
                 },
                 {kDialing, kWaiting,
                  QStringLiteral("DIALUP - The remote computer did not respond. [!]"), kHangingUp,
                  kNoConnection, kDone},
                 {kDialOffice, "hang up H1"},
                 {"ftp"}},
        DialCase{"AlreadyUpUnderTheNameInOtherCaseIsUsedAndNeverHungUp",
                 [](DialupRun& env) {
                     env.connections.active = {
                         ActiveDialup{QStringLiteral("Home"), QStringLiteral("A1"), true},
                         ActiveDialup{QStringLiteral("OFFICE"), QStringLiteral("A2"), true}};
                 },
                 {QStringLiteral("DIALUP - Connection Office is already established."), kDone},
                 {},
                 {"ftp"}},
        DialCase{"NoEntrySelected",
                 [](DialupRun& env) { env.options.dac.clear(); },
                 {QStringLiteral("DIALUP - Dialup account has not been selected yet. [!]"),
                  kNoConnection, kDone},
                 {},
                 {"ftp"}},
        DialCase{
            "TimeOutsUseRedials",
            [](DialupRun& env) {
                env.options.dwc = 2;
                env.connections.outcomes = {Outcome::Silent, Outcome::Silent, Outcome::Connect};
            },
            {kDialing, QStringLiteral("DIALUP - Waiting for connection (2 seconds max)."),
             kTimedOut, kHangingUp, redialing(1, 3),
             QStringLiteral("DIALUP - Waiting for connection (2 seconds max)."), kTimedOut,
             kHangingUp, redialing(2, 3),
             QStringLiteral("DIALUP - Waiting for connection (2 seconds max)."), kConnected,
             kHangingUp, kDone},
            {kDialOffice, "hang up H1", kDialOffice, "hang up H2", kDialOffice, "hang up H3"},
            {"ftp"}},
        DialCase{"ConnectionThatNeverComesUpEndsTheWaiting",
                 [](DialupRun& env) { env.options.dnr = 1; },
                 {kDialing, kWaiting, kTimedOut, kHangingUp, redialing(1, 1), kWaiting, kTimedOut,
                  kHangingUp, kNoConnection, kDone},
                 {kDialOffice, "hang up H1", kDialOffice, "hang up H2"},
                 {"ftp"}},
        DialCase{"EntryWithoutItsAccount",
                 [](DialupRun& env) { env.connections.start = DialStart::EntryUnreadable; },
                 {QStringLiteral("DIALUP - Can't get account params (err. The entry cannot be "
                                 "dialled.) [!]"),
                  kNoConnection, kDone},
                 {kDialOffice},
                 {"ftp"}},
        DialCase{
            "DialThatCannotStart",
            [](DialupRun& env) { env.connections.start = DialStart::NotStarted; },
            {QStringLiteral("DIALUP - The entry cannot be dialled. [!]"), kNoConnection, kDone},
            {kDialOffice},
            {"ftp"}},
        DialCase{"ManagerNotRunning",
                 [](DialupRun& env) {
                     env.connections.unreachableText = QStringLiteral("NetworkManager is not "
                                                                      "running.");
                 },
                 {QStringLiteral("DIALUP - The connection manager cannot be reached: "
                                 "NetworkManager is not running. [!]"),
                  kNoConnection, kDone},
                 {},
                 {"ftp"}},
        DialCase{"NoHangUpWhenNotAsked",
                 [](DialupRun& env) {
                     env.options.dha = false;
                     env.connections.outcomes = {Outcome::Connect};
                 },
                 {kDialing, kWaiting, kConnected, kDone},
                 {kDialOffice},
                 {"ftp"},
                 true}),
    [](const ::testing::TestParamInfo<DialCase>& info) { return std::string(info.param.name); });

TEST(Dialup, NoDialWhenThePresetDeliversNothingOverTheNetwork) {
    DialupRun env;
    env.preset.ftp = false;
    env.preset.ctf = true;
    env.runPreset();
    EXPECT_TRUE(env.connections.calls.isEmpty());
}

TEST(Dialup, AbortDuringTheWaitHangsUpAndEndsTheRun) {
    // Real seconds: the abort comes long before the connection could time out.
    DialupRun env(DialupTimings{std::chrono::milliseconds(1000), std::chrono::milliseconds(5)});
    // The abort comes once the dial is under way.
    QTimer abort;
    QObject::connect(&abort, &QTimer::timeout, [&env] {
        if (!env.connections.calls.isEmpty())
            env.flags.AbortRequested = true;
    });
    abort.start(50);
    QElapsedTimer clock;
    clock.start();
    const QStringList lines = env.runPreset();
    EXPECT_LT(clock.elapsed(), 10000);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.mid(0, 4),
              (QStringList{kDialing, kWaiting, QStringLiteral("Abort requested."), kHangingUp}));
    EXPECT_EQ(lines.last(), QStringLiteral("Aborted. [!]"));
    EXPECT_EQ(env.connections.calls, (QStringList{kDialOffice, "hang up H1"}));
    EXPECT_TRUE(env.recorded.calls.isEmpty()) << "nothing is delivered after an abort";
    EXPECT_FALSE(env.flags.OperationInProgress);
}

// The network deliveries behind the dial-up step, with no connection to be had.
struct DialupNetRun : DialupRun {
    DialupNetRun()
        : deliveries(DeliveryServices{flags, folders, options, messages, log, clock, store, driver},
                     dialup, testSettings()) {}

    protocols::CurlDriver driver;
    NetDeliveries deliveries;
    backup::BackupRun netRun{services(deliveries)};
};

TEST(Dialup, WithoutAConnectionBothDeliveriesAreSkippedAndTheArchiveIsKept) {
    DialupNetRun env;
    env.options.dac.clear();
    env.preset.smt = true;
    env.preset.sse = QStringLiteral("127.0.0.1:1");
    env.preset.fse = QStringLiteral("127.0.0.1:1");
    env.savePreset();
    env.netRun.RunPreset();
    const QStringList lines = env.logMessages();
    const qsizetype noConnection = lines.indexOf(kNoConnection);
    ASSERT_GE(noConnection, 0) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.mid(noConnection + 1, 2),
              (QStringList{"Docs: SMTP - Skipping because of no dialup connection. [!]",
                           "Docs: FTP - Skipping because of no dialup connection. [!]"}));
    // The archive reached no destination: it stays where it was made.
    const QStringList kept = lines.filter(QStringLiteral("The undelivered archive is kept in "));
    ASSERT_EQ(kept.size(), 1);
    const QString path = kept.first().section(QStringLiteral("kept in "), 1).chopped(4);
    EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("Docs: Done."));
}

TEST(Dialup, SettingsEntryListSelectsTheOptionsEntry) {
    DialupRun env;
    EXPECT_EQ(env.dialup.GetEntries().names, (QStringList{"Home", "Office"}));
    EXPECT_EQ(env.dialup.GetEntries().selected, 1);
    env.options.dac = QStringLiteral("Gone");
    EXPECT_EQ(env.dialup.GetEntries().selected, -1);
    env.connections.listError = QStringLiteral("The manager refused.");
    EXPECT_TRUE(env.dialup.GetEntries().names.isEmpty());
    EXPECT_EQ(env.logMessages().last(), QStringLiteral("DIALUP - The manager refused. [!]"));
}

TEST(Dialup, SettingsDialAndHangUpButtons) {
    DialupRun env;
    env.connections.outcomes = {Outcome::Busy, Outcome::Connect};
    // After a run that used up its redials, a test dial still counts as the first.
    env.dialup.DialTest();
    ASSERT_TRUE(waitUntil([&env] { return !env.dialup.holdsConnection(); }));
    env.dialup.DialTest();
    ASSERT_TRUE(waitUntil([&env] { return env.logMessages().contains(kConnected); }));
    env.dialup.Hangup();
    EXPECT_EQ(env.logMessages(),
              (QStringList{kDialing, kBusy, kHangingUp, kDialing, kConnected, kHangingUp}));
    EXPECT_EQ(env.connections.calls,
              (QStringList{kDialOffice, "hang up H1", kDialOffice, "hang up H2"}));
}

TEST(Dialup, DeleteAsksFirstAndReportsTheOutcome) {
    DialupRun env;
    env.prompts.yesNoAnswers = {false, true, true};
    EXPECT_FALSE(env.dialup.DeleteEntry(QStringLiteral("Office")));
    EXPECT_TRUE(env.connections.calls.isEmpty()) << "No deletes nothing";
    EXPECT_TRUE(env.dialup.DeleteEntry(QStringLiteral("Office")));
    EXPECT_EQ(env.connections.entries, QStringList{"Home"});
    EXPECT_EQ(env.prompts.messages, QStringList{"\nThe entry has been deleted."});
    env.connections.editorError = QStringLiteral("refused");
    EXPECT_FALSE(env.dialup.DeleteEntry(QStringLiteral("Home")));
    EXPECT_EQ(env.prompts.errors, QStringList{"\nCannot delete this entry.Home"});
}

} // namespace
} // namespace stowline::net::testing
