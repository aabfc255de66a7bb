#include "net/NetDeliveries.h"

#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/EventWait.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/DeliveryCommon.h"

namespace stowline::net {

namespace {
constexpr std::chrono::milliseconds kDeliveryWakeUp{100};
constexpr std::chrono::milliseconds kGracePeriodWakeUp{300};
} // namespace

NetDeliveries::NetDeliveries(DeliveryServices services, backup::RunDeliveries& others,
                             DeliverySettings settings, QObject* parent)
    : QObject(parent), services_(services), others_(others), settings_(settings),
      email_(services, settings, [this](int ms) { scheduleRetry(RetryMode::Email, ms); }),
      ftp_(services, settings, [this](int ms) { scheduleRetry(RetryMode::Ftp, ms); }) {
    retrytimer.setSingleShot(true);
    connect(&retrytimer, &QTimer::timeout, this, &NetDeliveries::retrytimerTimer);
}

bool NetDeliveries::skippedWithoutDialup(backup::RunState& run, const char16_t* skipLine) {
    if (!services_.options.des || run.DialConnectionOk)
        return false;
    // Without the connection the delivery would go out over whatever link happens to be up.
    services_.log.WritePresetError(services_.messages.text(skipLine));
    return true;
}

void NetDeliveries::startEmailDelivery(backup::RunState& run) {
    run_ = &run;
    run.RetryWaiting = false;
    if (skippedWithoutDialup(run, u"smtpskipnodualup"))
        return;
    email_.start(run);
}

void NetDeliveries::startFtpDelivery(backup::RunState& run) {
    run_ = &run;
    if (skippedWithoutDialup(run, u"ftpskipnodialup"))
        return;
    const bool busyPolling = services_.options.cms;
    core::waitProcessingEvents([&run] { return !run.SmtpBusy; },
                               core::WaitRules()
                                   .wakeUpEvery(kDeliveryWakeUp)
                                   .pausingEachTurn(!busyPolling)
                                   .endingOnAbort(services_.flags));
    run.RetryWaiting = false;
    // An abort is served by the run's wait, with its grace period.
    if (services_.flags.AbortRequested)
        return;
    ftp_.start(run);
}

void NetDeliveries::abortClients() {
    ftp_.abortClient();
    email_.abortClient();
}

void NetDeliveries::abortDeliveries(backup::RunState& run) {
    run_ = &run;
    abortClients();
    services_.log.WriteLog(services_.messages.text(u"abortreq10"));
    // The timer ends the grace period by clearing AbortRequested; until then every
    // completion that arrives only aborts its client.
    RetryMode_ = RetryMode::AbortGrace;
    retrytimer.start(settings_.abortGracePeriod);
    const bool busyPolling = services_.options.cms;
    core::waitProcessingEvents(
        [this] { return !services_.flags.AbortRequested; },
        core::WaitRules().wakeUpEvery(kGracePeriodWakeUp).pausingEachTurn(!busyPolling));
    ftp_.endAborted();
    email_.endAborted();
}

void NetDeliveries::scheduleRetry(RetryMode mode, int milliseconds) {
    RetryMode_ = mode;
    if (run_)
        run_->RetryWaiting = true;
    retrytimer.start(milliseconds);
}

void NetDeliveries::retrytimerTimer() {
    retrytimer.stop();
    if (run_)
        run_->RetryWaiting = false;
    if (RetryMode_ == RetryMode::AbortGrace) {
        services_.flags.AbortRequested = false;
        return;
    }
    if (services_.flags.AbortRequested) {
        if (RetryMode_ == RetryMode::Email)
            email_.abortClient();
        else
            ftp_.abortClient();
        return;
    }
    if (RetryMode_ == RetryMode::Email)
        email_.resumeAfterPause();
    else
        ftp_.resumeAfterPause();
}

} // namespace stowline::net
