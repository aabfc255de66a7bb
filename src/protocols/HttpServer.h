#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <chrono>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace stowline::protocols {

// One request as the server read it. The body is complete when the handler sees it.
struct HttpRequest {
    QByteArray method;  // "GET", "POST", ... as sent
    QByteArray target;  // the path with its query, as sent
    QByteArray version; // "HTTP/1.1" or "HTTP/1.0"
    // Header lines in the order received, names and values trimmed.
    QList<QPair<QByteArray, QByteArray>> headers;
    QString clientAddress; // an IPv4 address mapped into IPv6 is given as IPv4
    QByteArray body;

    // The first header called `name` (letter case ignored), or empty.
    QByteArray header(const QByteArray& name) const;
    // The target without its query.
    QByteArray path() const;
};

// The end of the request line and headers in `buffer`: the offset after the empty line,
// or -1 while it has not arrived. A bare LF ends lines too.
qsizetype headEnd(const QByteArray& buffer);

// A request line and its headers as read; `errorStatus` is the status the request is
// refused with (400, 505), 0 when it was read.
struct ParsedHead {
    HttpRequest request;
    int errorStatus = 0;
};
ParsedHead parseHead(QByteArrayView head);

// The answer to one request. The server adds Content-Length and "Connection: close".
struct HttpReply {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Runs once the answer has been handed to the network, or the connection was lost:
    // for actions that would end the program or the machine before the answer left.
    std::function<void()> afterSent;
};

// Limits that protect the program, whose one thread also runs the backups.
struct HttpServerLimits {
    qsizetype maxHeaderBytes = 8 * 1024;
    qsizetype maxBodyBytes = 16 * 1024;
    int maxConnections = 64;
    // A connection that sends nothing for this long is closed.
    std::chrono::milliseconds idleTimeout{10000};
    // How long the rest of a refused body is read and dropped before the connection
    // closes, so that the client gets to read the answer.
    std::chrono::milliseconds drainTime{1000};
};

// A small HTTP/1.1 server on the event loop of its thread. It knows no pages: each
// complete request goes to the handler, whose reply is sent, and the connection closes.
// Request lines and headers over the limit get 431, bodies over it 413 (judged from
// Content-Length before reading them), chunked bodies 501; "Expect: 100-continue" is
// answered. When all connections are taken, the one that has waited longest for its
// request is dropped, so slow clients cannot lock the others out.
class HttpServer final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    explicit HttpServer(Handler handler, HttpServerLimits limits = {}, QObject* parent = nullptr);
    ~HttpServer() override;

    // Listens on `address` and `port`; on failure errorString() says why.
    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const;
    quint16 serverPort() const;
    QString errorString() const { return errorString_; }
    bool addressInUse() const { return addressInUse_; }
    int connectionCount() const { return connections_.size(); }

    static QByteArray reasonPhrase(int status);

private:
    class Connection;

    void acceptConnections();
    void dropOldestWaiting();
    void forget(Connection* connection);

    Handler handler_;
    HttpServerLimits limits_;
    QTcpServer* server_ = nullptr;
    QList<Connection*> connections_; // oldest first
    QString errorString_;
    bool addressInUse_ = false;
};

} // namespace stowline::protocols
