#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>

namespace stowline::core {
class Clock;
class MessageTable;
} // namespace stowline::core

namespace stowline::backup {

// How far the running job has come: the phase it is in, bytes done of bytes to do, a
// percentage and an estimate of the time left, and one line of text for the status bar
// and the tray tooltip. The run resets it when it starts and the steps report to it;
// views listen to changed(), which comes at most every kMinimumInterval (a change in
// between is reported when the interval is over), and read text().
class RunProgress final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunProgress)
public:
    enum class Phase { Archiving, Disc, Email, Ftp, Copy };
    static constexpr int kPhaseCount = 5;
    // A total that is not known: bytes are counted without a percentage.
    static constexpr qint64 kUnknownTotal = -1;
    static constexpr std::chrono::milliseconds kMinimumInterval{250};

    // The figures of one phase.
    struct PhaseFigures {
        bool begun = false;
        bool ended = false;
        qint64 done = 0;
        qint64 total = kUnknownTotal;

        // 0 to 100 when the total is known (100 for an empty total).
        std::optional<int> percent() const;
    };

    RunProgress(const core::Clock& clock, const core::MessageTable& messages,
                QObject* parent = nullptr);

    // A new run: every phase is forgotten and there is nothing to show.
    void reset();
    // A phase starts with `total` bytes to do. Beginning it again starts it over.
    void begin(Phase phase, qint64 total = kUnknownTotal);
    // Bytes done so far, and the total (kUnknownTotal: not known). Fewer bytes than before
    // mean the phase started over (a retry): the estimate of the time left starts over too.
    void update(Phase phase, qint64 done, qint64 total);
    // The phase is over; its figures stay as they were last reported.
    void end(Phase phase);
    // The run is over: nothing is shown any more, the figures stay readable.
    void finishRun();

    const PhaseFigures& figures(Phase phase) const { return phases_[index(phase)].figures; }
    // The phase most recently begun that has not ended; none when nothing runs.
    std::optional<Phase> currentPhase() const;
    // Of the current phase.
    std::optional<int> percent() const;
    // Of the current phase: none without a known total or before the rate is known.
    std::optional<qint64> secondsLeft() const;
    // One line about every phase under way, joined by " | " when several overlap; empty
    // when nothing runs.
    QString text() const;

signals:
    void changed();

private:
    // The rate is measured over spans of at least this length and smoothed.
    static constexpr qint64 kSampleMilliseconds = 1000;
    static constexpr double kSmoothing = 0.3;
    // Spans measured before an estimate is shown.
    static constexpr int kSamplesForEstimate = 2;

    struct PhaseRecord {
        PhaseFigures figures;
        int order = 0; // when it was begun, to find the latest
        QDateTime sampleTime;
        qint64 sampleDone = 0;
        std::optional<double> bytesPerSecond;
        int samples = 0;
    };

    static int index(Phase phase) { return static_cast<int>(phase); }
    void restartEstimate(PhaseRecord& record, const QDateTime& now);
    void sample(PhaseRecord& record, const QDateTime& now);
    std::optional<qint64> secondsLeft(const PhaseRecord& record) const;
    QString phaseText(Phase phase) const;
    QString durationText(qint64 seconds) const;
    void noteChange();
    void emitChanged();

    const core::Clock& clock_;
    const core::MessageTable& messages_;
    std::array<PhaseRecord, kPhaseCount> phases_;
    int nextOrder_ = 1;
    QDateTime lastEmitted_;
    QTimer pendingChange_;
};

} // namespace stowline::backup
