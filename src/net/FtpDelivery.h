#pragma once

#include "net/FtpCleaner.h"
#include "net/RetryingDelivery.h"
#include "protocols/FtpClient.h"
#include "protocols/HttpClient.h"

#include <QElapsedTimer>
#include <QTimer>

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

// The FTP post-action of a backup run: uploads every archive of the run to the preset's
// server, runs the FTP cleaner before or after the uploads, and records the uploads in
// the delivery history (.hst) and the cleaner history (.lgf). Asynchronous: every
// completion of the client comes to clientRequestDone, which makes the next request. The
// run waits while FtpBusy is set.
class FtpDelivery final : public RetryingDelivery {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpDelivery)
public:
    FtpDelivery(DeliveryServices services, DeliverySettings settings, ScheduleRetry scheduleRetry,
                QObject* parent = nullptr);

    // Connects and starts the uploads of `run`; returns at once. The run must outlive
    // the delivery's work.
    void start(backup::RunState& run);
    void abortClient() override;
    // Uploads made so far stay recorded and names the cleaner did not delete stay in its
    // history.
    void endAborted() override;

private:
    bool clientConnected() const override;
    void sendQuit() override;
    void connectAgain() override;
    void logDisconnected() override;
    void deliveryGivenUp() override;
    void deliveryAborted() override;

    void clientRequestDone(protocols::FtpRequest request, int errorCode);
    // A request failed: logs it and takes the failure path, or says that the sequence
    // goes on (a 550, or the control connection closed after the final QUIT was sent).
    bool goesOnAfterError(protocols::FtpRequest request, int errorCode);
    void makeNextRequest(protocols::FtpRequest request, int errorCode);
    void uploadProgress(qint64 bytes);
    void stallWatchdogFired();

    void loggedIn();
    void typeSet();
    void deleDone(int errorCode);
    void putDone(int errorCode);
    void finalQuitFailed(const QString& message);
    void uploadCurrentOrFinish();
    void allUploaded();
    void startUpload(const QString& name);
    void runCleaner();
    void deleteNextOldUpload();
    void finishConnection();
    void failurePath(int errorCode);
    void recordUploads();
    QString historyLocation(const QString& name) const;

    protocols::FtpClient client_;
    protocols::HttpClient http_;
    QTimer stallWatchdog_;
    FtpCleaner cleaner_;

    QString host_;
    QString port_;
    bool uploadsRecorded_ = false; // sentNames_ went into the cleaner history
    QString lastError_;
    bool finalQuitSent_ = false;
    bool lastUploadOk_ = false; // kept between runs
    QElapsedTimer lastProgress_;
};

} // namespace stowline::net
