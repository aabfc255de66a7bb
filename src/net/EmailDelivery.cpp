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
    : QObject(parent), services_(services), settings_(settings),
      scheduleRetry_(std::move(scheduleRetry)), sSmtp(services.driver) {
    sSmtp.setTimeoutSeconds(settings_.smtpReplySeconds);
    if (!settings_.trustedCertificate.isEmpty())
        sSmtp.setTrustedCertificate(settings_.trustedCertificate);
    connect(&sSmtp, &protocols::SmtpClient::requestDone, this, &EmailDelivery::sSmtpRequestDone);
    connect(&sSmtp, &protocols::SmtpClient::display, this, &EmailDelivery::sSmtpDisplay);
}

QString EmailDelivery::text(QStringView key) const { return services_.messages.text(key); }

void EmailDelivery::presetLog(const QString& message) { services_.log.WritePresetLog(message); }

void EmailDelivery::start(backup::RunState& run) {
    run_ = &run;
    run.RetryWaiting = false;
    // An abort that came before is served by the run's wait, with its grace period.
    if (services_.flags.AbortRequested)
        return;
    if (run.RunFileList.isEmpty()) {
        presetLog(text(u"smtpnofiles") + kErrorMark);
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
    CurrentFileIndex = 0;
    RetriesUsed = 0;
    SentNames.clear();
    pendingQuit_ = QuitKind::None;
    resumeWhenQuitDone_ = false;
    active_ = true;
    sSmtp.openAsync();
}

void EmailDelivery::resumeAfterPause() {
    if (!active_)
        return;
    if (pendingQuit_ == QuitKind::Failure) {
        // The connection of the failed attempt is still being closed.
        resumeWhenQuitDone_ = true;
        return;
    }
    presetLog(text(u"smtpconnectingto") + host_ + QLatin1Char('.'));
    sSmtp.connectAsync();
}

void EmailDelivery::abortClient() { sSmtp.abort(); }

void EmailDelivery::endAborted() {
    if (!active_)
        return;
    pendingQuit_ = QuitKind::None;
    resumeWhenQuitDone_ = false;
    endDelivery();
}

void EmailDelivery::endDelivery() {
    active_ = false;
    if (run_)
        run_->SmtpBusy = false;
}

void EmailDelivery::sSmtpDisplay(const QString&) {
    if (services_.flags.AbortRequested)
        sSmtp.abort();
}

void EmailDelivery::sSmtpRequestDone(SmtpRequest request, int errorCode) {
    if (!active_)
        return;
    if (services_.flags.AbortRequested) {
        sSmtp.abort();
        return;
    }
    if (request == SmtpRequest::Quit && pendingQuit_ == QuitKind::Failure) {
        // This QUIT only closes the connection of a failure that is already handled:
        // whatever it answers is no further failure.
        quitDone();
        return;
    }
    if (errorCode != 0) {
        presetLog(text(u"smtperror") + sSmtp.errorMessage() + kErrorMark);
        if (request == SmtpRequest::Quit && pendingQuit_ == QuitKind::Final) {
            // Every message was accepted and recorded: the delivery is complete,
            // whatever the goodbye went like.
            pendingQuit_ = QuitKind::None;
            endDelivery();
            return;
        }
        failed();
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

void EmailDelivery::failed() {
    if (sSmtp.isConnected()) {
        pendingQuit_ = QuitKind::Failure;
        sSmtp.quitAsync();
    }
    const core::topt& options = services_.options;
    if (options.fre) {
        // Every error is worth a retry; unlike FTP there is no refused log-in exception.
        if (RetriesUsed < options.fti) {
            ++RetriesUsed;
            presetLog(core::formatMessage(text(u"smtptryingagain"), {QString::number(options.fin)}) +
                      QStringLiteral(" (%1/%2).").arg(RetriesUsed).arg(options.fti));
            scheduleRetry_(options.fin * 1000);
            return;
        }
        presetLog(text(u"smtpcancelnomoreretr") + kErrorMark);
    } else {
        presetLog(text(u"smtpcancelnoreit") + kErrorMark);
    }
    stopOperationTimer(*run_);
    // With a QUIT under way the delivery ends when it is answered, so that its line
    // comes before the run goes on.
    if (pendingQuit_ == QuitKind::None)
        endDelivery();
}

void EmailDelivery::sendNextOrLogOff() {
    // A retry after the last message finds nothing left to send and logs off.
    if (CurrentFileIndex < run_->RunFileList.size()) {
        sSmtp.mailFromAsync();
        return;
    }
    presetLog(text(u"smtploggingoff"));
    stopOperationTimer(*run_);
    histories(services_).recordForCleaner(run_->CurrentPresetName, SentNames,
                                          backup::CleanerHistory::Mail);
    pendingQuit_ = QuitKind::Final;
    sSmtp.quitAsync();
}

void EmailDelivery::sendCurrentFile() {
    const QString& name = run_->RunFileList.at(CurrentFileIndex);
    presetLog(text(u"smtpupload") + QLatin1Char(' ') + name + QLatin1Char('.'));
    sSmtp.setAttachments({run_->runFilePath(name)});
    sSmtp.setSubject(name + QLatin1Char(' ') + text(u"sentbyswl"));
    sSmtp.dataAsync();
}

void EmailDelivery::dataDone() {
    const QString& name = run_->RunFileList.at(CurrentFileIndex);
    presetLog(text(u"smtpuploaded") + QStringLiteral(": ") + name);
    histories(services_).recordDelivery(run_->CurrentPresetName, backup::DeliveryKind::Mail,
                                        run_->preset.sto + QLatin1Char('/') + name);
    SentNames << name;
    run_->deliveredFiles.insert(name);
    ++CurrentFileIndex;
    sendNextOrLogOff();
}

void EmailDelivery::quitDone() {
    pendingQuit_ = QuitKind::None;
    presetLog(text(u"smtpdisconnected"));
    if (resumeWhenQuitDone_) {
        resumeWhenQuitDone_ = false;
        resumeAfterPause();
        return;
    }
    if (!run_->RetryWaiting)
        endDelivery();
}

} // namespace stowline::net
