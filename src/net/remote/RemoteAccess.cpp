#include "net/remote/RemoteAccess.h"

#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "scheduler/ScheduleEntry.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace stowline::remote {

RemoteAccess::RemoteAccess(RemoteServices services, QObject* parent)
    : QObject(parent), s_(services), site_(services),
      server_([this](const protocols::HttpRequest& request) { return site_.handle(request); }) {}

QHostAddress RemoteAccess::configuredAddress() {
    const QString text = qEnvironmentVariable("STOWLINE_REMOTE_ADDRESS");
    const QHostAddress address(text);
    return text.isEmpty() || address.isNull() ? QHostAddress(QHostAddress::Any) : address;
}

void RemoteAccess::start() {
    const core::MessageTable& m = s_.messages;
    if (server_.isListening()) {
        s_.log.WriteLog(m.text(u"httpisrunning"));
        return;
    }
    const QString portText = s_.options.rap;
    s_.log.WriteLog(m.text(u"httpstartingonport") + portText + QLatin1Char('.'));
    if (s_.options.rlo.isEmpty() && s_.options.rpa.isEmpty()) {
        logUnableToStart(m.text(u"httpnocredentials"));
        return;
    }
    const std::optional<qint32> port = scheduler::parseDecimal(portText);
    if (!port || *port < 1 || *port > 65535) {
        logUnableToStart(core::formatMessage(m.text(u"httpbadport"), {portText}));
        return;
    }
    if (!server_.listen(configuredAddress(), static_cast<quint16>(*port))) {
        logUnableToStart(server_.addressInUse()
                             ? core::formatMessage(m.text(u"httpportused"), {portText})
                             : m.text(u"httpword") + QStringLiteral("SocketError: ") +
                                   server_.errorString() + QLatin1Char('.'));
        return;
    }
    s_.log.WriteLog(m.text(u"httpstarted"));
    logAvailability(portText);
}

void RemoteAccess::stop() {
    if (!server_.isListening()) {
        s_.log.WriteLog(s_.messages.text(u"httpnotrunning"));
        return;
    }
    server_.close();
    s_.log.WriteLog(s_.messages.text(u"httpstopped"));
}

void RemoteAccess::logUnableToStart(const QString& reason) {
    s_.log.WriteError(s_.messages.text(u"httpunabletostart"));
    s_.log.WriteError(reason);
}

void RemoteAccess::logAvailability(const QString& portText) {
    const QString portPart =
        portText == QLatin1String("80") ? QString() : QLatin1Char(':') + portText;
    const auto available = [&](const QString& host) {
        s_.log.WriteLog(s_.messages.text(u"httpavailas") + QStringLiteral(" http://") + host +
                        portPart + QLatin1Char('/'));
    };
    available(QHostInfo::localHostName().toLower());
    const QHostAddress listening = configuredAddress();
    const QList<QHostAddress> addresses = listening == QHostAddress(QHostAddress::Any)
                                              ? QNetworkInterface::allAddresses()
                                              : QList<QHostAddress>{listening};
    for (const QHostAddress& address : addresses)
        available(address.protocol() == QAbstractSocket::IPv6Protocol
                      ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                      : address.toString());
}

} // namespace stowline::remote
