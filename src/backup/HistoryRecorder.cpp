#include "backup/HistoryRecorder.h"

#include "core/EventLog.h"
#include "core/MessageTable.h"

namespace stowline::backup {

HistoryRecorder::HistoryRecorder(const PresetStore& store, core::EventLog& log,
                                 const core::MessageTable& messages)
    : store_(store), log_(log), messages_(messages) {}

void HistoryRecorder::recordDelivery(const QString& presetName, DeliveryKind kind,
                                     const QString& location) {
    if (!store_.AppendDeliveryHistory(presetName, kind, location))
        reportFailure(store_.presetFilePath(presetName, QStringLiteral(".hst")));
}

void HistoryRecorder::recordForCleaner(const QString& presetName, const QStringList& fileNames,
                                       CleanerHistory history) {
    if (!store_.AppendHistoryEntry(presetName, fileNames, history))
        reportFailure(store_.presetFilePath(presetName, cleanerHistoryExtension(history)));
}

void HistoryRecorder::reportFailure(const QString& path) {
    log_.WritePresetError(core::formatMessage(messages_.text(u"historynotwritten"), {path}));
}

} // namespace stowline::backup
