#pragma once

#include "backup/PresetFiles.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace stowline::backup {

// The cleaner rule shared by the copy and FTP cleaners. The history file (presets
// folder + "/" + preset + ".lg" + letter) holds one entry per run, newest first: a
// time-stamp line, then the file names of that run, then an empty line.
//
// Count mode (count != 0): entries 1 .. count-1 from the top stay, the rest are old.
// Age mode (count == 0): an entry stamped more than `days` days before `now` is old.
// From the first old entry on, everything is cut from the history file; the names of
// the old entries are returned once each, in order, as the list of files to delete.
QStringList SelectOldDeliveries(const QString& presetsFolder, const QString& presetName, int count,
                                int days, CleanerHistory history, const QDateTime& now);

QString cleanerHistoryPath(const QString& presetsFolder, const QString& presetName,
                           CleanerHistory history);

} // namespace stowline::backup
