#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>

#include <memory>

namespace stowline::testing {

// python3-dbusmock's NetworkManager on a private message bus of its own, never the
// machine's system bus. Both processes are ended by their ids when this object goes away
// and by `timeout` at the latest.
class MockNetworkManager {
public:
    MockNetworkManager();
    ~MockNetworkManager();
    MockNetworkManager(const MockNetworkManager&) = delete;
    MockNetworkManager& operator=(const MockNetworkManager&) = delete;

    // False when the bus or the mock did not come up; the reason is in error().
    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    // The private bus, for the program (DBUS_SYSTEM_BUS_ADDRESS) and for connectToBus.
    QString address() const { return address_; }
    // A connection of the test's own to the private bus.
    QDBusConnection connection() const;

    // A connection profile with this connection.id; returns its object path.
    QString addProfile(const QString& id);
    // An Ethernet device; activations without a device take the first one.
    QString addDevice(const QString& name);
    // From now on an activation stays "activating" until the test reports its outcome.
    void keepActivationsPending();
    QStringList activeConnections() const;
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QString& signature, const QVariantList& arguments);
    // Plays a line that is busy on the first dial through `device` and comes up on the
    // next: each new activation gets its outcome once it is listed. Acts (polling every
    // 50 ms from the event loop) while the returned timer lives.
    std::unique_ptr<QTimer> playBusyThenConnected(const QString& device);

private:
    QVariantList callMock(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments);
    void stop(QProcess& process);

    QProcess bus_;
    QProcess mock_;
    QString address_;
    QString connectionName_;
    QString error_;
};

} // namespace stowline::testing
