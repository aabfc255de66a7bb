#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace stowline::platform {

// How a dial attempt stands, as the connection manager reports it.
enum class DialState { InProgress, Connected, Disconnected };

// One state change of a dial attempt.
struct DialReport {
    QString handle; // the connection the report is about
    DialState state = DialState::InProgress;
    // The manager's text for what went wrong; empty when nothing did.
    QString errorText;
    // The line was busy: the one failure worth dialling again.
    bool lineBusy = false;
};

// A connection that is up or on its way up.
struct ActiveDialup {
    QString entryName; // the entry it was dialled from
    QString handle;    // what hangs it up
    bool connected = false;
};

// The desktop's dial-up connections: the stored entries (name, number, account) and the
// connections made from them. Every call returns at once; a dial's outcome arrives later
// through stateChanged. Failures carry the connection manager's own text.
class DialupConnections : public QObject {
    Q_OBJECT
public:
    enum class DialStart { Started, EntryUnreadable, NotStarted };

    using QObject::QObject;
    ~DialupConnections() override = default;

    // False when the connection manager cannot be reached at all.
    virtual bool available(QString& error) = 0;
    // The entries' names in the manager's order.
    virtual bool listEntries(QStringList& names, QString& error) = 0;
    virtual bool listActive(QList<ActiveDialup>& connections, QString& error) = 0;
    // Starts dialling the entry with its stored account; `handle` names the attempt.
    virtual DialStart dial(const QString& entryName, QString& handle, QString& error) = 0;
    // A connection that is already gone counts as hung up.
    virtual bool hangUp(const QString& handle, QString& error) = 0;
    // The manager's own editor for a new or an existing entry.
    virtual bool createEntry(QString& error) = 0;
    virtual bool editEntry(const QString& entryName, QString& error) = 0;
    virtual bool deleteEntry(const QString& entryName, QString& error) = 0;

signals:
    void stateChanged(const stowline::platform::DialReport& report);
    // An entry was added or removed outside the program (the editor saved one).
    void entriesChanged();
};

} // namespace stowline::platform
