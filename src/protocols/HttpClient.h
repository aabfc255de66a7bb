#pragma once

#include "protocols/CurlSession.h"

#include <QByteArray>
#include <QString>

namespace stowline::protocols {

class CurlDriver;

struct HttpAnswer {
    bool ok = false; // the request went through and the status was 2xx
    int status = 0;  // HTTP status, 0 when none arrived
    QByteArray body; // at most the client's answer limit
    QString error;   // why it failed; empty when ok
};

// Synchronous HTTP(S) POST: waits, processing events, until the answer is in or the
// time-out has passed. The answer is bounded in size; redirects are not followed.
class HttpClient final {
public:
    explicit HttpClient(CurlDriver& driver);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The whole request, connecting included; 15 s by default.
    void setTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
    // A longer answer fails the request; 64 KiB by default.
    void setMaxAnswerBytes(qsizetype bytes) { maxAnswerBytes_ = bytes; }
    // Trust this PEM certificate instead of the system store.
    void setTrustedCertificate(const QString& pemFile) { trustedCertificate_ = pemFile; }

    // Sends `body` as application/x-www-form-urlencoded to an http:// or https:// URL.
    HttpAnswer post(const QString& url, const QByteArray& body);

private:
    static size_t collect(char* data, size_t size, size_t count, void* client);

    CurlDriver& driver_;
    CurlSession session_;
    int timeoutSeconds_ = 15;
    qsizetype maxAnswerBytes_ = 64 * 1024;
    QString trustedCertificate_;
    QByteArray answer_;
    bool tooLong_ = false;
};

} // namespace stowline::protocols
