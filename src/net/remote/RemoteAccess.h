#pragma once

#include "net/remote/RemoteSite.h"
#include "protocols/HttpServer.h"

#include <QHostAddress>
#include <QObject>

namespace stowline::remote {

// The remote-control server: starts and stops listening with the log lines that go
// with it, and hands each request to the site.
class RemoteAccess final : public QObject {
    Q_OBJECT
public:
    // `address` is where the server listens: every address of the machine unless
    // STOWLINE_REMOTE_ADDRESS names one (tests listen on the loopback only).
    explicit RemoteAccess(RemoteServices services, QObject* parent = nullptr);

    // Starts listening on the port of the option rap. Refuses to start without a login
    // name and password: anyone on the network could otherwise run programs here.
    void start();
    void stop();
    bool isRunning() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }

    RemoteSite& site() { return site_; }

    // The listening address from STOWLINE_REMOTE_ADDRESS, or every address.
    static QHostAddress configuredAddress();

private:
    void logUnableToStart(const QString& reason);
    void logAvailability(const QString& portText);

    RemoteServices s_;
    RemoteSite site_;
    protocols::HttpServer server_;
};

} // namespace stowline::remote
