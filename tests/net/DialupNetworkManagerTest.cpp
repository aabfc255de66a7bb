// Dial-up on NetworkManager over D-Bus, against python3-dbusmock's NetworkManager on a
// private bus: entries, dialling, hanging up, and state changes reaching a backup run.

#include "MockNetworkManager.h"
#include "QtPrinters.h"
#include "RunFixture.h"
#include "TestSupport.h"

#include "net/Dialup.h"
#include "platform/linux/NetworkManagerDialup.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::net::testing {
namespace {

using platform::DialReport;
using platform::DialState;
using platform::DialupConnections;
using platform::NetworkManagerDialup;
using protocols::test::waitUntil;
using stowline::testing::MockNetworkManager;

const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");

struct NetworkManagerFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(manager.running()) << manager.error().toStdString();
        device = manager.addDevice(QStringLiteral("ppp0"));
        manager.addProfile(QStringLiteral("Home"));
        manager.addProfile(QStringLiteral("Office"));
        ASSERT_TRUE(manager.running()) << manager.error().toStdString();
        QObject::connect(&connections, &DialupConnections::stateChanged,
                         [this](const DialReport& report) { reports << report; });
    }

    MockNetworkManager manager;
    NetworkManagerDialup connections{[this] { return manager.connection(); }};
    QList<DialReport> reports;
    QString device;
};

TEST_F(NetworkManagerFixture, EntriesAreTheConnectionProfiles) {
    QStringList names;
    QString error;
    ASSERT_TRUE(connections.available(error)) << error.toStdString();
    ASSERT_TRUE(connections.listEntries(names, error)) << error.toStdString();
    EXPECT_EQ(names, (QStringList{"Home", "Office"}));
}

TEST_F(NetworkManagerFixture, DialActivatesTheProfileAndHangUpDeactivatesIt) {
    QString handle;
    QString error;
    ASSERT_EQ(connections.dial(QStringLiteral("Office"), handle, error),
              DialupConnections::DialStart::Started)
        << error.toStdString();
    EXPECT_EQ(manager.activeConnections(), QStringList{handle});
    // Up at once in the mock: the report still comes after the call returned.
    EXPECT_TRUE(reports.isEmpty());
    ASSERT_TRUE(waitUntil([this] { return !reports.isEmpty(); }));
    EXPECT_EQ(reports.first().handle, handle);
    EXPECT_EQ(reports.first().state, DialState::Connected);

    QList<platform::ActiveDialup> active;
    ASSERT_TRUE(connections.listActive(active, error)) << error.toStdString();
    ASSERT_EQ(active.size(), 1);
    EXPECT_EQ(active.first().entryName, QStringLiteral("Office"));
    EXPECT_TRUE(active.first().connected);

    ASSERT_TRUE(connections.hangUp(handle, error)) << error.toStdString();
    EXPECT_TRUE(manager.activeConnections().isEmpty());
    // Once more: it is gone, which counts as hung up.
    EXPECT_TRUE(connections.hangUp(handle, error)) << error.toStdString();
}

TEST_F(NetworkManagerFixture, FailuresCarryTheManagersReason) {
    QString handle;
    QString error;
    EXPECT_EQ(connections.dial(QStringLiteral("Nowhere"), handle, error),
              DialupConnections::DialStart::EntryUnreadable);
    EXPECT_FALSE(error.isEmpty());

    manager.keepActivationsPending();
    ASSERT_EQ(connections.dial(QStringLiteral("Office"), handle, error),
              DialupConnections::DialStart::Started);
    // NMDeviceState failed (120), reason: the modem found the line busy (24).
    manager.emitSignal(device, kDeviceInterface, QStringLiteral("StateChanged"),
                       QStringLiteral("uuu"), {120u, 40u, 24u});
    ASSERT_TRUE(waitUntil([this] { return !reports.isEmpty(); }));
    EXPECT_EQ(reports.first().state, DialState::Disconnected);
    EXPECT_TRUE(reports.first().lineBusy);
    EXPECT_EQ(reports.first().errorText, QStringLiteral("The line is busy."));
    connections.hangUp(handle, error);

    reports.clear();
    ASSERT_EQ(connections.dial(QStringLiteral("Office"), handle, error),
              DialupConnections::DialStart::Started);
    // NMActiveConnectionState deactivated (4), reason: login failed (10).
    manager.emitSignal(handle, kActiveInterface, QStringLiteral("StateChanged"),
                       QStringLiteral("uu"), {4u, 10u});
    ASSERT_TRUE(waitUntil([this] { return !reports.isEmpty(); }));
    EXPECT_FALSE(reports.first().lineBusy);
    EXPECT_EQ(reports.first().errorText, QStringLiteral("The login failed."));
}

