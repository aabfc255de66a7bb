#include "platform/linux/NetworkManagerDialup.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>

namespace stowline::platform {

namespace {

using ProfileSettings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfileInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kEditor = QStringLiteral("nm-connection-editor");

constexpr int kCallTimeoutMs = 10000;

// NMActiveConnectionState
constexpr uint kActivated = 2;
constexpr uint kDeactivated = 4;
// NMDeviceState
constexpr uint kDeviceFailed = 120;
// NMDeviceStateReason of a modem that found the line busy
constexpr uint kModemBusy = 24;

// NMActiveConnectionStateReason
QString activeReasonText(uint reason) {
    switch (reason) {
    case 1:
        return QStringLiteral("The connection ended.");
    case 2:
        return QStringLiteral("The connection was disconnected by the user.");
    case 3:
        return QStringLiteral("The device of the connection was disconnected.");
    case 4:
        return QStringLiteral("The service providing the connection was stopped.");
    case 5:
        return QStringLiteral("The IP configuration of the connection was invalid.");
    case 6:
        return QStringLiteral("The connection attempt timed out.");
    case 7:
        return QStringLiteral("The service providing the connection did not start in time.");
    case 8:
        return QStringLiteral("The service providing the connection failed to start.");
    case 9:
        return QStringLiteral("No secrets were available for the connection.");
    case 10:
        return QStringLiteral("The login failed.");
    case 11:
        return QStringLiteral("The connection profile was deleted.");
    case 12:
        return QStringLiteral("A connection this one depends on failed.");
    case 13:
        return QStringLiteral("The device of the connection could not be set up.");
    case 14:
        return QStringLiteral("The device of the connection was removed.");
    default:
        return QStringLiteral("The connection failed (reason %1).").arg(reason);
    }
}

// NMDeviceStateReason, the ones a dial-up device ends with
QString deviceReasonText(uint reason) {
    switch (reason) {
    case 14:
        return QStringLiteral("The PPP service failed to start.");
    case 15:
        return QStringLiteral("The PPP service disconnected.");
    case 16:
        return QStringLiteral("The PPP connection failed.");
    case kModemBusy:
        return QStringLiteral("The line is busy.");
    case 25:
        return QStringLiteral("The modem has no dial tone.");
    case 26:
        return QStringLiteral("The modem cannot establish a carrier.");
    case 27:
        return QStringLiteral("The modem dial attempt timed out.");
    case 28:
        return QStringLiteral("The modem dial attempt failed.");
    case 29:
        return QStringLiteral("The modem could not be initialized.");
    default:
        return QStringLiteral("The device failed (reason %1).").arg(reason);
    }
}

QStringList objectPaths(const QVariant& value) {
    QList<QDBusObjectPath> paths;
    if (value.canConvert<QDBusArgument>())
        paths = qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>());
    else
        paths = value.value<QList<QDBusObjectPath>>();
    QStringList texts;
    for (const QDBusObjectPath& path : paths)
        texts << path.path();
    return texts;
}

QVariant objectPath(const QString& path) {
    return QVariant::fromValue(QDBusObjectPath(path));
}

} // namespace

NetworkManagerDialup::NetworkManagerDialup(std::function<QDBusConnection()> bus, QObject* parent)
    : DialupConnections(parent), busFactory_(std::move(bus)) {
    qDBusRegisterMetaType<ProfileSettings>();
}

QDBusConnection& NetworkManagerDialup::bus() {
    if (bus_)
        return *bus_;
    bus_ = busFactory_();
    QDBusConnection& b = *bus_;
    // Every active connection and device: the attempts are looked up by path.
    b.connect(kService, QString(), kActiveInterface, QStringLiteral("StateChanged"), this,
              SLOT(activeStateChanged(uint, uint)));
    b.connect(kService, QString(), kDeviceInterface, QStringLiteral("StateChanged"), this,
              SLOT(deviceStateChanged(uint, uint, uint)));
    // Older managers announce property changes on their own interface, newer ones on the
    // standard one.
    b.connect(kService, kManagerPath, kManagerInterface, QStringLiteral("PropertiesChanged"), this,
              SLOT(managerPropertiesChanged(QVariantMap)));
    b.connect(kService, kManagerPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"),
              this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    b.connect(kService, kSettingsPath, kSettingsInterface, QStringLiteral("NewConnection"), this,
              SLOT(settingsChanged()));
    b.connect(kService, kSettingsPath, kSettingsInterface, QStringLiteral("ConnectionRemoved"),
              this, SLOT(settingsChanged()));
    return b;
}

bool NetworkManagerDialup::available(QString& error) {
    QDBusConnection& b = bus();
    if (!b.isConnected()) {
        error = QStringLiteral("no connection to the system bus (%1)").arg(b.lastError().message());
        return false;
    }
    if (!b.interface()->isServiceRegistered(kService)) {
        error = QStringLiteral("NetworkManager is not running.");
        return false;
    }
    error.clear();
    return true;
}

bool NetworkManagerDialup::call(const QString& path, const QString& interface,
                                const QString& method, const QVariantList& arguments,
                                QVariantList& results, QString& error) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus().call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return false;
    }
    results = reply.arguments();
    return true;
}

