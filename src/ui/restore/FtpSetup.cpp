#include "ui/restore/FtpSetup.h"

#include "net/DeliveryCommon.h"
#include "protocols/FtpClient.h"

namespace stowline::ui {

namespace {
// The password of an anonymous log-in, as the upload sends it.
const QString kAnonymousPassword = QStringLiteral("stowline@localhost.invalid");
} // namespace

void setUpFtpClient(protocols::FtpClient& client, const FtpFields& fields,
                    const RestoreFtpSettings& settings) {
    const net::HostAndPort address = net::splitHostPort(fields.server, QStringLiteral("ftp"));
    client.setHost(address.host);
    client.setPort(address.port);
    const bool anonymous = fields.user.isEmpty() && fields.password.isEmpty();
    client.setUserName(anonymous ? QStringLiteral("anonymous") : fields.user);
    client.setPassword(anonymous ? kAnonymousPassword : fields.password);
    client.setRemoteFolder(fields.folder);
    client.setPassive(!fields.activeMode);
    client.setImageMode(true);
    client.setTlsMode(net::ftpTlsMode(fields.tlsMode));
    client.setTimeoutSeconds(settings.timeoutSeconds);
    client.setStallTimeoutSeconds(settings.stallSeconds);
    if (!settings.trustedCertificate.isEmpty())
        client.setTrustedCertificate(settings.trustedCertificate);
}

} // namespace stowline::ui
