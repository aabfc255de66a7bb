#include "protocols/CurlSession.h"

#include <QFile>
#include <QUrl>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace stowline::protocols {

namespace {

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The socket error a failed transfer stands for, or 0 when it is not a socket failure.
int socketError(CURLcode result, long osErrno) {
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return errors::kHostNotFound;
    case CURLE_COULDNT_CONNECT:
        switch (osErrno) {
        case ETIMEDOUT:
            return errors::kTimedOut;
        case ENETUNREACH:
            return errors::kNetworkUnreachable;
        case EHOSTUNREACH:
            return errors::kHostUnreachable;
        default:
            return errors::kConnectionRefused;
        }
    case CURLE_OPERATION_TIMEDOUT:
        return errors::kTimedOut;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_FAILED:
        switch (osErrno) {
        case ECONNRESET:
        case EPIPE:
            return errors::kConnectionReset;
        case ETIMEDOUT:
            return errors::kTimedOut;
        default:
            // The server closed the connection without a reply.
            return errors::kConnectionAborted;
        }
    default:
        return 0;
    }
}

bool isTlsFailure(CURLcode result) {
    switch (result) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return true;
    default:
        return false;
    }
}

} // namespace

CurlSession::CurlSession() {
    easy_ = curl_easy_init();
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
}

CurlSession::~CurlSession() {
    // Destroying a client ends its connection at once; a polite QUIT is the client's
    // Quit request, not something to wait for here.
    closeConnections();
    curl_easy_cleanup(easy_);
    curl_share_cleanup(share_);
    closeFinishedSockets();
}

void CurlSession::prepare(const QByteArray& url, const TransferLimits& limits) {
    // The previous transfer is over: its peer has read everything it was sent.
    closeFinishedSockets();
    curl_easy_reset(easy_);
    lists_.clear();
    tracker_.reset();
    errorBuffer_[0] = '\0';
    curl_easy_setopt(easy_, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy_, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    // Informational output (sizes, dates, command answers) is never wanted on stdout.
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L); // feeds the reply tracker
    curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &CurlSession::onDebug);
    curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy_, CURLOPT_SOCKOPTFUNCTION, &CurlSession::onSocketOpened);
    curl_easy_setopt(easy_, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(easy_, CURLOPT_CLOSESOCKETFUNCTION, &CurlSession::onSocketClosed);
    curl_easy_setopt(easy_, CURLOPT_CLOSESOCKETDATA, this);
    const long timeout = limits.timeoutSeconds > 0 ? limits.timeoutSeconds : 15;
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, timeout);
    // Without it a silent server holds a transfer for libcurl's default of 120 s.
    curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    if (limits.stallSeconds > 0) {
        curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallSeconds));
    }
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!limits.trustedCertificate.isEmpty())
        curl_easy_setopt(easy_, CURLOPT_CAINFO,
                         QFile::encodeName(limits.trustedCertificate).constData());
}

void CurlSession::setList(CURLoption option, const QList<QByteArray>& items) {
    curl_slist* list = nullptr;
    for (const QByteArray& item : items)
        list = curl_slist_append(list, item.constData());
    lists_.emplace_back(list, &curl_slist_free_all);
    curl_easy_setopt(easy_, option, list);
}

Outcome CurlSession::outcome(CURLcode result) const {
    if (result == CURLE_OK)
        return {};
    // libcurl says QUIT by itself when it drops a failed connection; the step that failed
    // is the one before.
    const auto& steps = tracker_.steps();
    size_t failed = steps.size() - 1;
    while (failed > 0 && steps[failed].verb == "QUIT")
        --failed;
    const ReplyTracker::Step& step = steps[failed];
    if (step.reply >= 400)
        return {step.reply, QString::fromUtf8(step.replyLine)};
    long osErrno = 0;
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
    const QString detail =
        QString::fromUtf8(errorBuffer_[0] != '\0' ? errorBuffer_ : curl_easy_strerror(result));
    if (const int code = socketError(result, osErrno))
        return {code, QStringLiteral("Socket error #%1 - %2").arg(code).arg(detail)};
    if (isTlsFailure(result))
        return {errors::kTls, detail};
    if (result == CURLE_READ_ERROR || result == CURLE_WRITE_ERROR ||
        result == CURLE_FILE_COULDNT_READ_FILE)
        return {errors::kLocalFile, detail};
    return {errors::kProtocol, detail};
}

void CurlSession::closeConnections() {
    for (curl_socket_t socket : open_)
        ::shutdown(socket, SHUT_RDWR);
    open_.clear();
    closeFinishedSockets();
}

int CurlSession::onDebug(CURL*, curl_infotype type, char* data, size_t size, void* session) {
    auto* self = static_cast<CurlSession*>(session);
    if (type == CURLINFO_HEADER_OUT)
        self->tracker_.sent(QByteArrayView(data, static_cast<qsizetype>(size)));
    else if (type == CURLINFO_HEADER_IN)
        self->tracker_.received(QByteArrayView(data, static_cast<qsizetype>(size)));
    return 0;
}

int CurlSession::onSocketOpened(void* session, curl_socket_t socket, curlsocktype purpose) {
    // Accepted data connections of active mode are closed without the close callback,
    // so only connections libcurl opened itself are tracked.
    if (purpose == CURLSOCKTYPE_IPCXN)
        static_cast<CurlSession*>(session)->open_.insert(socket);
    return CURL_SOCKOPT_OK;
}

int CurlSession::onSocketClosed(void* session, curl_socket_t socket) {
    // The peer learns at once that nothing more comes, but the socket itself stays open
    // until the transfer is over. A socket closed while the peer still sends makes the
    // kernel reset the connection, and a reset destroys what the peer has not read yet:
    // a TLS 1.3 server sends its session tickets on an upload's data connection, often
    // only after libcurl has sent the whole file and closed it, and so lost the end of
    // the file (some servers even answer 226 to that).
    auto* self = static_cast<CurlSession*>(session);
    self->open_.erase(socket);
    ::shutdown(socket, SHUT_WR);
    self->finished_.push_back(socket);
    return 0;
}

void CurlSession::closeFinishedSockets() {
    for (curl_socket_t socket : finished_) {
        // Unread bytes at close would reset the connection after all; a peer that keeps
        // sending gets its reset.
        char sink[16 * 1024];
        for (int i = 0; i < 16 && ::recv(socket, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
        }
        ::close(socket);
    }
    finished_.clear();
}

QByteArray encodeUrlPath(const QString& path) {
    return QUrl::toPercentEncoding(path, "/");
}

QByteArray urlHost(const QString& host) {
    if (host.contains(':'))
        return '[' + host.toLatin1() + ']';
    const QByteArray ace = QUrl::toAce(host);
    return ace.isEmpty() ? host.toUtf8() : ace;
}

} // namespace stowline::protocols
