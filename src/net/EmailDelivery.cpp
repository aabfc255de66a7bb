#include "net/EmailDelivery.h"

#include "backup/PresetFiles.h"
#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/DeliveryCommon.h"

namespace stowline::net {

using protocols::SmtpRequest;

namespace {
MailAccount accountOf(const backup::tarcopt& preset) {
    return {.server = preset.sse,
            .sender = preset.sfr,
            .recipient = preset.sto,
            .userName = preset.sus,
            .password = preset.spa,
            .tlsMode = preset.sss};
}
} // namespace

EmailDelivery::EmailDelivery(DeliveryServices services, DeliverySettings settings,
                             ScheduleRetry scheduleRetry, QObject* parent)
    : RetryingDelivery(services, settings, std::move(scheduleRetry), &backup::RunState::SmtpBusy,
                       {u"smtptryingagain", u"smtpcancelnomoreretr", u"smtpcancelnoreit"},
                       backup::RunProgress::Phase::Email, parent),
      client_(services.driver) {
    client_.setTimeoutSeconds(settings_.smtpReplySeconds);
    if (!settings_.trustedCertificate.isEmpty())
        client_.setTrustedCertificate(settings_.trustedCertificate);
    connect(&client_, &protocols::SmtpClient::requestDone, this, &EmailDelivery::clientRequestDone);
    connect(&client_, &protocols::SmtpClient::display, this, &EmailDelivery::clientDisplay);
    connect(&client_, &protocols::SmtpClient::progress, this, &EmailDelivery::reportProgress);
}

void EmailDelivery::start(backup::RunState& run) {
    run_ = &run;
    run.RetryWaiting = false;
    // An abort that came before is served by the run's wait, with its grace period.
    if (services_.flags.AbortRequested)
        return;
    if (run.RunFileList.isEmpty()) {
        presetError(text(u"smtpnofiles"));
        run.SmtpBusy = false;
        return;
    }
    run.SmtpBusy = true;
    const MailAccount account = accountOf(run.preset);
    host_ = setUpSmtpClient(client_, account).host;
    authenticate_ = !account.userName.isEmpty();

    const int sendTimeoutMinutes = services_.options.tsm;
    restartOperationTimer(run, sendTimeoutMinutes, settings_.minute);
    presetLog(text(u"smtpconnectingto") + account.server + QLatin1Char('.'));
    beginAttempts();
    client_.openAsync();
}

void EmailDelivery::connectAgain() {
    presetLog(text(u"smtpconnectingto") + host_ + QLatin1Char('.'));
    client_.connectAsync();
}

bool EmailDelivery::clientConnected() const {
    return client_.isConnected();
}

void EmailDelivery::sendQuit() {
    client_.quitAsync();
}

void EmailDelivery::abortClient() {
    client_.abort();
}

void EmailDelivery::clientDisplay(const QString&) {
    if (services_.flags.AbortRequested)
        client_.abort();
}

void EmailDelivery::clientRequestDone(SmtpRequest request, int errorCode) {
    if (!takesCompletion(request == SmtpRequest::Quit))
        return;
    if (errorCode != 0) {
        presetError(text(u"smtperror") + client_.errorMessage());
        if (request == SmtpRequest::Quit && finalQuitPending()) {
            // Every message was accepted and recorded: the delivery is complete,
            // whatever the goodbye went like.
            endAfterFailedFinalQuit();
            return;
        }
        // Every error is worth a retry; unlike FTP there is no refused log-in exception.
        failed(true);
        return;
    }

    switch (request) {
    case SmtpRequest::Connect:
        if (authenticate_)
            client_.ehloAsync();
        else
            client_.heloAsync();
        break;
    case SmtpRequest::Ehlo:
        client_.authAsync();
        break;
    case SmtpRequest::Helo:
    case SmtpRequest::Auth:
    case SmtpRequest::Open:
        sendNextOrLogOff();
        break;
    case SmtpRequest::MailFrom:
        client_.rcptToAsync();
        break;
    case SmtpRequest::RcptTo:
        sendCurrentFile();
        break;
    case SmtpRequest::Data:
        dataDone();
        break;
    case SmtpRequest::Quit:
        quitDone();
        break;
    }
}

void EmailDelivery::sendNextOrLogOff() {
    // A retry after the last message finds nothing left to send and logs off.
    if (currentFile_ < run_->RunFileList.size()) {
        client_.mailFromAsync();
        return;
    }
    presetLog(text(u"smtploggingoff"));
    stopOperationTimer(*run_);
    histories(services_).recordForCleaner(run_->CurrentPresetName, sentNames_,
                                          backup::CleanerHistory::Mail);
    sendFinalQuit();
}

void EmailDelivery::sendCurrentFile() {
    const QString& name = run_->RunFileList.at(currentFile_);
    presetLog(text(u"smtpupload") + QLatin1Char(' ') + name + QLatin1Char('.'));
    client_.setAttachments({run_->runFilePath(name)});
    client_.setSubject(name + QLatin1Char(' ') + text(u"sentbyswl"));
    client_.dataAsync();
}

void EmailDelivery::dataDone() {
    const QString& name = run_->RunFileList.at(currentFile_);
    presetLog(text(u"smtpuploaded") + QStringLiteral(": ") + name);
    const QString& recipient = run_->preset.sto;
    histories(services_).recordDelivery(run_->CurrentPresetName, backup::DeliveryKind::Mail,
                                        recipient + QLatin1Char('/') + name);
    sentNames_ << name;
    run_->deliveredFiles.insert(name);
    ++currentFile_;
    sendNextOrLogOff();
}

void EmailDelivery::logDisconnected() {
    presetLog(text(u"smtpdisconnected"));
}

} // namespace stowline::net
