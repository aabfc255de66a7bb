#include "net/remote/StatusReports.h"

#include "backup/PresetFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace stowline::remote {

namespace {

QJsonValue timeValue(const QDateTime& time) {
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

template <typename T> QJsonValue optionalValue(const std::optional<T>& value) {
    return value ? QJsonValue(static_cast<double>(*value)) : QJsonValue();
}

// A label value with backslash, double quote and line feed escaped.
QByteArray labelValue(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class MetricsWriter {
public:
    void family(const char* name, const char* type, const char* help) {
        name_ = name;
        out_ += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void sample(double value, const QString& preset = QString()) {
        out_ += name_;
        if (!preset.isNull())
            out_ += "{preset=\"" + labelValue(preset) + "\"}";
        out_ += ' ' + QByteArray::number(value, 'g', 15) + '\n';
    }
    QByteArray text() const { return out_; }

private:
    QByteArray name_;
    QByteArray out_;
};

} // namespace

PresetFacts presetFacts(const QString& name, const QString& nextRunText, const QString& lastRunText,
                        const QStringList& deliveryHistory) {
    PresetFacts facts;
    facts.name = name;
    facts.nextRunText = nextRunText;
    facts.lastRun = backup::parseHistoryStamp(lastRunText).value_or(QDateTime());
    QDateTime newestOfLastRun;
    qint64 bytes = 0;
    for (const QString& line : deliveryHistory) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        const std::optional<QDateTime> stamp = backup::parseHistoryStamp(fields.value(0));
        if (!stamp)
            continue;
        if (!facts.lastSuccess.isValid() || *stamp > facts.lastSuccess)
            facts.lastSuccess = *stamp;
        if (!facts.lastRun.isValid() || *stamp < facts.lastRun)
            continue;
        if (!newestOfLastRun.isValid() || *stamp > newestOfLastRun)
            newestOfLastRun = *stamp;
        const QFileInfo copy(fields.value(2));
        if (fields.value(1) == backup::deliveryKindText(backup::DeliveryKind::Copy) &&
            copy.isFile())
            bytes += copy.size();
    }
    if (facts.lastRun.isValid()) {
        facts.lastRunSucceeded = newestOfLastRun.isValid();
        if (newestOfLastRun.isValid()) {
            facts.lastArchiveBytes = bytes;
            facts.lastDurationSeconds = facts.lastRun.secsTo(newestOfLastRun);
        }
    }
    return facts;
}

QByteArray statusJson(const ProgramStatus& status) {
    QJsonArray presets;
    for (const PresetFacts& facts : status.presets) {
        QJsonObject preset;
        preset[QLatin1String("name")] = facts.name;
        preset[QLatin1String("nextRun")] = facts.nextRunText.trimmed().isEmpty()
                                               ? QJsonValue()
                                               : QJsonValue(facts.nextRunText.trimmed());
        preset[QLatin1String("lastRun")] = timeValue(facts.lastRun);
        preset[QLatin1String("lastResult")] =
            facts.lastRunSucceeded ? QJsonValue(*facts.lastRunSucceeded ? QLatin1String("success")
                                                                        : QLatin1String("failure"))
                                   : QJsonValue();
        preset[QLatin1String("lastSuccess")] = timeValue(facts.lastSuccess);
        preset[QLatin1String("lastArchiveBytes")] = optionalValue(facts.lastArchiveBytes);
        preset[QLatin1String("lastDurationSeconds")] = optionalValue(facts.lastDurationSeconds);
        presets.append(preset);
    }
    QJsonObject running;
    if (!status.runningPreset.isEmpty()) {
        running[QLatin1String("preset")] = status.runningPreset;
        running[QLatin1String("progress")] =
            status.progress.isEmpty() ? QJsonValue() : QJsonValue(status.progress);
    }
    QJsonObject root;
    root[QLatin1String("time")] = timeValue(status.now);
    root[QLatin1String("scheduler")] = status.schedulerOn;
    root[QLatin1String("busy")] = status.busy;
    root[QLatin1String("running")] = running.isEmpty() ? QJsonValue() : QJsonValue(running);
    root[QLatin1String("errorLinesSinceStart")] = static_cast<double>(status.errorLinesSinceStart);
    root[QLatin1String("presets")] = presets;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray metricsText(const ProgramStatus& status) {
    MetricsWriter m;
    m.family("stowline_up", "gauge", "1 while the program answers.");
    m.sample(1);
    m.family("stowline_scheduler_enabled", "gauge", "1 when the scheduler is on.");
    m.sample(status.schedulerOn ? 1 : 0);
    m.family("stowline_busy", "gauge", "1 while a backup or another operation runs.");
    m.sample(status.busy ? 1 : 0);
    m.family("stowline_error_lines_total", "counter",
             "Error lines logged since the program started.");
    m.sample(static_cast<double>(status.errorLinesSinceStart));

    const auto perPreset = [&](const char* name, const char* type, const char* help,
                               const auto& value) {
        m.family(name, type, help);
        for (const PresetFacts& facts : status.presets)
            if (const std::optional<double> v = value(facts))
                m.sample(*v, facts.name);
    };
    const auto seconds = [](const QDateTime& time) -> std::optional<double> {
        if (!time.isValid())
            return std::nullopt;
        return static_cast<double>(time.toSecsSinceEpoch());
    };
    perPreset("stowline_preset_last_run_timestamp_seconds", "gauge",
              "Start of the preset's last run.",
              [&](const PresetFacts& f) { return seconds(f.lastRun); });
    perPreset("stowline_preset_last_success_timestamp_seconds", "gauge",
              "The preset's last delivery of an archive.",
              [&](const PresetFacts& f) { return seconds(f.lastSuccess); });
    perPreset("stowline_preset_last_result", "gauge",
              "1 when the last run delivered an archive, 0 when it did not.",
              [](const PresetFacts& f) -> std::optional<double> {
                  if (!f.lastRunSucceeded)
                      return std::nullopt;
                  return *f.lastRunSucceeded ? 1.0 : 0.0;
              });
    perPreset("stowline_preset_last_archive_bytes", "gauge",
              "Size of the last successful run's archives in the destination folder.",
              [](const PresetFacts& f) -> std::optional<double> {
                  if (!f.lastArchiveBytes)
                      return std::nullopt;
                  return static_cast<double>(*f.lastArchiveBytes);
              });
    perPreset("stowline_preset_last_duration_seconds", "gauge",
              "From the start of the last successful run to its last delivery.",
              [](const PresetFacts& f) -> std::optional<double> {
                  if (!f.lastDurationSeconds)
                      return std::nullopt;
                  return static_cast<double>(*f.lastDurationSeconds);
              });
    return m.text();
}

} // namespace stowline::remote
