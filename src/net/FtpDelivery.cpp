#include "net/FtpDelivery.h"

#include "backup/PresetFiles.h"
#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/DeliveryCommon.h"
#include "net/FtpHostScript.h"

namespace stowline::net {

using protocols::FtpRequest;

namespace {
// The password of an anonymous log-in: by custom an e-mail address.
const QString kAnonymousPassword = QStringLiteral("stowline@localhost.invalid");
// Progress re-arms the stall watchdog at most this often (0.0001 day).
constexpr qint64 kProgressRearmMilliseconds = 8640;
constexpr int kReplyNotLoggedIn = 530;
constexpr int kReplyFileUnavailable = 550;

protocols::FtpTlsMode tlsMode(int fss) {
    switch (fss) {
    case 1:
        return protocols::FtpTlsMode::AuthTls;
    case 2:
        return protocols::FtpTlsMode::AuthSsl;
    case 3:
        return protocols::FtpTlsMode::Implicit;
    default:
        return protocols::FtpTlsMode::None;
    }
}

// The five characters after the first "#" of a client error text: a socket error number.
QString socketErrorOf(const QString& message) {
    const qsizetype hash = message.indexOf(QLatin1Char('#'));
    return hash < 0 ? QString() : message.mid(hash + 1, 5);
}
} // namespace

FtpDelivery::FtpDelivery(DeliveryServices services, DeliverySettings settings,
                         ScheduleRetry scheduleRetry, QObject* parent)
    : RetryingDelivery(services, settings, std::move(scheduleRetry), &backup::RunState::FtpBusy,
                       {u"ftptryingagain", u"ftpcancelnomoreretr", u"ftpcancelnoreit"}, parent),
      sftp(services.driver), http_(services.driver),
      cleaner_(services.folders.presets, services.clock) {
    sftp.setTimeoutSeconds(settings_.ftpReplySeconds);
    if (!settings_.trustedCertificate.isEmpty())
        sftp.setTrustedCertificate(settings_.trustedCertificate);
    http_.setTimeoutSeconds(settings_.hostScriptSeconds);
    http_.setMaxAnswerBytes(4096);
    ftpretrytimer.setSingleShot(true);
    ftpretrytimer.setInterval(settings_.stallWatchdog);
    connect(&sftp, &protocols::FtpClient::requestDone, this, &FtpDelivery::sftpRequestDone);
    connect(&sftp, &protocols::FtpClient::progress, this, &FtpDelivery::sftpProgress64);
    connect(&ftpretrytimer, &QTimer::timeout, this, &FtpDelivery::ftpretrytimerTimer);
}

void FtpDelivery::start(backup::RunState& run) {
    run_ = &run;
    if (run.RunFileList.isEmpty()) {
        presetError(text(u"ftpnofiles"));
        return;
    }
    run.FtpBusy = true;
    const backup::tarcopt& preset = run.preset;
    const bool anonymous = preset.fus.isEmpty() && preset.fpa.isEmpty();
    sftp.setUserName(anonymous ? QStringLiteral("anonymous") : preset.fus);
    sftp.setPassword(anonymous ? kAnonymousPassword : preset.fpa);

    QString hostText = preset.fse;
    if (hostText.startsWith(QLatin1String("http://"))) {
        const std::optional<QString> resolved = ResolveFtpHost(http_, hostText);
        if (!resolved) {
            presetError(text(u"couldntgetftphost"));
            run.FtpBusy = false;
            return;
        }
        hostText = *resolved;
    }
    const HostAndPort address = splitHostPort(hostText, QStringLiteral("ftp"));
    host_ = address.host;
    port_ = address.port;
    sftp.setHost(host_);
    sftp.setPort(port_);
    sftp.setImageMode(true);
    sftp.setPassive(!preset.fac);
    sftp.setRemoteFolder(preset.ffo);
    sftp.setTlsMode(tlsMode(preset.fss));

    restartOperationTimer(run, services_.options.tft, settings_.minute);
    beginAttempts();
    uploadsRecorded_ = false;
    LastProgressTime.invalidate();
    presetLog(text(u"ftpconnectingto") + hostText + QLatin1Char('.'));
    FtpQuitSent = false;
    sftp.connectAsync();
}

void FtpDelivery::connectAgain() {
    presetLog(text(u"ftpconnectingto") + host_ + QLatin1Char('.'));
    FtpQuitSent = false;
    sftp.openAsync();
}

bool FtpDelivery::clientConnected() const { return sftp.isConnected(); }

void FtpDelivery::sendQuit() { sftp.quitAsync(); }

void FtpDelivery::abortClient() { sftp.abort(); }

void FtpDelivery::endAborted() {
    ftpretrytimer.stop();
    RetryingDelivery::endAborted();
}

void FtpDelivery::deliveryAborted() {
    cleaner_.keepUnsettled();
    recordUploads();
}

void FtpDelivery::sftpRequestDone(FtpRequest request, int errorCode) {
    if (!takesCompletion(request == FtpRequest::Quit))
        return;
    const QString message = sftp.errorMessage();
    if (errorCode != 0 && socketErrorOf(message) == QLatin1String("10053") && FtpQuitSent) {
        LastFtpError = message;
        presetLog(text(u"ftpctrlconnclosed"));
        if (sftp.isConnected())
            sftp.quitAsync();
        run_->FtpBusy = false;
    } else if (errorCode != 0 && request == FtpRequest::Quit && FtpQuitSent) {
        finalQuitFailed(message);
        return;
    } else if (errorCode != 0 && errorCode != kReplyFileUnavailable) {
        LastFtpError = message;
        presetError(text(u"ftperror") + message);
        failurePath(errorCode);
        return;
    }

    switch (request) {
    case FtpRequest::Open:
        LastProgressTime.invalidate();
        sftp.userAsync();
        break;
    case FtpRequest::User:
        sftp.passAsync();
        break;
    case FtpRequest::Pass:
    case FtpRequest::Connect:
        loggedIn();
        break;
    case FtpRequest::Cwd:
        // After a 550 the uploads go to the folder the server is in.
        sftp.typeSetAsync();
        break;
    case FtpRequest::TypeSet:
        typeSet();
        break;
    case FtpRequest::Dele:
        deleDone(errorCode);
        break;
    case FtpRequest::Put:
        putDone(errorCode);
        break;
    case FtpRequest::Quit:
        quitDone();
        break;
    default:
        presetError(text(u"ftpunknownreq") + QString::number(static_cast<int>(request)));
        break;
    }
}

void FtpDelivery::loggedIn() {
    const QString& folder = sftp.remoteFolder();
    if (folder.isEmpty()) {
        sftp.typeSetAsync();
        return;
    }
    presetLog(text(u"ftpchangingfolder") + QStringLiteral(" \"") + folder + QStringLiteral("\"."));
    sftp.cwdAsync();
}

void FtpDelivery::typeSet() {
    const backup::tarcopt& preset = run_->preset;
    if (preset.fco && !preset.fca) {
        runCleaner();
        if (!cleaner_.isEmpty()) {
            DeleteNextOldUpload();
            return;
        }
    }
    uploadCurrentOrFinish();
}

void FtpDelivery::runCleaner() {
    const backup::tarcopt& preset = run_->preset;
    const int count = preset.fcm == 0 ? preset.fcv : 0;
    const int days = preset.fcm == 0 ? 0 : preset.fcv;
    cleaner_.select(run_->CurrentPresetName, count, days, sentNames_);
}

void FtpDelivery::DeleteNextOldUpload() {
    if (cleaner_.isEmpty())
        return;
    const QString name = cleaner_.first();
    presetLog(text(u"ftpcleanerdelete") + name + QLatin1Char('.'));
    sftp.setRemoteFileName(name);
    sftp.deleAsync();
}

void FtpDelivery::deleDone(int errorCode) {
    const QString name = cleaner_.first();
    // 550: the file is not there (any more); the cleaner goes on with the next name.
    if (errorCode != 0)
        presetError(text(u"ftpcleanercannotdelete") + name + QLatin1Char('.'));
    else
        presetLog(text(u"ftpcleanerdeleted") + name + QLatin1Char('.'));
    cleaner_.firstSettled();
    if (!cleaner_.isEmpty()) {
        DeleteNextOldUpload();
        return;
    }
    cleaner_.keepUnsettled();
    if (run_->preset.fca)
        finishConnection();
    else
        uploadCurrentOrFinish();
}

void FtpDelivery::uploadCurrentOrFinish() {
    // A retry after the last upload (a failed cleaner DELE) finds nothing left to send.
    if (currentFile_ < run_->RunFileList.size())
        startUpload(run_->RunFileList.at(currentFile_));
    else
        allUploaded();
}

void FtpDelivery::allUploaded() {
    const backup::tarcopt& preset = run_->preset;
    if (preset.fco && preset.fca) {
        runCleaner();
        if (!cleaner_.isEmpty()) {
            DeleteNextOldUpload();
            return;
        }
    }
    finishConnection();
}

void FtpDelivery::startUpload(const QString& name) {
    presetLog(text(u"ftpupload") + QStringLiteral(" \"") + name + QStringLiteral("\"."));
    sftp.setRemoteFileName(name);
    sftp.setLocalFileName(run_->runFilePath(name));
    ftpretrytimer.start();
    sftp.putAsync();
}

void FtpDelivery::sftpProgress64(qint64) {
    if (!active_)
        return;
    if (LastProgressTime.isValid() && LastProgressTime.elapsed() <= kProgressRearmMilliseconds)
        return;
    ftpretrytimer.start();
    LastProgressTime.start();
}

void FtpDelivery::ftpretrytimerTimer() {
    ftpretrytimer.stop();
    if (!sftp.isConnected())
        return;
    presetError(QStringLiteral("FTP Server is hanging, aborting the transfer"));
    // The pending upload now ends with an error and takes the failure path.
    sftp.abort();
}

void FtpDelivery::putDone(int errorCode) {
    ftpretrytimer.stop();
    // libcurl accepts 226 and 250 as the end of a good transfer; so does the delivery.
    const int reply = sftp.lastReplyCode();
    LastUploadOk = reply == 226 || reply == 250;
    const QString name = sftp.remoteFileName();
    if (errorCode != 0 || !LastUploadOk) {
        presetError(text(u"ftpcantupload") + QStringLiteral(" \"") + name + QStringLiteral("\"."));
        failurePath(errorCode);
        return;
    }
    presetLog(text(u"ftpuploaded") + QStringLiteral(" \"") + name + QStringLiteral("\"."));
    sentNames_ << name;
    run_->deliveredFiles.insert(name);
    histories(services_).recordDelivery(run_->CurrentPresetName, backup::DeliveryKind::Ftp,
                                        historyLocation(name));
    ++currentFile_;
    uploadCurrentOrFinish();
}

QString FtpDelivery::historyLocation(const QString& name) const {
    const QString port = port_ == QLatin1String("ftp") ? QStringLiteral("21") : port_;
    const QString& folder = sftp.remoteFolder();
    const QString folderPart =
        folder.isEmpty() ? QStringLiteral("/") : QLatin1Char('/') + folder + QLatin1Char('/');
    return host_ + QLatin1Char(':') + port + folderPart + name;
}

void FtpDelivery::finishConnection() {
    recordUploads();
    FtpQuitSent = true;
    sendFinalQuit();
    ftpretrytimer.stop();
}

void FtpDelivery::recordUploads() {
    // Also the uploads of a delivery that ends half-way: the cleaner must find them.
    if (uploadsRecorded_ || sentNames_.isEmpty())
        return;
    histories(services_).recordForCleaner(run_->CurrentPresetName, sentNames_,
                                          backup::CleanerHistory::Ftp);
    uploadsRecorded_ = true;
}

void FtpDelivery::logDisconnected() {
    if (LastUploadOk)
        presetLog(text(u"ftpdisconnected"));
    else
        presetError(text(u"ftpdisconnectedwitherror") + LastFtpError);
}

void FtpDelivery::finalQuitFailed(const QString& message) {
    // Every file is on the server and recorded: the delivery is complete, whatever the
    // goodbye went like.
    LastFtpError = message;
    presetError(text(u"ftpdisconnectedwitherror") + message);
    endAfterFailedFinalQuit();
}

void FtpDelivery::failurePath(int errorCode) {
    ftpretrytimer.stop();
    cleaner_.keepUnsettled();
    // A refused log-in stays refused.
    failed(errorCode != kReplyNotLoggedIn);
}

void FtpDelivery::deliveryGivenUp() { recordUploads(); }

} // namespace stowline::net
