#include "net/RetryingDelivery.h"

#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/DeliveryCommon.h"

#include <QFileInfo>

#include <algorithm>

namespace stowline::net {

RetryingDelivery::RetryingDelivery(DeliveryServices services, DeliverySettings settings,
                                   ScheduleRetry scheduleRetry, bool backup::RunState::*busy,
                                   RetryTexts texts, backup::RunProgress::Phase progressPhase,
                                   QObject* parent)
    : QObject(parent), services_(services), settings_(settings),
      scheduleRetry_(std::move(scheduleRetry)), busy_(busy), texts_(texts),
      progressPhase_(progressPhase) {}

QString RetryingDelivery::text(QStringView key) const {
    return services_.messages.text(key);
}

void RetryingDelivery::presetLog(const QString& message) {
    services_.log.WritePresetLog(message);
}

void RetryingDelivery::presetError(const QString& message) {
    services_.log.WritePresetError(message);
}

void RetryingDelivery::setBusy(backup::RunState& run, bool busy) {
    run.*busy_ = busy;
}

void RetryingDelivery::beginAttempts() {
    currentFile_ = 0;
    retriesUsed_ = 0;
    sentNames_.clear();
    pendingQuit_ = QuitKind::None;
    resumeWhenQuitDone_ = false;
    active_ = true;
    fileStarts_ = {0};
    for (const QString& name : std::as_const(run_->RunFileList))
        fileStarts_ << fileStarts_.last() + QFileInfo(run_->runFilePath(name)).size();
    if (run_->progress)
        run_->progress->begin(progressPhase_, fileStarts_.last());
}

void RetryingDelivery::reportProgress(qint64 bytes) {
    if (!active_ || !run_ || !run_->progress || currentFile_ + 1 >= fileStarts_.size())
        return;
    const qint64 start = fileStarts_.at(currentFile_);
    const qint64 size = fileStarts_.at(currentFile_ + 1) - start;
    run_->progress->update(progressPhase_, start + std::min(bytes, size), fileStarts_.last());
}

void RetryingDelivery::resumeAfterPause() {
    if (!active_)
        return;
    if (pendingQuit_ == QuitKind::Failure) {
        // The connection of the failed attempt is still being closed; a new one would be
        // refused while it is.
        resumeWhenQuitDone_ = true;
        return;
    }
    connectAgain();
}

void RetryingDelivery::endAborted() {
    if (!active_)
        return;
    deliveryAborted();
    pendingQuit_ = QuitKind::None;
    resumeWhenQuitDone_ = false;
    endDelivery();
}

void RetryingDelivery::endDelivery() {
    active_ = false;
    if (!run_)
        return;
    setBusy(*run_, false);
    if (run_->progress)
        run_->progress->end(progressPhase_);
}

bool RetryingDelivery::takesCompletion(bool isQuit) {
    if (!active_)
        return false;
    if (services_.flags.AbortRequested) {
        abortClient();
        return false;
    }
    if (isQuit && pendingQuit_ == QuitKind::Failure) {
        // This QUIT only closes the connection of a failure that is already handled:
        // whatever it answers is no further failure.
        quitDone();
        return false;
    }
    return true;
}

void RetryingDelivery::failed(bool worthARetry) {
    if (clientConnected()) {
        pendingQuit_ = QuitKind::Failure;
        sendQuit();
    }
    const core::topt& options = services_.options;
    const bool retriesOn = options.fre;
    const int retryLimit = options.fti;
    const int pauseSeconds = options.fin;
    if (retriesOn) {
        if (retriesUsed_ < retryLimit && worthARetry) {
            ++retriesUsed_;
            presetLog(
                core::formatMessage(text(texts_.tryingAgain), {QString::number(pauseSeconds)}) +
                QStringLiteral(" (%1/%2).").arg(retriesUsed_).arg(retryLimit));
            scheduleRetry_(pauseSeconds * 1000);
            return;
        }
        presetError(text(texts_.noMoreRetries));
    } else {
        presetError(text(texts_.noRetries));
    }
    deliveryGivenUp();
    stopOperationTimer(*run_);
    // With a QUIT under way the delivery ends when it is answered, so that its line
    // comes before the run goes on.
    if (pendingQuit_ == QuitKind::None)
        endDelivery();
}

void RetryingDelivery::sendFinalQuit() {
    pendingQuit_ = QuitKind::Final;
    sendQuit();
}

void RetryingDelivery::endAfterFailedFinalQuit() {
    pendingQuit_ = QuitKind::None;
    endDelivery();
}

void RetryingDelivery::quitDone() {
    pendingQuit_ = QuitKind::None;
    logDisconnected();
    if (resumeWhenQuitDone_) {
        resumeWhenQuitDone_ = false;
        resumeAfterPause();
        return;
    }
    if (!run_->RetryWaiting)
        endDelivery();
}

} // namespace stowline::net
