#pragma once

#include "backup/RunProgress.h"
#include "net/DeliveryServices.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

// The retry machine the FTP and e-mail deliveries share. A delivery makes attempts over
// a connection of its own; after a failure the connection is closed with QUIT, and
// either the shared retry timer brings the next attempt (`fin` seconds later, at most
// `fti` times when `fre` is set) or the delivery ends. A retry that comes while that QUIT
// is still under way waits for it. The request sequences of each protocol stay in the
// deliveries; they plug in through the hooks below.
class RetryingDelivery : public QObject {
public:
    // Asks for the shared retry timer to call resumeAfterPause after `milliseconds`.
    using ScheduleRetry = std::function<void(int milliseconds)>;

    // The pause before a retry is over: connect again and go on with the file that
    // failed.
    void resumeAfterPause();
    // Ends the client's connection and pending request at once.
    virtual void abortClient() = 0;
    // The run ends as aborted: nothing more is done for it.
    virtual void endAborted();

protected:
    // The lines of the retry decision.
    struct RetryTexts {
        QStringView tryingAgain;   // "... again in %1 seconds"
        QStringView noMoreRetries; // every retry is used up
        QStringView noRetries;     // retries are off
    };

    RetryingDelivery(DeliveryServices services, DeliverySettings settings,
                     ScheduleRetry scheduleRetry, bool backup::RunState::*busy, RetryTexts texts,
                     backup::RunProgress::Phase progressPhase, QObject* parent);

    // Marks the run's delivery as under way (or not), for the run's wait.
    void setBusy(backup::RunState& run, bool busy);
    // The first attempt of a delivery begins: nothing sent, no retry used. The run's
    // progress counts the bytes of every file to deliver from here on.
    void beginAttempts();
    // `bytes` of the file being delivered are sent: the progress counts them after the
    // files delivered before it.
    void reportProgress(qint64 bytes);
    // The first step of every completion: false when the delivery has nothing more to do
    // with it (none under way, an abort, or the QUIT that closed a failed attempt).
    bool takesCompletion(bool isQuit);
    // The attempt failed: close its connection and retry after the pause, or give up.
    void failed(bool worthARetry);
    // The QUIT that ends the last attempt; its answer ends the delivery.
    void sendFinalQuit();
    bool finalQuitPending() const { return pendingQuit_ == QuitKind::Final; }
    // The last QUIT failed after everything was delivered and recorded: the delivery is
    // complete all the same.
    void endAfterFailedFinalQuit();
    void quitDone();
    void endDelivery();

    void presetLog(const QString& message);
    void presetError(const QString& message);
    QString text(QStringView key) const;

    virtual bool clientConnected() const = 0;
    virtual void sendQuit() = 0;
    // Logs the attempt and connects again from scratch.
    virtual void connectAgain() = 0;
    virtual void logDisconnected() = 0;
    // The delivery gives up after a failure, or is aborted: what was delivered so far
    // is recorded.
    virtual void deliveryGivenUp() {}
    virtual void deliveryAborted() {}

    DeliveryServices services_;
    DeliverySettings settings_;
    backup::RunState* run_ = nullptr;
    bool active_ = false;   // completions belong to a delivery that is under way
    int currentFile_ = 0;   // index in the run's file list of the file being delivered
    QStringList sentNames_; // the files delivered so far

private:
    enum class QuitKind { None, Failure, Final };

    ScheduleRetry scheduleRetry_;
    bool backup::RunState::*busy_;
    RetryTexts texts_;
    backup::RunProgress::Phase progressPhase_;
    QList<qint64> fileStarts_; // where each file begins in the bytes to deliver, and the total
    int retriesUsed_ = 0;
    QuitKind pendingQuit_ = QuitKind::None;
    bool resumeWhenQuitDone_ = false;
};

} // namespace stowline::net
