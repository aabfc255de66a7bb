#pragma once

#include "net/DeliveryServices.h"
#include "protocols/SmtpClient.h"

#include <QObject>
#include <QStringList>

#include <functional>

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

// The e-mail post-action of a backup run: every archive of the run goes to the preset's
// recipient as the attachment of a message of its own, all over one connection, and is
// recorded in the delivery history (.hst) and the e-mail history (.lgs). Asynchronous:
// every completion of the client comes to sSmtpRequestDone, which makes the next
// request. The run and the FTP step wait while SmtpBusy is set.
class EmailDelivery final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EmailDelivery)
public:
    // Asks for the shared retry timer to call resumeAfterPause after `milliseconds`.
    using ScheduleRetry = std::function<void(int milliseconds)>;

    EmailDelivery(DeliveryServices services, DeliverySettings settings, ScheduleRetry scheduleRetry,
                  QObject* parent = nullptr);

    // Connects and starts sending the archives of `run`; returns at once. The run must
    // outlive the delivery's work.
    void start(backup::RunState& run);
    // The pause before a retry is over: connect again and go on with the file that
    // failed.
    void resumeAfterPause();
    // Ends the client's connection and pending request at once.
    void abortClient();
    // The run ends as aborted: nothing more is done for it.
    void endAborted();

private:
    void sSmtpRequestDone(protocols::SmtpRequest request, int errorCode);
    void sSmtpDisplay(const QString& line);

    void failed();
    void sendNextOrLogOff();
    void sendCurrentFile();
    void dataDone();
    void quitDone();
    void endDelivery();
    void presetLog(const QString& message);
    QString text(QStringView key) const;

    enum class QuitKind { None, Failure, Final };

    DeliveryServices services_;
    DeliverySettings settings_;
    ScheduleRetry scheduleRetry_;
    protocols::SmtpClient sSmtp;

    backup::RunState* run_ = nullptr;
    bool active_ = false; // completions belong to a delivery that is under way
    QString host_;
    bool authenticate_ = false;
    int CurrentFileIndex = 0;
    int RetriesUsed = 0;
    QStringList SentNames;
    QuitKind pendingQuit_ = QuitKind::None;
    bool resumeWhenQuitDone_ = false;
};

} // namespace stowline::net
