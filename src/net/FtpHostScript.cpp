#include "net/FtpHostScript.h"

#include "protocols/HttpClient.h"

#include <QRegularExpression>
#include <QStringList>

namespace stowline::net {

namespace {
constexpr qsizetype kMaxHostLength = 253;
} // namespace

bool isFtpHostLine(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^([A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]*"
                       "[A-Za-z0-9])?)*)"
                       "(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || match.capturedLength(1) > kMaxHostLength)
        return false;
    if (!match.hasCaptured(2))
        return true;
    const int port = match.captured(2).toInt();
    return port >= 1 && port <= 65535;
}

std::optional<QString> ResolveFtpHost(protocols::HttpClient& http, const QString& address) {
    const qsizetype question = address.indexOf(QLatin1Char('?'));
    const QString url = question < 0 ? address : address.left(question);
    const QString body = question < 0 ? QString() : address.mid(question + 1);
    const protocols::HttpAnswer answer = http.post(url, body.toUtf8());
    if (!answer.ok || answer.body.isEmpty())
        return std::nullopt;
    const QString firstLine = QString::fromUtf8(answer.body)
                                  .split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))
                                  .first();
    const QString host = firstLine.trimmed();
    if (!isFtpHostLine(host))
        return std::nullopt;
    return host;
}

} // namespace stowline::net