TEST_F(NetworkManagerFixture, DeleteRemovesTheProfile) {
    QString error;
    ASSERT_TRUE(connections.deleteEntry(QStringLiteral("Home"), error)) << error.toStdString();
    QStringList names;
    ASSERT_TRUE(connections.listEntries(names, error));
    EXPECT_EQ(names, QStringList{"Office"});
}

TEST(NetworkManagerDialup, UnreachableBusIsReportedAsUnavailable) {
    const QString name = QStringLiteral("no-bus");
    NetworkManagerDialup connections{[&] {
        return QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), name);
    }};
    QString error;
    EXPECT_FALSE(connections.available(error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("no connection to the system bus")))
        << error.toStdString();
    QStringList names;
    EXPECT_FALSE(connections.listEntries(names, error));
    QDBusConnection::disconnectFromBus(name);
}

// The mock's line is busy on the first dial; the second comes up. The run redials, gets
// the connection, and hangs it up after the deliveries.
TEST_F(NetworkManagerFixture, StateChangesFromTheManagerReachTheRun) {
    manager.keepActivationsPending();
    backup::testing::RunEnvironment env;
    env.addPreset(QStringLiteral("Docs"));
    env.preset.ctf = false;
    env.preset.ftp = true;
    env.options.des = true;
    env.options.dha = true;
    env.options.dac = QStringLiteral("Office");
    env.options.dnr = 3;
    env.options.dwc = 10;
    env.useFakeArchiver(0);
    backup::testing::RecordingDeliveries recorded;
    Dialup dialup(
        DialupServices{env.flags, env.options, env.messages, env.log, env.prompts, connections},
        recorded, DialupTimings{std::chrono::milliseconds(1000), std::chrono::milliseconds(300)});
    backup::BackupRun run(env.services(dialup));

    // The pauses after a hang-up are long enough for the line to be seen free in between.
    std::unique_ptr<QTimer> line = manager.playBusyThenConnected(device);
    env.savePreset();
    run.RunPreset();
    line.reset();

    QStringList lines = env.logMessages();
    // The recorded deliveries deliver nothing, so the archive is kept.
    lines.removeIf([](const QString& line) {
        return line.contains(QLatin1String("The undelivered archive is kept in"));
    });
    const qsizetype first = lines.indexOf(QStringLiteral("DIALUP - Dialing Office."));
    ASSERT_GE(first, 0) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.mid(first),
              (QStringList{"DIALUP - Dialing Office.",
                           "DIALUP - Waiting for connection (10 seconds max).",
                           "DIALUP - The line is busy. [!]", "DIALUP - Hanging up.",
                           "DIALUP - Redialing Office [1/3].",
                           "DIALUP - Waiting for connection (10 seconds max).",
                           "DIALUP - Connected.", "DIALUP - Hanging up.", "Docs: Done."}));
    EXPECT_EQ(recorded.calls, QStringList{"ftp"});
    EXPECT_TRUE(manager.activeConnections().isEmpty());
}

} // namespace
} // namespace stowline::net::testing
