#include "net/FtpCleaner.h"

#include "backup/OldDeliveries.h"
#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/TextFiles.h"

namespace stowline::net {

FtpCleaner::FtpCleaner(const QString& presetsFolder, const core::Clock& clock)
    : presetsFolder_(presetsFolder), clock_(clock) {}

void FtpCleaner::select(const QString& presetName, int count, int days,
                        const QStringList& uploadedNow) {
    keepUnsettled();
    historyPath_ =
        backup::cleanerHistoryPath(presetsFolder_, presetName, backup::CleanerHistory::Ftp);
    const QStringList before = core::readTextLines(historyPath_).value_or(QStringList());
    const QStringList selected = backup::SelectOldDeliveries(
        presetsFolder_, presetName, count, days, backup::CleanerHistory::Ftp, clock_.now());
    const QStringList after = core::readTextLines(historyPath_).value_or(before);
    // The rule keeps the top of the history and cuts everything from the first old entry.
    if (after.size() < before.size() && before.mid(0, after.size()) == after)
        cutLines_ = before.mid(after.size());
    for (const QString& name : selected) {
        if (uploadedNow.contains(name))
            settled_.insert(name);
        else
            cleanerList_ << name;
    }
}

void FtpCleaner::firstSettled() {
    settled_.insert(cleanerList_.takeFirst());
}

void FtpCleaner::keepUnsettled() {
    QStringList kept;
    QString stamp;
    QStringList names;
    const auto closeEntry = [&] {
        if (!stamp.isEmpty() && !names.isEmpty())
            kept << stamp << names << QString();
        stamp.clear();
        names.clear();
    };
    for (const QString& line : std::as_const(cutLines_)) {
        if (stamp.isEmpty()) {
            if (backup::parseHistoryStamp(line))
                stamp = line;
        } else if (line.isEmpty()) {
            closeEntry();
        } else if (!settled_.contains(line) && !names.contains(line)) {
            names << line;
        }
    }
    closeEntry();
    if (!kept.isEmpty()) {
        const QStringList current = core::readTextLines(historyPath_).value_or(QStringList());
        core::writeTextLinesAtomically(historyPath_, current + kept);
    }
    cutLines_.clear();
    settled_.clear();
    cleanerList_.clear();
}

} // namespace stowline::net
