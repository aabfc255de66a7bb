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

bool cleanerOn(const backup::tarcopt& preset) {
    return preset.fco;
}
// The FTP cleaner runs after the uploads; before them when off.
bool cleanerAfterUploads(const backup::tarcopt& preset) {
    return preset.fca;
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
                       {u"ftptryingagain", u"ftpcancelnomoreretr", u"ftpcancelnoreit"},
                       backup::RunProgress::Phase::Ftp, parent),
      client_(services.driver), http_(services.driver),
      cleaner_(services.folders.presets, services.clock) {
    client_.setTimeoutSeconds(settings_.ftpReplySeconds);
    if (!settings_.trustedCertificate.isEmpty())
        client_.setTrustedCertificate(settings_.trustedCertificate);
    http_.setTimeoutSeconds(settings_.hostScriptSeconds);
    http_.setMaxAnswerBytes(4096);
    stallWatchdog_.setSingleShot(true);
    stallWatchdog_.setInterval(settings_.stallWatchdog);
    connect(&client_, &protocols::FtpClient::requestDone, this, &FtpDelivery::clientRequestDone);
    connect(&client_, &protocols::FtpClient::progress, this, &FtpDelivery::uploadProgress);
    connect(&stallWatchdog_, &QTimer::timeout, this, &FtpDelivery::stallWatchdogFired);
}

void FtpDelivery::start(backup::RunState& run) {
    run_ = &run;
    if (run.RunFileList.isEmpty()) {
        presetError(text(u"ftpnofiles"));
        return;
    }
    run.FtpBusy = true;
    const backup::tarcopt& preset = run.preset;
    const QString& userName = preset.fus;
    const QString& password = preset.fpa;
    const bool anonymous = userName.isEmpty() && password.isEmpty();
    client_.setUserName(anonymous ? QStringLiteral("anonymous") : userName);
    client_.setPassword(anonymous ? kAnonymousPassword : password);

    const QString& server = preset.fse;
    QString hostText = server;
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
    client_.setHost(host_);
    client_.setPort(port_);
    client_.setImageMode(true);
    const bool activeMode = preset.fac;
    const QString& remoteFolder = preset.ffo;
    const int storedTlsMode = preset.fss;
    client_.setPassive(!activeMode);
    client_.setRemoteFolder(remoteFolder);
    client_.setTlsMode(ftpTlsMode(storedTlsMode));

    const int uploadTimeoutMinutes = services_.options.tft;
    restartOperationTimer(run, uploadTimeoutMinutes, settings_.minute);
    beginAttempts();
    uploadsRecorded_ = false;
    lastProgress_.invalidate();
    presetLog(text(u"ftpconnectingto") + hostText + QLatin1Char('.'));
    finalQuitSent_ = false;
    client_.connectAsync();
}

void FtpDelivery::connectAgain() {
    presetLog(text(u"ftpconnectingto") + host_ + QLatin1Char('.'));
    finalQuitSent_ = false;
    client_.openAsync();
}

bool FtpDelivery::clientConnected() const {
    return client_.isConnected();
}

void FtpDelivery::sendQuit() {
    client_.quitAsync();
}

void FtpDelivery::abortClient() {
    client_.abort();
}

void FtpDelivery::endAborted() {
    stallWatchdog_.stop();
    RetryingDelivery::endAborted();
}

void FtpDelivery::deliveryAborted() {
    cleaner_.keepUnsettled();
    recordUploads();
}

void FtpDelivery::clientRequestDone(FtpRequest request, int errorCode) {
    if (!takesCompletion(request == FtpRequest::Quit))
        return;
    if (errorCode != 0 && !goesOnAfterError(request, errorCode))
        return;
    makeNextRequest(request, errorCode);
}

bool FtpDelivery::goesOnAfterError(FtpRequest request, int errorCode) {
    const QString message = client_.errorMessage();
    if (socketErrorOf(message) == QLatin1String("10053") && finalQuitSent_) {
        lastError_ = message;
        presetLog(text(u"ftpctrlconnclosed"));
        if (client_.isConnected())
            client_.quitAsync();
        run_->FtpBusy = false;
        return true;
    }
    if (request == FtpRequest::Quit && finalQuitSent_) {
        finalQuitFailed(message);
        return false;
    }
    if (errorCode == kReplyFileUnavailable)
        return true;
    lastError_ = message;
    presetError(text(u"ftperror") + message);
    failurePath(errorCode);
    return false;
}

