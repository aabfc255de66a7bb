#include "backup/RunProgress.h"

#include "backup/BackupRun.h"
#include "core/Clock.h"
#include "core/MessageTable.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace stowline::backup {

std::optional<int> RunProgress::PhaseFigures::percent() const {
    if (total == kUnknownTotal)
        return std::nullopt;
    if (total <= 0 || done >= total)
        return 100;
    // Rounded down: 100 % only once everything is done.
    return static_cast<int>(done * 100 / total);
}

RunProgress::RunProgress(const core::Clock& clock, const core::MessageTable& messages,
                         QObject* parent)
    : QObject(parent), clock_(clock), messages_(messages) {
    pendingChange_.setSingleShot(true);
    connect(&pendingChange_, &QTimer::timeout, this, &RunProgress::emitChanged);
}

void RunProgress::reset() {
    phases_ = {};
    nextOrder_ = 1;
    noteChange();
}

void RunProgress::begin(Phase phase, qint64 total) {
    PhaseRecord& record = phases_[index(phase)];
    record.figures = PhaseFigures{true, false, 0, total < 0 ? kUnknownTotal : total};
    record.order = nextOrder_++;
    restartEstimate(record, clock_.now());
    noteChange();
}

void RunProgress::update(Phase phase, qint64 done, qint64 total) {
    PhaseRecord& record = phases_[index(phase)];
    PhaseFigures& figures = record.figures;
    if (!figures.begun || figures.ended)
        return;
    done = std::max<qint64>(0, done);
    total = total < 0 ? kUnknownTotal : total;
    if (done == figures.done && total == figures.total)
        return;
    const QDateTime now = clock_.now();
    if (done < figures.done || total != figures.total) {
        figures.done = done;
        figures.total = total;
        restartEstimate(record, now);
    } else {
        figures.done = done;
        sample(record, now);
    }
    noteChange();
}

void RunProgress::end(Phase phase) {
    PhaseFigures& figures = phases_[index(phase)].figures;
    if (!figures.begun || figures.ended)
        return;
    figures.ended = true;
    noteChange();
}

void RunProgress::finishRun() {
    for (PhaseRecord& record : phases_)
        if (record.figures.begun)
            record.figures.ended = true;
    noteChange();
}

void RunProgress::restartEstimate(PhaseRecord& record, const QDateTime& now) {
    record.sampleTime = now;
    record.sampleDone = record.figures.done;
    record.bytesPerSecond.reset();
    record.samples = 0;
}

void RunProgress::sample(PhaseRecord& record, const QDateTime& now) {
    const qint64 elapsed = record.sampleTime.msecsTo(now);
    if (elapsed < 0) {
        // The clock was set back: measure from here.
        restartEstimate(record, now);
        return;
    }
    if (elapsed < kSampleMilliseconds)
        return;
    const double rate =
        static_cast<double>(record.figures.done - record.sampleDone) * 1000.0 / elapsed;
    record.bytesPerSecond = record.bytesPerSecond
                                ? kSmoothing * rate + (1.0 - kSmoothing) * *record.bytesPerSecond
                                : rate;
    ++record.samples;
    record.sampleTime = now;
    record.sampleDone = record.figures.done;
}

std::optional<RunProgress::Phase> RunProgress::currentPhase() const {
    std::optional<Phase> latest;
    int latestOrder = 0;
    for (int i = 0; i < kPhaseCount; ++i) {
        const PhaseRecord& record = phases_[i];
        if (record.figures.begun && !record.figures.ended && record.order > latestOrder) {
            latest = static_cast<Phase>(i);
            latestOrder = record.order;
        }
    }
    return latest;
}

std::optional<int> RunProgress::percent() const {
    const std::optional<Phase> phase = currentPhase();
    return phase ? figures(*phase).percent() : std::nullopt;
}

std::optional<qint64> RunProgress::secondsLeft() const {
    const std::optional<Phase> phase = currentPhase();
    return phase ? secondsLeft(phases_[index(*phase)]) : std::nullopt;
}

std::optional<qint64> RunProgress::secondsLeft(const PhaseRecord& record) const {
    const PhaseFigures& figures = record.figures;
    if (figures.total == kUnknownTotal || figures.done >= figures.total ||
        record.samples < kSamplesForEstimate || !record.bytesPerSecond ||
        *record.bytesPerSecond <= 0.0)
        return std::nullopt;
    return static_cast<qint64>(
        std::ceil(static_cast<double>(figures.total - figures.done) / *record.bytesPerSecond));
}

QString RunProgress::text() const {
    QList<Phase> running;
    for (int i = 0; i < kPhaseCount; ++i)
        if (phases_[i].figures.begun && !phases_[i].figures.ended)
            running << static_cast<Phase>(i);
    std::sort(running.begin(), running.end(), [this](Phase a, Phase b) {
        return phases_[index(a)].order < phases_[index(b)].order;
    });
    QStringList parts;
    for (const Phase phase : std::as_const(running))
        parts << phaseText(phase);
    return parts.join(QStringLiteral(" | "));
}

QString RunProgress::phaseText(Phase phase) const {
    static constexpr std::array<QStringView, kPhaseCount> kNames{
        u"progressarchiving", u"progressdisc", u"progressemail", u"progressftp", u"progresscopy"};
    const PhaseRecord& record = phases_[index(phase)];
    const PhaseFigures& figures = record.figures;
    const QString name = messages_.text(kNames[index(phase)]);
    if (const std::optional<int> percent = figures.percent()) {
        QString line = core::formatMessage(
            messages_.text(u"progressofwhole"),
            {name, QString::number(*percent), sizeText(figures.done), sizeText(figures.total)});
        if (const std::optional<qint64> left = secondsLeft(record))
            line = core::formatMessage(messages_.text(u"progresstimeleft"),
                                       {line, durationText(*left)});
        return line;
    }
    if (figures.done == 0)
        return name;
    return core::formatMessage(messages_.text(u"progresssofar"), {name, sizeText(figures.done)});
}

QString RunProgress::durationText(qint64 seconds) const {
    if (seconds < 60)
        return core::formatMessage(messages_.text(u"progressseconds"), {QString::number(seconds)});
    if (seconds < 3600)
        return core::formatMessage(messages_.text(u"progressminutes"),
                                   {QString::number(seconds / 60), QString::number(seconds % 60)});
    return core::formatMessage(
        messages_.text(u"progresshours"),
        {QString::number(seconds / 3600), QString::number(seconds % 3600 / 60)});
}

void RunProgress::noteChange() {
    const QDateTime now = clock_.now();
    const qint64 sinceLast = lastEmitted_.isValid() ? lastEmitted_.msecsTo(now) : -1;
    if (!lastEmitted_.isValid() || sinceLast < 0 || sinceLast >= kMinimumInterval.count()) {
        emitChanged();
        return;
    }
    if (!pendingChange_.isActive())
        pendingChange_.start(std::chrono::milliseconds(kMinimumInterval.count() - sinceLast));
}

void RunProgress::emitChanged() {
    pendingChange_.stop();
    lastEmitted_ = clock_.now();
    emit changed();
}

} // namespace stowline::backup