std::optional<QVariant> NetworkManagerDialup::property(const QString& path,
                                                       const QString& interface,
                                                       const QString& name, QString& error) {
    QVariantList results;
    if (!call(path, kPropertiesInterface, QStringLiteral("Get"), {interface, name}, results,
              error) ||
        results.isEmpty())
        return std::nullopt;
    return results.first().value<QDBusVariant>().variant();
}

bool NetworkManagerDialup::listProfiles(QList<Profile>& profiles, QString& error) {
    profiles.clear();
    QVariantList results;
    if (!call(kSettingsPath, kSettingsInterface, QStringLiteral("ListConnections"), {}, results,
              error))
        return false;
    for (const QString& path : objectPaths(results.value(0))) {
        QVariantList settings;
        if (!call(path, kProfileInterface, QStringLiteral("GetSettings"), {}, settings, error))
            return false;
        const auto all = qdbus_cast<ProfileSettings>(settings.value(0).value<QDBusArgument>());
        const QVariantMap connection = all.value(QStringLiteral("connection"));
        profiles << Profile{path, connection.value(QStringLiteral("id")).toString(),
                            connection.value(QStringLiteral("uuid")).toString()};
    }
    return true;
}

std::optional<NetworkManagerDialup::Profile>
NetworkManagerDialup::findProfile(const QString& entryName, QString& error) {
    QList<Profile> profiles;
    if (!listProfiles(profiles, error))
        return std::nullopt;
    // Entry names are told apart without regard to case; an exact match goes first.
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (const Profile& profile : profiles)
            if (profile.id.compare(entryName, sensitivity) == 0)
                return profile;
    error = QStringLiteral("there is no connection named \"%1\"").arg(entryName);
    return std::nullopt;
}

bool NetworkManagerDialup::listEntries(QStringList& names, QString& error) {
    names.clear();
    QList<Profile> profiles;
    if (!listProfiles(profiles, error))
        return false;
    for (const Profile& profile : profiles)
        names << profile.id;
    return true;
}

bool NetworkManagerDialup::activePaths(QStringList& paths, QString& error) {
    const std::optional<QVariant> value =
        property(kManagerPath, kManagerInterface, QStringLiteral("ActiveConnections"), error);
    if (!value)
        return false;
    paths = objectPaths(*value);
    return true;
}

bool NetworkManagerDialup::listActive(QList<ActiveDialup>& connections, QString& error) {
    connections.clear();
    QStringList paths;
    if (!activePaths(paths, error))
        return false;
    for (const QString& path : paths) {
        const std::optional<QVariant> id =
            property(path, kActiveInterface, QStringLiteral("Id"), error);
        const std::optional<QVariant> state =
            property(path, kActiveInterface, QStringLiteral("State"), error);
        // One that went away while being listed is simply not there.
        if (!id || !state)
            continue;
        connections << ActiveDialup{id->toString(), path, state->toUInt() == kActivated};
    }
    error.clear();
    return true;
}

DialupConnections::DialStart NetworkManagerDialup::dial(const QString& entryName, QString& handle,
                                                        QString& error) {
    const std::optional<Profile> profile = findProfile(entryName, error);
    if (!profile)
        return DialStart::EntryUnreadable;
    QVariantList results;
    // Any device and no specific object: the manager picks the profile's own device.
    if (!call(kManagerPath, kManagerInterface, QStringLiteral("ActivateConnection"),
              {objectPath(profile->path), objectPath(QStringLiteral("/")),
               objectPath(QStringLiteral("/"))},
              results, error))
        return DialStart::NotStarted;
    handle = results.value(0).value<QDBusObjectPath>().path();
    Attempt& attempt = attempts_[handle];
    QString ignored;
    if (const auto devices = property(handle, kActiveInterface, QStringLiteral("Devices"), ignored))
        attempt.devices = objectPaths(*devices);
    // A reason left from an earlier attempt says nothing about this one.
    for (const QString& device : attempt.devices)
        lastDeviceReason_.remove(device);
    // It may be up (or over) already; the report still comes after this call returned.
    const std::optional<QVariant> state =
        property(handle, kActiveInterface, QStringLiteral("State"), ignored);
    if (state && state->toUInt() == kActivated)
        QMetaObject::invokeMethod(
            this, [this, handle] { reportConnected(handle); }, Qt::QueuedConnection);
    else if (state && state->toUInt() == kDeactivated)
        QMetaObject::invokeMethod(
            this, [this, handle] { reportFailure(handle, activeReasonText(0), false); },
            Qt::QueuedConnection);
    error.clear();
    return DialStart::Started;
}

