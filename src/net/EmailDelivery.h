#pragma once

#include "net/RetryingDelivery.h"
#include "protocols/SmtpClient.h"

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

// The e-mail post-action of a backup run: every archive of the run goes to the preset's
// recipient as the attachment of a message of its own, all over one connection, and is
// recorded in the delivery history (.hst) and the e-mail history (.lgs). Asynchronous:
// every completion of the client comes to clientRequestDone, which makes the next
// request. The run and the FTP step wait while SmtpBusy is set.
class EmailDelivery final : public RetryingDelivery {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EmailDelivery)
public:
    EmailDelivery(DeliveryServices services, DeliverySettings settings, ScheduleRetry scheduleRetry,
                  QObject* parent = nullptr);

    // Connects and starts sending the archives of `run`; returns at once. The run must
    // outlive the delivery's work.
    void start(backup::RunState& run);
    void abortClient() override;

private:
    bool clientConnected() const override;
    void sendQuit() override;
    void connectAgain() override;
    void logDisconnected() override;

    void clientRequestDone(protocols::SmtpRequest request, int errorCode);
    void clientDisplay(const QString& line);

    void sendNextOrLogOff();
    void sendCurrentFile();
    void dataDone();

    protocols::SmtpClient client_;
    QString host_;
    bool authenticate_ = false;
};

} // namespace stowline::net
