#include "platform/linux/LogindSleepInhibitor.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>

using namespace stowline::platform;

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// A private message bus with logind played by python3-dbusmock: the machine's own bus
// and logind are never touched.
class MockLogind : public ::testing::Test {
protected:
    void SetUp() override {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(5000))
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(waitFor([&] {
            daemon_.waitForReadyRead(100);
            return daemon_.canReadLine();
        }));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
        bus_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address_, QStringLiteral("mock-logind")));
        ASSERT_TRUE(bus_->isConnected());
    }

    void TearDown() override {
        bus_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("mock-logind"));
        for (QProcess* process : {&logind_, &daemon_}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(5000);
        }
    }

    // False (the test is skipped) when python3-dbusmock cannot play logind here.
    bool startLogind() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        logind_.setProcessEnvironment(environment);
        // The system's Python, which has python3-dbusmock, whatever else is on PATH.
        logind_.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                       QStringLiteral("--session"), QStringLiteral("--template"),
                       QStringLiteral("logind")});
        if (!logind_.waitForStarted(5000))
            return false;
        const bool registered = waitFor([&] {
            return bus_->interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
        });
        if (!registered)
            std::cerr << "python3-dbusmock did not start: "
                      << logind_.readAllStandardError().toStdString() << '\n';
        return registered;
    }

    // The inhibitors logind holds, as "what|who|why|mode".
    QStringList inhibitors() const {
        const QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
        const QDBusMessage reply = bus_->call(call);
        QStringList listed;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {QStringLiteral("error: ") + reply.errorMessage()};
        const QDBusArgument array = reply.arguments().value(0).value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            array.beginStructure();
            array >> what >> who >> why >> mode >> uid >> pid;
            array.endStructure();
            listed << QStringList{what, who, why, mode}.join(QLatin1Char('|'));
        }
        array.endArray();
        return listed;
    }

    QProcess daemon_;
    QProcess logind_;
    QString address_;
    std::unique_ptr<QDBusConnection> bus_;
};

TEST_F(MockLogind, HoldsSleepAndIdleOffUntilReleased) {
    if (!startLogind())
        GTEST_SKIP() << "python3-dbusmock cannot play logind here";
    LogindSleepInhibitor inhibitor(*bus_);
    ASSERT_TRUE(inhibitor.inhibit(QStringLiteral("Backup Docs running")))
        << inhibitor.errorString().toStdString();
    EXPECT_TRUE(inhibitor.inhibit(QStringLiteral("Backup Docs running"))) << "one hold, kept";
    EXPECT_EQ(inhibitors(), QStringList{"sleep:idle|Stowline|Backup Docs running|block"});

    inhibitor.release();
    EXPECT_TRUE(waitFor([&] { return inhibitors().isEmpty(); }))
        << inhibitors().join(' ').toStdString();
    inhibitor.release();
}

TEST_F(MockLogind, NoLogindOrNoBusIsAnAnswerWithItsReason) {
    LogindSleepInhibitor withoutLogind(*bus_);
    EXPECT_FALSE(withoutLogind.inhibit(QStringLiteral("Backup Docs running")));
    EXPECT_FALSE(withoutLogind.errorString().isEmpty());
    EXPECT_FALSE(withoutLogind.isHeld());

    LogindSleepInhibitor withoutBus(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/stowline-test-bus"), QStringLiteral("no-bus")));
    EXPECT_FALSE(withoutBus.inhibit(QStringLiteral("Backup Docs running")));
    EXPECT_FALSE(withoutBus.errorString().isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

} // namespace
