#pragma once

#include "net/DeliveryServices.h"
#include "net/FtpCleaner.h"
#include "protocols/FtpClient.h"
#include "protocols/HttpClient.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

// The FTP post-action of a backup run: uploads every archive of the run to the preset's
// server, runs the FTP cleaner before or after the uploads, and records the uploads in
// the delivery history (.hst) and the cleaner history (.lgf). Asynchronous: every
// completion of the client comes to sftpRequestDone, which makes the next request. The
// run waits while FtpBusy is set.
class FtpDelivery final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpDelivery)
public:
    // Asks for the shared retry timer to call resumeAfterPause after `milliseconds`.
    using ScheduleRetry = std::function<void(int milliseconds)>;

    FtpDelivery(DeliveryServices services, DeliverySettings settings,
                ScheduleRetry scheduleRetry, QObject* parent = nullptr);

    // Connects and starts the uploads of `run`; returns at once. The run must outlive
    // the delivery's work.
    void start(backup::RunState& run);
    // The pause before a retry is over: connect again and go on with the file that
    // failed.
    void resumeAfterPause();
    // Ends the client's connection and pending request at once.
    void abortClient();
    // The run ends as aborted: nothing more is done for it; uploads made so far stay
    // recorded and names the cleaner did not delete stay in its history.
    void endAborted();

    const protocols::FtpClient& client() const { return sftp; }

private:
    enum class QuitKind { None, Failure, Final };

    void sftpRequestDone(protocols::FtpRequest request, int errorCode);
    void sftpProgress64(qint64 bytes);
    void ftpretrytimerTimer();

    void loggedIn();
    void typeSet();
    void deleDone(int errorCode);
    void putDone(int errorCode);
    void quitDone();
    void finalQuitFailed(const QString& message);
    void uploadCurrentOrFinish();
    void allUploaded();
    void startUpload(const QString& name);
    void runCleaner();
    void DeleteNextOldUpload();
    void finishConnection();
    void failurePath(int errorCode);
    void recordUploads();
    void endDelivery();
    QString historyLocation(const QString& name) const;
    void presetLog(const QString& message);
    QString text(QStringView key) const;

    DeliveryServices services_;
    DeliverySettings settings_;
    ScheduleRetry scheduleRetry_;
    protocols::FtpClient sftp;
    protocols::HttpClient http_;
    QTimer ftpretrytimer;
    FtpCleaner cleaner_;

    backup::RunState* run_ = nullptr;
    bool active_ = false;          // completions belong to a delivery that is under way
    QString host_;
    QString port_;
    int CurrentFileIndex = 0;
    int RetriesUsed = 0;
    QStringList SentNames;
    bool uploadsRecorded_ = false; // SentNames went into the cleaner history
    QString LastFtpError;
    bool FtpQuitSent = false;
    bool LastUploadOk = false;     // kept between runs
    QElapsedTimer LastProgressTime;
    QuitKind pendingQuit_ = QuitKind::None;
    bool resumeWhenQuitDone_ = false;
};

} // namespace stowline::net
