#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace stowline::core {
class Clock;
}

namespace stowline::net {

// The FTP cleaner's list of old uploads and its cleaner history (.lgf). Selecting cuts
// the old entries from the history at once (the shared cleaner rule); this class keeps
// what it cut, so that every name whose file was not deleted goes back into the history
// and is tried again by a later run.
class FtpCleaner {
public:
    FtpCleaner(const QString& presetsFolder, const core::Clock& clock);

    // Fills the list from the history of `presetName` (count mode when `count` is not 0,
    // else age mode with `days`). Names in `uploadedNow` are files this run has already
    // put on the server under the same name: they are never deleted.
    void select(const QString& presetName, int count, int days, const QStringList& uploadedNow);

    bool isEmpty() const { return cleanerList_.isEmpty(); }
    // The name the next DELE is for.
    const QString& first() const { return cleanerList_.first(); }
    // The first name is settled: its file was deleted or is no longer on the server.
    void firstSettled();

    // Ends the pass: the cut entries go back to the bottom of the history (where the
    // oldest entries are), each with the names that were not settled; entries left
    // without names are dropped. The list is emptied.
    void keepUnsettled();

private:
    QString presetsFolder_;
    const core::Clock& clock_;
    QString historyPath_;
    QStringList cleanerList_;
    QStringList cutLines_;
    QSet<QString> settled_;
};

} // namespace stowline::net
