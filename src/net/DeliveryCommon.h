#pragma once

#include "protocols/FtpClient.h"
#include "protocols/SmtpClient.h"

#include <QString>

#include <chrono>

namespace stowline::backup {
struct RunState;
}

namespace stowline::net {

struct HostAndPort {
    QString host;
    QString port;
};

// "host:port" is split at the first colon; a text without a colon is all host, with
// `defaultPort`.
HostAndPort splitHostPort(const QString& text, const QString& defaultPort);

// The FTP TLS mode stored in presets (fss); an unknown value is none.
protocols::FtpTlsMode ftpTlsMode(int storedMode);

// The SMTP TLS mode stored in presets and options (sss); an unknown value is none.
protocols::SmtpTlsMode smtpTlsMode(int storedMode);

// Where and as whom messages go out: the SMTP settings of a preset or of the options.
struct MailAccount {
    QString server; // host, optionally followed by ":" and a port
    QString sender;
    QString recipient;
    QString userName; // empty: no authentication
    QString password;
    int tlsMode = 0; // as stored (sss)
};

// Sets `client` up for messages from the sender to the recipient of `account`, without
// attachments or text yet; returns the server's host and port.
HostAndPort setUpSmtpClient(protocols::SmtpClient& client, const MailAccount& account);

// The run's operation time-out: stopped, then started again for `minutes` unless that
// is 0.
void restartOperationTimer(backup::RunState& run, int minutes, std::chrono::milliseconds minute);
void stopOperationTimer(backup::RunState& run);

} // namespace stowline::net
