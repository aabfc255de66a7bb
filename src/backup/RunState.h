#pragma once

#include "backup/Preset.h"

#include <QSet>
#include <QString>
#include <QStringList>

class QTimer;

namespace stowline::backup {

class RunProgress;

// What one backup run and its delivery steps share, from the start of a run to the
// start of the next.
struct RunState {
    QString CurrentPresetName;
    tarcopt preset;               // as loaded at the start of the run
    QString archiveName;          // the preset's nam with environment references expanded
    QString runFolder;            // where the archiver writes; empty in direct archiving
    QStringList RunFileList;      // archive names (no folder) found after archiving
    QString expandedDestination;  // the preset's dir with environment references expanded
    bool FtpBusy = false;         // the FTP delivery of this run is under way
    bool SmtpBusy = false;        // the e-mail delivery of this run is under way
    bool RetryWaiting = false;    // a delivery waits before its next attempt
    bool archivesMade = false;    // archiving succeeded: the files are worth keeping
    QSet<QString> deliveredFiles; // names delivered by at least one step
    // A dial-up connection is up for the network deliveries.
    bool DialConnectionOk = false;
    // This run's own dial brought that connection up.
    bool DialedByUs = false;
    // The run's operation time-out; the deliveries re-arm it with their own limits.
    QTimer* Optimer = nullptr;
    // Where the steps report how far they have come; the run resets it when it starts.
    RunProgress* progress = nullptr;

    QString runFilePath(const QString& name) const { return runFolder + QLatin1Char('/') + name; }
};

} // namespace stowline::backup
