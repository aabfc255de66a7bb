#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::remote {

// What a monitoring system wants to know of one preset, from the last-run file and
// the preset's delivery history.
struct PresetFacts {
    QString name;
    QString nextRunText;   // empty when not scheduled
    QDateTime lastRun;     // start of the last run; invalid when it never ran
    QDateTime lastSuccess; // the last delivery of an archive; invalid when none
    // The last run delivered at least one archive; nothing while it never ran.
    std::optional<bool> lastRunSucceeded;
    // Of the last run, when it succeeded: the archives copied to the destination
    // folder that are still there, and the time from its start to its last delivery.
    std::optional<qint64> lastArchiveBytes;
    std::optional<qint64> lastDurationSeconds;
};

// The facts of one preset: `lastRunText` from the last-run file, `deliveryHistory` the
// lines of its .hst file (newest first: stamp, tab, kind, tab, location).
PresetFacts presetFacts(const QString& name, const QString& nextRunText, const QString& lastRunText,
                        const QStringList& deliveryHistory);

// What the program is doing.
struct ProgramStatus {
    QDateTime now;
    bool schedulerOn = false;
    bool busy = false;
    QString runningPreset; // empty when no preset runs
    QString progress;      // empty when unknown
    qint64 errorLinesSinceStart = 0;
    QList<PresetFacts> presets;
};

// The status as JSON, for scripts.
QByteArray statusJson(const ProgramStatus& status);
// The status in the Prometheus text exposition format (version 0.0.4).
QByteArray metricsText(const ProgramStatus& status);

} // namespace stowline::remote
