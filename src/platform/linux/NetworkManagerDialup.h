#pragma once

#include "platform/DialupConnections.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace stowline::platform {

// Dial-up on NetworkManager: an entry is a connection profile (its connection.id is the
// name), dialling activates it, hanging up deactivates the active connection, and the
// active connection's state changes (with the modem device's failure reason, which tells
// a busy line) are the reports. The bus is asked for at first use, so a program that
// never dials never connects to it.
class NetworkManagerDialup final : public DialupConnections, protected QDBusContext {
    Q_OBJECT
public:
    explicit NetworkManagerDialup(std::function<QDBusConnection()> bus, QObject* parent = nullptr);

    bool available(QString& error) override;
    bool listEntries(QStringList& names, QString& error) override;
    bool listActive(QList<ActiveDialup>& connections, QString& error) override;
    DialStart dial(const QString& entryName, QString& handle, QString& error) override;
    bool hangUp(const QString& handle, QString& error) override;
    // nm-connection-editor, when it is installed.
    bool createEntry(QString& error) override;
    bool editEntry(const QString& entryName, QString& error) override;
    bool deleteEntry(const QString& entryName, QString& error) override;

private slots:
    void activeStateChanged(uint state, uint reason);
    void deviceStateChanged(uint newState, uint oldState, uint reason);
    void managerPropertiesChanged(const QVariantMap& changed);
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);
    void settingsChanged();

private:
    struct Profile {
        QString path;
        QString id;
        QString uuid;
    };
    // What is known about a connection this object dialled.
    struct Attempt {
        QStringList devices;
        bool connected = false;
    };

    QDBusConnection& bus();
    bool call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, QVariantList& results, QString& error);
    std::optional<QVariant> property(const QString& path, const QString& interface,
                                     const QString& name, QString& error);
    bool listProfiles(QList<Profile>& profiles, QString& error);
    std::optional<Profile> findProfile(const QString& entryName, QString& error);
    bool activePaths(QStringList& paths, QString& error);
    // Reports the end of an attempt once and stops following it.
    void reportFailure(const QString& handle, const QString& text, bool busy);
    void reportConnected(const QString& handle);
    void activeConnectionsChanged(const QStringList& paths);
    bool startEditor(const QStringList& arguments, QString& error);

    std::function<QDBusConnection()> busFactory_;
    std::optional<QDBusConnection> bus_;
    QHash<QString, Attempt> attempts_;
    QHash<QString, uint> lastDeviceReason_;
};

} // namespace stowline::platform
