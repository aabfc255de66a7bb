#pragma once

#include <QString>
#include <QStringList>

namespace stowline::ui {

// The commands of the settings dialog that act at once on other parts of the program.
// Each is optional: without it the dialog says that the facility is not there.

// The remote-control server.
class RemoteAccessControl {
public:
    virtual ~RemoteAccessControl() = default;
    virtual void start() = 0;
    // Logs whether the server was running.
    virtual void stop() = 0;
};

// The dial-up connection and its phone-book entries.
class DialupControl {
public:
    virtual ~DialupControl() = default;
    virtual QStringList entries() = 0;
    virtual void dial() = 0;
    virtual void hangUp() = 0;
    // Each true when the entry list changed.
    virtual bool newEntry() = 0;
    virtual bool editEntry(const QString& name) = 0;
    virtual bool deleteEntry(const QString& name) = 0;
};

// Removes old files from the keeper or recycle archive.
class BinArchiveCleaning {
public:
    virtual ~BinArchiveCleaning() = default;
    // Deletes the files older than `days` from the recycle archive (`recycle`) or the
    // keeper archive and returns when done: empty on success, else what went wrong.
    virtual QString cleanOlderThan(bool recycle, int days) = 0;
};

} // namespace stowline::ui
