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

EmailDelivery::EmailDelivery(DeliveryServices services, DeliverySettings settings,
                             ScheduleRetry scheduleRetry, QObject* parent)
    : RetryingDelivery(services, settings, std::move(scheduleRetry), &backup::RunState::SmtpBusy,
                       {u"smtptryingagain", u"smtpcancelnomoreretr", u"smtpcancelnoreit"}, parent),
      sSmtp(services.driver) {
    sSmtp.setTimeoutSeconds(settings_.smtpReplySeconds);
    if (!settings_.trustedCertificate.isEmpty())
        sSmtp.setTrustedCertificate(settings_.trustedCertificate);
    connect(&sSmtp, &protocols::SmtpClient::requestDone, this, &EmailDelivery::sSmtpRequestDone);
    connect(&sSmtp, &protocols::SmtpClient::display, this, &EmailDelivery::sSmtpDisplay);
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
    const backup::tarcopt& preset = run.preset;
    sSmtp.setAttachments({});
    sSmtp.setTextLines({});
    sSmtp.setRecipients({preset.sto});
    sSmtp.setSender(preset.sfr);
    sSmtp.setHeaderFrom(preset.sfr);
    sSmtp.setHeaderTo(preset.sto);
    const HostAndPort address = splitHostPort(preset.sse, QStringLiteral("25"));
    host_ = address.host;
    sSmtp.setHost(address.host);
    sSmtp.setPort(address.port);
    authenticate_ = !preset.sus.isEmpty();
    sSmtp.setUserName(authenticate_ ? preset.sus : QString());
    sSmtp.setPassword(authenticate_ ? preset.spa : QString());
    sSmtp.setAuth(authenticate_ ? protocols::SmtpAuth::Automatic : protocols::SmtpAuth::None);
    sSmtp.setTlsMode(smtpTlsMode(preset.sss));

    restartOperationTimer(run, services_.options.tsm, settings_.minute);
    presetLog(text(u"smtpconnectingto") + preset.sse + QLatin1Char('.'));
    beginAttempts();
    sSmtp.openAsync();
}

void EmailDelivery::connectAgain() {
    presetLog(text(u"smtpconnectingto") + host_ + QLatin1Char('.'));
    sSmtp.connectAsync();
}

bool EmailDelivery::clientConnected() const { return sSmtp.isConnected(); }

void EmailDelivery::sendQuit() { sSmtp.quitAsync(); }

void EmailDelivery::abortClient() { sSmtp.abort(); }

void EmailDelivery::sSmtpDisplay(const QString&) {
    if (services_.flags.AbortRequested)
        sSmtp.abort();
}

void EmailDelivery::sSmtpRequestDone(SmtpRequest request, int errorCode) {
    if (!takesCompletion(request == SmtpRequest::Quit))
        return;
    if (errorCode != 0) {
        presetError(text(u"smtperror") + sSmtp.errorMessage());
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
            sSmtp.ehloAsync();
        else
            sSmtp.heloAsync();
        break;
    case SmtpRequest::Ehlo:
        sSmtp.authAsync();
        break;
    case SmtpRequest::Helo:
    case SmtpRequest::Auth:
    case SmtpRequest::Open:
        sendNextOrLogOff();
        break;
    case SmtpRequest::MailFrom:
        sSmtp.rcptToAsync();
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
        sSmtp.mailFromAsync();
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
    sSmtp.setAttachments({run_->runFilePath(name)});
    sSmtp.setSubject(name + QLatin1Char(' ') + text(u"sentbyswl"));
    sSmtp.dataAsync();
}

void EmailDelivery::dataDone() {
    const QString& name = run_->RunFileList.at(currentFile_);
    presetLog(text(u"smtpuploaded") + QStringLiteral(": ") + name);
    histories(services_).recordDelivery(run_->CurrentPresetName, backup::DeliveryKind::Mail,
                                        run_->preset.sto + QLatin1Char('/') + name);
    sentNames_ << name;
    run_->deliveredFiles.insert(name);
    ++currentFile_;
    sendNextOrLogOff();
}

void EmailDelivery::logDisconnected() { presetLog(text(u"smtpdisconnected")); }

} // namespace stowline::net
