#pragma once

#include "backup/PresetFiles.h"

namespace stowline::core {
class EventLog;
class MessageTable;
} // namespace stowline::core

namespace stowline::backup {

// Records a run's deliveries in the preset's histories. A history that cannot be written
// is an error line naming the file: its cleaner would otherwise lose track of the
// delivery, and the destination would fill up without a word.
class HistoryRecorder {
public:
    HistoryRecorder(const PresetStore& store, core::EventLog& log,
                    const core::MessageTable& messages);

    // One line in the delivery history (.hst), for the restore window.
    void recordDelivery(const QString& presetName, DeliveryKind kind, const QString& location);
    // One entry of a run's file names in a cleaner history (.lgc, .lgf, .lgs).
    void recordForCleaner(const QString& presetName, const QStringList& fileNames,
                          CleanerHistory history);

private:
    void reportFailure(const QString& path);

    const PresetStore& store_;
    core::EventLog& log_;
    const core::MessageTable& messages_;
};

} // namespace stowline::backup