void FtpDelivery::makeNextRequest(FtpRequest request, int errorCode) {
    switch (request) {
    case FtpRequest::Open:
        lastProgress_.invalidate();
        client_.userAsync();
        break;
    case FtpRequest::User:
        client_.passAsync();
        break;
    case FtpRequest::Pass:
    case FtpRequest::Connect:
        loggedIn();
        break;
    case FtpRequest::Cwd:
        // After a 550 the uploads go to the folder the server is in.
        client_.typeSetAsync();
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
    const QString& folder = client_.remoteFolder();
    if (folder.isEmpty()) {
        client_.typeSetAsync();
        return;
    }
    presetLog(text(u"ftpchangingfolder") + QStringLiteral(" \"") + folder + QStringLiteral("\"."));
    client_.cwdAsync();
}

void FtpDelivery::typeSet() {
    const backup::tarcopt& preset = run_->preset;
    if (cleanerOn(preset) && !cleanerAfterUploads(preset)) {
        runCleaner();
        if (!cleaner_.isEmpty()) {
            deleteNextOldUpload();
            return;
        }
    }
    uploadCurrentOrFinish();
}

void FtpDelivery::runCleaner() {
    const backup::tarcopt& preset = run_->preset;
    // The limit counts the newest uploads to keep, or the days they are kept.
    const bool keepsCount = preset.fcm == 0;
    const int limit = preset.fcv;
    const int count = keepsCount ? limit : 0;
    const int days = keepsCount ? 0 : limit;
    cleaner_.select(run_->CurrentPresetName, count, days, sentNames_);
}

void FtpDelivery::deleteNextOldUpload() {
    if (cleaner_.isEmpty())
        return;
    const QString name = cleaner_.first();
    presetLog(text(u"ftpcleanerdelete") + name + QLatin1Char('.'));
    client_.setRemoteFileName(name);
    client_.deleAsync();
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
        deleteNextOldUpload();
        return;
    }
    cleaner_.keepUnsettled();
    if (cleanerAfterUploads(run_->preset))
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
    if (cleanerOn(preset) && cleanerAfterUploads(preset)) {
        runCleaner();
        if (!cleaner_.isEmpty()) {
            deleteNextOldUpload();
            return;
        }
    }
    finishConnection();
}

void FtpDelivery::startUpload(const QString& name) {
    presetLog(text(u"ftpupload") + QStringLiteral(" \"") + name + QStringLiteral("\"."));
    client_.setRemoteFileName(name);
    client_.setLocalFileName(run_->runFilePath(name));
    stallWatchdog_.start();
    client_.putAsync();
}

void FtpDelivery::uploadProgress(qint64 bytes) {
    if (!active_)
        return;
    // The watchdog runs exactly while an upload is under way: a count that arrives after
    // its upload ended belongs to no file.
    if (stallWatchdog_.isActive())
        reportProgress(bytes);
    if (lastProgress_.isValid() && lastProgress_.elapsed() <= kProgressRearmMilliseconds)
        return;
    stallWatchdog_.start();
    lastProgress_.start();
}

void FtpDelivery::stallWatchdogFired() {
    stallWatchdog_.stop();
    if (!client_.isConnected())
        return;
    presetError(QStringLiteral("FTP Server is hanging, aborting the transfer"));
    // The pending upload now ends with an error and takes the failure path.
    client_.abort();
}

void FtpDelivery::putDone(int errorCode) {
    stallWatchdog_.stop();
    // libcurl accepts 226 and 250 as the end of a good transfer; so does the delivery.
    const int reply = client_.lastReplyCode();
    lastUploadOk_ = reply == 226 || reply == 250;
    const QString name = client_.remoteFileName();
    if (errorCode != 0 || !lastUploadOk_) {
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
    const QString& folder = client_.remoteFolder();
    const QString folderPart =
        folder.isEmpty() ? QStringLiteral("/") : QLatin1Char('/') + folder + QLatin1Char('/');
    return host_ + QLatin1Char(':') + port + folderPart + name;
}

void FtpDelivery::finishConnection() {
    recordUploads();
    finalQuitSent_ = true;
    sendFinalQuit();
    stallWatchdog_.stop();
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
    if (lastUploadOk_)
        presetLog(text(u"ftpdisconnected"));
    else
        presetError(text(u"ftpdisconnectedwitherror") + lastError_);
}

void FtpDelivery::finalQuitFailed(const QString& message) {
    // Every file is on the server and recorded: the delivery is complete, whatever the
    // goodbye went like.
    lastError_ = message;
    presetError(text(u"ftpdisconnectedwitherror") + message);
    endAfterFailedFinalQuit();
}

void FtpDelivery::failurePath(int errorCode) {
    stallWatchdog_.stop();
    cleaner_.keepUnsettled();
    // A refused log-in stays refused.
    failed(errorCode != kReplyNotLoggedIn);
}

void FtpDelivery::deliveryGivenUp() {
    recordUploads();
}

} // namespace stowline::net
