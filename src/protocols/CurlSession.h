#pragma once

#include "protocols/ProtocolErrors.h"
#include "protocols/ReplyTracker.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <curl/curl.h>

#include <memory>
#include <set>
#include <vector>

namespace stowline::protocols {

// Settings every transfer of a client shares.
struct TransferLimits {
    // Connecting (with TLS and log-in) and every single server reply.
    int timeoutSeconds = 15;
    // A transfer that moves no byte for this long fails; 0 = never.
    int stallSeconds = 60;
    // PEM certificate to trust instead of the system store, for a self-signed server.
    QString trustedCertificate;
};

// One libcurl easy handle with a connection cache of its own, so that each client keeps
// its own control connection even though every client runs on the same multi handle.
// It records the commands and replies of every transfer and the sockets libcurl holds
// open, and turns a finished transfer into an Outcome.
class CurlSession final {
public:
    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* easy() const { return easy_; }
    ReplyTracker& tracker() { return tracker_; }

    // Clears every option of the previous transfer and sets those all transfers share.
    void prepare(const QByteArray& url, const TransferLimits& limits);
    // Keeps a string list alive for the current transfer and sets it as `option`.
    void setList(CURLoption option, const QList<QByteArray>& items);

    Outcome outcome(CURLcode result) const;

    // A connection (control connection, or data connection during a transfer) is open.
    bool hasOpenConnection() const { return !open_.empty(); }
    // Shuts every socket down at once, without a goodbye to the server. libcurl notices
    // the dead connection on its next use and closes it without waiting for anything.
    void closeConnections();

private:
    static int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* session);
    static int onSocketOpened(void* session, curl_socket_t socket, curlsocktype purpose);
    static int onSocketClosed(void* session, curl_socket_t socket);
    // Closes the sockets libcurl has finished with (see onSocketClosed).
    void closeFinishedSockets();

    CURL* easy_ = nullptr;
    CURLSH* share_ = nullptr;
    ReplyTracker tracker_;
    std::set<curl_socket_t> open_;
    std::vector<curl_socket_t> finished_; // shut down for sending, not yet closed
    std::vector<std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>> lists_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

// Percent-encodes a path for an ftp:// URL, keeping the "/" separators.
QByteArray encodeUrlPath(const QString& path);
// "host" or "[v6 address]" for a URL.
QByteArray urlHost(const QString& host);

} // namespace stowline::protocols
