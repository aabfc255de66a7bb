#include "net/ReportMailer.h"

#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/DeliveryCommon.h"

namespace stowline::net {

namespace {
constexpr qsizetype kStampLength = 19;

// Error reports wait while a mail goes out, so that the client is never entered twice.
class ErrorReportHold {
public:
    explicit ErrorReportHold(core::EventLog& log) : log_(log) { log_.holdErrorReports(); }
    ~ErrorReportHold() { log_.releaseErrorReports(); }
    ErrorReportHold(const ErrorReportHold&) = delete;
    ErrorReportHold& operator=(const ErrorReportHold&) = delete;

private:
    core::EventLog& log_;
};

QDateTime stampOf(const QString& line, const QDateTime& now) {
    const qsizetype open = line.indexOf(QLatin1Char('['));
    if (open < 0)
        return now;
    const QDateTime stamp = QDateTime::fromString(line.mid(open + 1, kStampLength),
                                                  QLatin1String(core::kHistoryTimeFormat));
    return stamp.isValid() ? stamp : now;
}
} // namespace

QStringList BuildLogReportText(const QStringList& logLines, int hours, const QDateTime& now,
                               const core::MessageTable& messages) {
    QStringList text;
    text.prepend(QStringLiteral("Stowline for WinRAR, v.%1 (%2).")
                     .arg(QLatin1String(core::kVersionText), QLatin1String(core::kBuildDateText)));
    text.prepend(QStringLiteral("--"));
    text.prepend(QString());
    if (logLines.isEmpty()) {
        text.append(messages.text(u"logtoemaillogempty"));
        return text;
    }
    const QDateTime from = now.addMSecs(-qint64(hours) * 60 * 60 * 1000);
    int errors = 0;
    for (qsizetype i = logLines.size() - 1; i >= 0; --i) {
        const QString& line = logLines.at(i);
        if (stampOf(line, now) < from)
            break;
        if (core::EventLog::isErrorMessage(line))
            ++errors;
        text.prepend(line);
    }
    text.prepend(QString());
    text.prepend(errors > 0 ? QString::number(errors) + messages.text(u"logtoemailwaserr")
                            : messages.text(u"logtoemailnoerr"));
    text.prepend(messages.text(u"logtoemailperiodof") + backup::formatHistoryStamp(from) +
                 QStringLiteral("- ") + backup::formatHistoryStamp(now) + QLatin1Char('.'));
    text.prepend(core::formatMessage(messages.text(u"logtoemailsubj"), {QString::number(hours)}));
    return text;
}

ReportMailer::ReportMailer(core::ProgramFlags& flags, const core::topt& options,
                           const core::MessageTable& messages, core::EventLog& log,
                           const core::Clock& clock, protocols::CurlDriver& driver)
    : flags_(flags), options_(options), messages_(messages), log_(log), clock_(clock),
      ssmtperr(driver) {}

bool ReportMailer::SendErrorReport(const QString& line) {
    log_.WriteLog(messages_.text(u"emailreportsend"));
    core::OperationScope operation(flags_);
    prepare(messages_.text(u"swlerrorreport"), {line});
    return openMailQuit();
}

bool ReportMailer::SendLogByEmail(int hours) {
    const QString& recipient = options_.sto;
    log_.WriteLog(messages_.text(u"logtoemailsending") + recipient);
    core::OperationScope operation(flags_);
    const QString subject =
        core::formatMessage(messages_.text(u"logtoemailsubj"), {QString::number(hours)});
    prepare(subject, BuildLogReportText(log_.model().lines(), hours, clock_.now(), messages_));
    return openMailQuit();
}

void ReportMailer::prepare(const QString& subject, const QStringList& textLines) {
    ssmtperr.setTimeoutSeconds(timeoutSeconds_);
    setUpSmtpClient(ssmtperr, {.server = options_.ssr,
                               .sender = options_.sfm,
                               .recipient = options_.sto,
                               .userName = options_.sur,
                               .password = options_.spd,
                               .tlsMode = options_.sss});
    ssmtperr.setSubject(subject);
    ssmtperr.setTextLines(textLines);
}

bool ReportMailer::openMailQuit() {
    ErrorReportHold hold(log_);
    const bool sent = ssmtperr.open() && ssmtperr.mail();
    if (!ssmtperr.quit() && !ssmtperr.errorMessage().isEmpty())
        log_.WriteLog(ssmtperr.errorMessage());
    return sent;
}

} // namespace stowline::net
