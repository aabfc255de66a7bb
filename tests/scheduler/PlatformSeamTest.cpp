#include "platform/linux/LocalSocketNamedEvent.h"
#include "platform/linux/SystemdPowerActions.h"

#include "SchedulerTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline::platform;
using stowline::scheduler::testing::processEventsUntil;

namespace {

// Only the decisions of the real power actions are tested; they are never carried out.
TEST(SystemdPowerActions, CommandsOfEachActionAndTheDryMode) {
    EXPECT_EQ(sessionExitCommand(SessionExit::Reboot, QString()).text(),
              QStringLiteral("systemctl reboot -i"));
    EXPECT_EQ(sessionExitCommand(SessionExit::PowerOff, QString()).text(),
              QStringLiteral("systemctl poweroff -i"));
    EXPECT_EQ(sessionExitCommand(SessionExit::LogOff, QStringLiteral("c2")).text(),
              QStringLiteral("loginctl terminate-session c2"));
    EXPECT_EQ(sessionExitCommand(SessionExit::LogOff, QString()).text(),
              QStringLiteral("loginctl terminate-session self"));
    EXPECT_EQ(suspendCommand(true).text(), QStringLiteral("systemctl hibernate -i"));
    EXPECT_EQ(suspendCommand(false).text(), QStringLiteral("systemctl suspend -i"));

    struct Case {
        QByteArray value;
        bool dry;
    };
    const Case cases[] = {{"1", true}, {"yes", true}, {"00", true}, {"", false}, {"0", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(powerActionsAreDry(c.value), c.dry);
    }
}

class LocalSocketEventTest : public ::testing::Test {
protected:
    LocalSocketEventTest() : saved(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    ~LocalSocketEventTest() override { qputenv("XDG_RUNTIME_DIR", saved); }

    // Lets the listener take in what the senders wrote.
    static void settle() {
        processEventsUntil([] { return false; }, 100);
    }

    QByteArray saved;
    QTemporaryDir runtime;
};

TEST_F(LocalSocketEventTest, SignalIsConsumedOnceAndOnlyWhileItsSenderHoldsIt) {
    const QString name = QStringLiteral("SWL4WINRAR_SCHEDULER");
    EXPECT_TRUE(namedEventSocketPath(name).startsWith(runtime.path()));
    LocalSocketEventSender early(name);
    EXPECT_FALSE(early.signal()) << "nobody listens yet";

    LocalSocketEventListener listener(name);
    ASSERT_TRUE(listener.listen()) << listener.errorString().toStdString();
    EXPECT_FALSE(listener.tryConsume());

    LocalSocketEventSender first(name);
    LocalSocketEventSender second(name);
    ASSERT_TRUE(first.signal());
    ASSERT_TRUE(second.signal());
    settle();
    EXPECT_TRUE(listener.tryConsume());
    EXPECT_FALSE(listener.tryConsume()) << "two signals before a test count as one";

    ASSERT_TRUE(first.signal());
    first.release();
    second.release();
    settle();
    EXPECT_FALSE(listener.tryConsume()) << "the signal died with its last holder";

    // A socket file left by a crashed instance does not stop the next one.
    LocalSocketEventListener next(name + QStringLiteral("-2"));
    QFile stale(namedEventSocketPath(name + QStringLiteral("-2")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_TRUE(next.listen());
}

} // namespace
