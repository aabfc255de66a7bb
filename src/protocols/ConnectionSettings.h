#pragma once

#include "protocols/CurlSession.h"

#include <QString>

#include <utility>

namespace stowline::protocols {

// Where and how a client connects: the setters the FTP and SMTP clients share.
class ConnectionSettings {
public:
    void setHost(const QString& host) { host_ = host; }
    // A port number, or the protocol's service name ("ftp", "smtp") or nothing for its
    // standard port.
    void setPort(const QString& port) { port_ = port; }
    void setUserName(const QString& userName) { userName_ = userName; }
    void setPassword(const QString& password) { password_ = password; }
    // Trust this PEM certificate (for example a server's self-signed one) instead of the
    // system store. Certificates are always verified.
    void setTrustedCertificate(const QString& pemFile) { limits_.trustedCertificate = pemFile; }
    // Connecting, each server reply and each synchronous form; 0 or less: the client's
    // default.
    void setTimeoutSeconds(int seconds) { limits_.timeoutSeconds = seconds; }

protected:
    ConnectionSettings(QString standardPort, TransferLimits defaults)
        : port_(std::move(standardPort)), limits_(std::move(defaults)),
          defaultTimeoutSeconds_(limits_.timeoutSeconds) {}

    int timeoutSeconds() const {
        return limits_.timeoutSeconds > 0 ? limits_.timeoutSeconds : defaultTimeoutSeconds_;
    }

    QString host_;
    QString port_;
    QString userName_;
    QString password_;
    TransferLimits limits_;

private:
    int defaultTimeoutSeconds_;
};

} // namespace stowline::protocols
