#include "MockNetworkManager.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QThread>
#include <QUuid>

namespace stowline::testing {

namespace {

using ProfileSettings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
// Longest life of the helper processes, should a test never end them.
const QString kLifetime = QStringLiteral("600");

int nextConnection = 0;

} // namespace

MockNetworkManager::MockNetworkManager() {
    qDBusRegisterMetaType<ProfileSettings>();
    bus_.setProcessChannelMode(QProcess::SeparateChannels);
    bus_.start(QStringLiteral("timeout"),
               {kLifetime, QStringLiteral("dbus-daemon"), QStringLiteral("--session"),
                QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!bus_.waitForStarted(5000) || !bus_.waitForReadyRead(10000)) {
        error_ = QStringLiteral("dbus-daemon did not start");
        return;
    }
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
    mock_.setProcessEnvironment(environment);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.start(QStringLiteral("timeout"),
                {kLifetime, QStringLiteral("/usr/bin/python3"), QStringLiteral("-m"),
                 QStringLiteral("dbusmock"), QStringLiteral("--session"),
                 QStringLiteral("--template"), QStringLiteral("networkmanager")});
    connectionName_ = QStringLiteral("mock-nm-%1").arg(++nextConnection);
    QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName_);
    const QDeadlineTimer deadline(15000);
    while (!bus.interface()->isServiceRegistered(kService)) {
        if (deadline.hasExpired() || mock_.state() == QProcess::NotRunning) {
            error_ = QStringLiteral("the NetworkManager mock did not start");
            return;
        }
        QThread::msleep(50);
    }
}

MockNetworkManager::~MockNetworkManager() {
    QDBusConnection::disconnectFromBus(connectionName_);
    stop(mock_);
    stop(bus_);
}

void MockNetworkManager::stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QDBusConnection MockNetworkManager::connection() const {
    return QDBusConnection(connectionName_);
}

QVariantList MockNetworkManager::callMock(const QString& path, const QString& interface,
                                          const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = connection().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error_ = method + QStringLiteral(": ") + reply.errorMessage();
        return {};
    }
    return reply.arguments();
}

QString MockNetworkManager::addProfile(const QString& id) {
    ProfileSettings settings;
    settings[QStringLiteral("connection")] =
        QVariantMap{{QStringLiteral("id"), id},
                    {QStringLiteral("uuid"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                    {QStringLiteral("type"), QStringLiteral("gsm")}};
    const QVariantList result =
        callMock(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                 QStringLiteral("org.freedesktop.NetworkManager.Settings"),
                 QStringLiteral("AddConnection"), {QVariant::fromValue(settings)});
    return result.value(0).value<QDBusObjectPath>().path();
}

QString MockNetworkManager::addDevice(const QString& name) {
    // 30: disconnected
    const QVariantList result = callMock(kManagerPath, kMockInterface,
                                         QStringLiteral("AddEthernetDevice"), {name, name, 30});
    // The mock answers with the path as a string.
    return result.value(0).toString();
}

void MockNetworkManager::keepActivationsPending() {
    // The template's activation is done at once; a dialled line takes its time, and its
    // outcome comes as a signal the test emits.
    const QString code = QStringLiteral(
        "devices = [k for k in objects.keys() if '/Devices/' in k]\n"
        "dev = args[1] if str(args[1]) != '/' or not devices else dbus.ObjectPath(devices[0])\n"
        "ret = self.activate_connection(self, args[0], dev, args[2])\n"
        "objects[ret].Set('org.freedesktop.NetworkManager.Connection.Active', 'State', "
        "dbus.UInt32(1))\n");
    callMock(kManagerPath, kMockInterface, QStringLiteral("AddMethod"),
             {QStringLiteral("org.freedesktop.NetworkManager"),
              QStringLiteral("ActivateConnection"), QStringLiteral("ooo"), QStringLiteral("o"),
              code});
}

QStringList MockNetworkManager::activeConnections() const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kManagerPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    call.setArguments({kService, QStringLiteral("ActiveConnections")});
    const QDBusMessage reply = connection().call(call);
    QStringList paths;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return paths;
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    for (const QDBusObjectPath& path :
         qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>()))
        paths << path.path();
    return paths;
}

void MockNetworkManager::emitSignal(const QString& path, const QString& interface,
                                    const QString& name, const QString& signature,
                                    const QVariantList& arguments) {
    callMock(path, kMockInterface, QStringLiteral("EmitSignal"),
             {interface, name, signature, QVariant::fromValue(arguments)});
}

std::unique_ptr<QTimer> MockNetworkManager::playBusyThenConnected(const QString& device) {
    auto line = std::make_unique<QTimer>();
    int attempts = 0;
    bool waiting = true;
    QObject::connect(line.get(), &QTimer::timeout, [this, device, attempts, waiting]() mutable {
        const QStringList active = activeConnections();
        if (active.isEmpty()) {
            waiting = true;
            return;
        }
        if (!waiting)
            return;
        waiting = false;
        // NMDeviceState failed (120) from activated (40), reason: the modem found the line
        // busy (24); then an active connection that is activated (2).
        if (++attempts == 1)
            emitSignal(device, QStringLiteral("org.freedesktop.NetworkManager.Device"),
                       QStringLiteral("StateChanged"), QStringLiteral("uuu"), {120u, 40u, 24u});
        else
            emitSignal(active.first(),
                       QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
                       QStringLiteral("StateChanged"), QStringLiteral("uu"), {2u, 1u});
    });
    line->start(50);
    return line;
}

} // namespace stowline::testing