bool NetworkManagerDialup::hangUp(const QString& handle, QString& error) {
    attempts_.remove(handle);
    QVariantList results;
    if (call(kManagerPath, kManagerInterface, QStringLiteral("DeactivateConnection"),
             {objectPath(handle)}, results, error))
        return true;
    // Refused for one that is gone already: that one is hung up.
    QStringList paths;
    QString listError;
    if (activePaths(paths, listError) && !paths.contains(handle)) {
        error.clear();
        return true;
    }
    return false;
}

bool NetworkManagerDialup::startEditor(const QStringList& arguments, QString& error) {
    const QString editor = QStandardPaths::findExecutable(kEditor);
    if (editor.isEmpty()) {
        error = QStringLiteral("the connection editor %1 is not installed").arg(kEditor);
        return false;
    }
    if (!QProcess::startDetached(editor, arguments)) {
        error = QStringLiteral("%1 could not be started").arg(kEditor);
        return false;
    }
    return true;
}

bool NetworkManagerDialup::createEntry(QString& error) {
    return startEditor({QStringLiteral("--create")}, error);
}

bool NetworkManagerDialup::editEntry(const QString& entryName, QString& error) {
    const std::optional<Profile> profile = findProfile(entryName, error);
    return profile && startEditor({QStringLiteral("--edit=") + profile->uuid}, error);
}

bool NetworkManagerDialup::deleteEntry(const QString& entryName, QString& error) {
    const std::optional<Profile> profile = findProfile(entryName, error);
    QVariantList results;
    return profile &&
           call(profile->path, kProfileInterface, QStringLiteral("Delete"), {}, results, error);
}

void NetworkManagerDialup::reportConnected(const QString& handle) {
    const auto attempt = attempts_.find(handle);
    if (attempt == attempts_.end() || attempt->connected)
        return;
    attempt->connected = true;
    emit stateChanged(DialReport{handle, DialState::Connected, {}, false});
}

void NetworkManagerDialup::reportFailure(const QString& handle, const QString& text, bool busy) {
    if (!attempts_.remove(handle))
        return;
    emit stateChanged(DialReport{handle, DialState::Disconnected, text, busy});
}

void NetworkManagerDialup::activeStateChanged(uint state, uint reason) {
    const QString handle = message().path();
    const auto attempt = attempts_.constFind(handle);
    if (attempt == attempts_.constEnd())
        return;
    if (state == kActivated) {
        reportConnected(handle);
        return;
    }
    if (state != kDeactivated)
        return;
    // The connection's own reason is general; its modem tells a busy line apart.
    for (const QString& device : attempt->devices) {
        const uint deviceReason = lastDeviceReason_.value(device);
        if (deviceReason >= 14 && deviceReason <= 29) {
            reportFailure(handle, deviceReasonText(deviceReason), deviceReason == kModemBusy);
            return;
        }
    }
    reportFailure(handle, activeReasonText(reason), false);
}

void NetworkManagerDialup::deviceStateChanged(uint newState, uint, uint reason) {
    const QString device = message().path();
    lastDeviceReason_.insert(device, reason);
    if (newState != kDeviceFailed)
        return;
    const QStringList handles = attempts_.keys();
    for (const QString& handle : handles)
        if (attempts_.value(handle).devices.contains(device))
            reportFailure(handle, deviceReasonText(reason), reason == kModemBusy);
}

void NetworkManagerDialup::managerPropertiesChanged(const QVariantMap& changed) {
    if (!changed.contains(QStringLiteral("ActiveConnections")) || attempts_.isEmpty())
        return;
    // The list as it is now: a change announced before a later dial may name a path the
    // manager has since given to the new attempt.
    QStringList paths;
    QString error;
    if (activePaths(paths, error))
        activeConnectionsChanged(paths);
}

void NetworkManagerDialup::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                             const QStringList&) {
    if (interface == kManagerInterface)
        managerPropertiesChanged(changed);
}

void NetworkManagerDialup::activeConnectionsChanged(const QStringList& paths) {
    // An attempt that vanished without a state change of its own is over.
    const QStringList handles = attempts_.keys();
    for (const QString& handle : handles)
        if (!paths.contains(handle))
            reportFailure(handle, activeReasonText(1), false);
}

void NetworkManagerDialup::settingsChanged() {
    emit entriesChanged();
}

} // namespace stowline::platform
