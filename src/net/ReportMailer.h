#pragma once

#include "protocols/SmtpClient.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::protocols {
class CurlDriver;
}

namespace stowline::net {

// The mails the program sends about itself, to the report recipient of the options
// (ssr, sss, sur, spd, sfm, sto): one error report per error line of the event log, and
// the event log of the last hours on request. Each send is synchronous: it waits,
// processing events, at most 30 seconds for each of connecting, sending and logging off.
class ReportMailer final {
public:
    ReportMailer(core::ProgramFlags& flags, const core::topt& options,
                 const core::MessageTable& messages, core::EventLog& log, const core::Clock& clock,
                 protocols::CurlDriver& driver);

    // Mails one complete log line ("[stamp] message"); true when the server took it.
    // The event log calls it for each error line when the option ser is set and logs
    // the outcome itself.
    bool SendErrorReport(const QString& line);

    // Mails the event log lines of the last `hours` hours with a summary (period and
    // number of error lines); true when the server took it. The caller checks that ssr,
    // sfm and sto are set and logs the outcome.
    bool SendLogByEmail(int hours);

    // Mails wait up to this long for each step; 30 seconds by default.
    void setTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
    // Trust this PEM certificate instead of the system store (a self-signed server).
    void setTrustedCertificate(const QString& pemFile) { ssmtperr.setTrustedCertificate(pemFile); }

private:
    void prepare(const QString& subject, const QStringList& textLines);
    bool openMailQuit();

    core::ProgramFlags& flags_;
    const core::topt& options_;
    const core::MessageTable& messages_;
    core::EventLog& log_;
    const core::Clock& clock_;
    protocols::SmtpClient ssmtperr;
    int timeoutSeconds_ = 30;
};

// The text of a log e-mail, top to bottom: the subject line, the period, the number of
// error lines, an empty line, the log lines of the last `hours` hours oldest first, an
// empty line, "--" and the product line. A line whose time stamp cannot be read counts
// as written `now`. For an empty log: an empty line, "--", the product line and
// "Log is empty now.".
QStringList BuildLogReportText(const QStringList& logLines, int hours, const QDateTime& now,
                               const core::MessageTable& messages);

} // namespace stowline::net
