#include "backup/OldDeliveries.h"

#include "core/TextFiles.h"

namespace stowline::backup {

namespace {
constexpr qint64 kMillisecondsPerDay = 24LL * 60 * 60 * 1000;

bool isOld(int entryNumber, const QDateTime& stamp, int count, int days, const QDateTime& now) {
    if (count != 0)
        return entryNumber >= count;
    return now.addMSecs(-days * kMillisecondsPerDay) > stamp;
}
} // namespace

QString cleanerHistoryPath(const QString& presetsFolder, const QString& presetName,
                           CleanerHistory history) {
    return presetsFolder + QLatin1Char('/') + presetName + cleanerHistoryExtension(history);
}

QStringList SelectOldDeliveries(const QString& presetsFolder, const QString& presetName, int count,
                                int days, CleanerHistory history, const QDateTime& now) {
    const QString path = cleanerHistoryPath(presetsFolder, presetName, history);
    const QStringList lines = core::readTextLines(path).value_or(QStringList());
    QStringList cleanerList;
    qsizetype firstOldLine = -1;
    int entryNumber = 0;
    bool inOldEntry = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (inOldEntry) {
            if (line.isEmpty()) {
                inOldEntry = false;
            } else if (!cleanerList.contains(line)) {
                cleanerList << line;
            }
            continue;
        }
        const std::optional<QDateTime> stamp = parseHistoryStamp(line);
        if (!stamp)
            continue;
        ++entryNumber;
        if (isOld(entryNumber, *stamp, count, days, now)) {
            inOldEntry = true;
            if (firstOldLine < 0)
                firstOldLine = i;
        }
    }
    if (firstOldLine >= 0)
        core::writeTextLinesAtomically(path, lines.mid(0, firstOldLine));
    return cleanerList;
}

} // namespace stowline::backup
