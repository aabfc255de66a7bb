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
// completion of the client comes to sftpRequestDone, which makes the next request. The
// run waits while FtpBusy is set.
class FtpDelivery final : public RetryingDelivery {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpDelivery)
public:
    FtpDelivery(DeliveryServices services, DeliverySettings settings,
                ScheduleRetry scheduleRetry, QObject* parent = nullptr);

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

    void sftpRequestDone(protocols::FtpRequest request, int errorCode);
    void sftpProgress64(qint64 bytes);
    void ftpretrytimerTimer();

    void loggedIn();
    void typeSet();
    void deleDone(int errorCode);
    void putDone(int errorCode);
    void finalQuitFailed(const QString& message);
    void uploadCurrentOrFinish();
    void allUploaded();
    void startUpload(const QString& name);
    void runCleaner();
    void DeleteNextOldUpload();
    void finishConnection();
    void failurePath(int errorCode);
    void recordUploads();
    QString historyLocation(const QString& name) const;

    protocols::FtpClient sftp;
    protocols::HttpClient http_;
    QTimer ftpretrytimer;
    FtpCleaner cleaner_;

    QString host_;
    QString port_;
    bool uploadsRecorded_ = false; // sentNames_ went into the cleaner history
    QString LastFtpError;
    bool FtpQuitSent = false;
    bool LastUploadOk = false;     // kept between runs
    QElapsedTimer LastProgressTime;
};

} // namespace stowline::net
