#include "net/DeliveryCommon.h"

#include "backup/RunState.h"

#include <QTimer>

namespace stowline::net {

HostAndPort splitHostPort(const QString& text, const QString& defaultPort) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, defaultPort};
    return {text.left(colon), text.mid(colon + 1)};
}

protocols::FtpTlsMode ftpTlsMode(int storedMode) {
    switch (storedMode) {
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

protocols::SmtpTlsMode smtpTlsMode(int storedMode) {
    switch (storedMode) {
    case 1:
        return protocols::SmtpTlsMode::Implicit;
    case 2:
        return protocols::SmtpTlsMode::Explicit;
    default:
        return protocols::SmtpTlsMode::None;
    }
}

HostAndPort setUpSmtpClient(protocols::SmtpClient& client, const MailAccount& account) {
    client.setAttachments({});
    client.setTextLines({});
    client.setRecipients({account.recipient});
    client.setSender(account.sender);
    client.setHeaderFrom(account.sender);
    client.setHeaderTo(account.recipient);
    const HostAndPort address = splitHostPort(account.server, QStringLiteral("25"));
    client.setHost(address.host);
    client.setPort(address.port);
    const bool authenticate = !account.userName.isEmpty();
    client.setUserName(authenticate ? account.userName : QString());
    client.setPassword(authenticate ? account.password : QString());
    client.setAuth(authenticate ? protocols::SmtpAuth::Automatic : protocols::SmtpAuth::None);
    client.setTlsMode(smtpTlsMode(account.tlsMode));
    return address;
}

void restartOperationTimer(backup::RunState& run, int minutes, std::chrono::milliseconds minute) {
    if (!run.Optimer)
        return;
    run.Optimer->stop();
    if (minutes != 0)
        run.Optimer->start(minute * minutes);
}

void stopOperationTimer(backup::RunState& run) {
    if (run.Optimer)
        run.Optimer->stop();
}

} // namespace stowline::net
