#pragma once

#include <QDate>
#include <QString>

namespace stowline::platform {
class SystemPaths;
}

namespace stowline::core {

// Where the data folder is recorded (swlinfo.dat) and the rules of choosing it.
class DataFolderSetup {
public:
    explicit DataFolderSetup(const platform::SystemPaths& paths);

    // swlinfo.dat in the program folder when that exists or the folder is writable,
    // else the per-user fallback.
    QString infoFilePath() const;
    // The first line of swlinfo.dat, or empty when it is missing or unreadable.
    QString recordedDataFolder() const;

    QString allUsersFolder() const;
    QString thisUserFolder() const;

    struct Choice {
        bool accepted = false; // false: the dialog stays open
        QString message;       // shown by the dialog when not empty
    };
    // Takes a folder chosen in the data-folder dialog: creates a typed folder (with
    // its parents) and records the choice in swlinfo.dat. A choice that cannot be
    // recorded is still accepted for this run, with the message saying so.
    Choice choose(const QString& folder, bool createFolder) const;

    // Moves the files of the older layout (settings beside the executable) into the
    // newly chosen data folder. A file that already exists there is kept, and the old
    // one stays where it was.
    void migrateOldLayout(const QString& dataFolder) const;

private:
    const platform::SystemPaths& paths_;
};

// The dialog shown when no data folder is recorded: returns the chosen folder, or empty
// when the dialog was closed without a choice.
class DataFolderChooser {
public:
    virtual ~DataFolderChooser() = default;
    virtual QString chooseDataFolder(const DataFolderSetup& setup) = 0;
};

// Rewrites swl.run with today's date; false when the data folder is not writable.
bool writeRunFile(const QString& dataFolder, const QDate& today);

QString dataPathInvalidMessage(const QString& dataFolder);
// `infoFile` is the swlinfo.dat in use: beside the program or in the per-user fallback.
QString dataFolderNotWritableMessage(const QString& dataFolder, const QString& programFolder,
                                     const QString& infoFile);

} // namespace stowline::core
