#pragma once

#include "backup/RunDeliveries.h"
#include "net/DeliveryServices.h"
#include "net/EmailDelivery.h"
#include "net/FtpDelivery.h"

#include <QObject>
#include <QTimer>

namespace stowline::net {

// The network post-actions of a backup run: e-mail delivery, then the FTP upload, with
// the retry timer they share and the grace period of an aborted run. The other steps
// (disc, dial-up, hang-up) go to `others`.
class NetDeliveries final : public QObject, public backup::RunDeliveries {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetDeliveries)
public:
    NetDeliveries(DeliveryServices services, backup::RunDeliveries& others,
                  DeliverySettings settings = {}, QObject* parent = nullptr);

    void burnDisc(backup::RunState& run) override { others_.burnDisc(run); }
    void dialUp(backup::RunState& run) override { others_.dialUp(run); }
    void hangUp(backup::RunState& run) override { others_.hangUp(run); }
    void startEmailDelivery(backup::RunState& run) override;
    // Waits for the e-mail delivery to end first.
    void startFtpDelivery(backup::RunState& run) override;
    void abortClients() override;
    // Logs "Abort requested. Waiting for 10 seconds.", aborts the clients and lets their
    // pending completions arrive during the grace period.
    void abortDeliveries(backup::RunState& run) override;

private:
    // What the retry timer serves.
    enum class RetryMode { Ftp = 0, Email = 1, AbortGrace = 3 };

    // With dial-up on, a delivery goes ahead only over the dialled connection.
    bool skippedWithoutDialup(backup::RunState& run, const char16_t* skipLine);
    void scheduleRetry(RetryMode mode, int milliseconds);
    void retrytimerTimer();

    DeliveryServices services_;
    backup::RunDeliveries& others_;
    DeliverySettings settings_;
    backup::RunState* run_ = nullptr;
    QTimer retrytimer;
    RetryMode RetryMode_ = RetryMode::Ftp;
    EmailDelivery email_;
    FtpDelivery ftp_;
};

} // namespace stowline::net
