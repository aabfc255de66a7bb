#include "protocols/HttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace stowline::protocols {

QByteArray HttpRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

QByteArray HttpRequest::path() const {
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

QByteArray HttpServer::reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

namespace {

QString clientAddressText(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// The status line and headers; the body follows.
QByteArray replyHead(const QByteArray& version, const HttpReply& reply) {
    QByteArray out = version + ' ' + QByteArray::number(reply.status) + ' ' +
                     HttpServer::reasonPhrase(reply.status) + "\r\n";
    if (!reply.contentType.isEmpty())
        out += "Content-Type: " + reply.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        out += name + ": " + value + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out;
}

HttpReply plainReply(int status) {
    HttpReply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = QByteArray::number(status) + ' ' + HttpServer::reasonPhrase(status) + '\n';
    return reply;
}

} // namespace

qsizetype headEnd(const QByteArray& buffer) {
    const qsizetype crlf = buffer.indexOf("\r\n\r\n");
    const qsizetype lf = buffer.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        return crlf + 4;
    return lf >= 0 ? lf + 2 : -1;
}

ParsedHead parseHead(QByteArrayView head) {
    ParsedHead parsed;
    QList<QByteArray> lines = head.toByteArray().split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QList<QByteArray> requestLine = lines.value(0).split(' ');
    if (requestLine.size() != 3 || requestLine[0].isEmpty() || !requestLine[1].startsWith('/')) {
        parsed.errorStatus = 400;
        return parsed;
    }
    HttpRequest& request = parsed.request;
    request.method = requestLine[0];
    request.target = requestLine[1];
    request.version = requestLine[2];
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") {
        parsed.errorStatus = request.version.startsWith("HTTP/") ? 505 : 400;
        request.version = "HTTP/1.1";
        return parsed;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0) {
            parsed.errorStatus = 400;
            return parsed;
        }
        request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    return parsed;
}

// One client: reads one request, hands it to the handler, sends the reply, closes.
class HttpServer::Connection final : public QObject {
public:
    enum class State { ReadingHead, ReadingBody, Sending, Draining };

    Connection(HttpServer& server, QTcpSocket* socket)
        : QObject(&server), server_(server), socket_(socket) {
        socket_->setParent(this);
        idle_.setSingleShot(true);
        idle_.setInterval(server_.limits_.idleTimeout);
        connect(&idle_, &QTimer::timeout, this, [this] { socket_->abort(); });
        connect(socket_, &QTcpSocket::readyRead, this, &Connection::readAvailable);
        connect(socket_, &QTcpSocket::bytesWritten, this, [this] { idle_.start(); });
        connect(socket_, &QTcpSocket::disconnected, this, &Connection::finish);
        connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
            if (socket_->state() == QAbstractSocket::UnconnectedState)
                finish();
        });
        idle_.start();
        request_.clientAddress = clientAddressText(socket_->peerAddress());
    }

    bool waitsForRequest() const {
        return state_ == State::ReadingHead || state_ == State::ReadingBody;
    }
    void drop() {
        socket_->abort();
        finish();
    }

private:
    void readAvailable() {
        idle_.start();
        if (state_ == State::Draining || state_ == State::Sending) {
            socket_->readAll();
            return;
        }
        buffer_ += socket_->readAll();
        if (state_ == State::ReadingHead)
            readHead();
        if (state_ == State::ReadingBody)
            readBody();
    }

    void readHead() {
        const qsizetype end = headEnd(buffer_);
        const qsizetype limit = server_.limits_.maxHeaderBytes;
        if ((end < 0 && buffer_.size() > limit) || end > limit) {
            refuse(431);
            return;
        }
        if (end < 0)
            return;
        ParsedHead parsed = parseHead(QByteArrayView(buffer_).first(end));
        version_ =
            parsed.request.version.isEmpty() ? QByteArray("HTTP/1.1") : parsed.request.version;
        if (parsed.errorStatus != 0) {
            refuse(parsed.errorStatus);
            return;
        }
        parsed.request.clientAddress = request_.clientAddress;
        request_ = std::move(parsed.request);
        buffer_.remove(0, end);
        if (!request_.header("Transfer-Encoding").isEmpty()) {
            refuse(501);
            return;
        }
        const QByteArray lengthText = request_.header("Content-Length");
        bool valid = true;
        const qlonglong length = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&valid);
        if (!valid || length < 0) {
            refuse(400);
            return;
        }
        if (length > server_.limits_.maxBodyBytes) {
            refuse(413);
            return;
        }
        contentLength_ = length;
        if (buffer_.size() < contentLength_ &&
            request_.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0)
            socket_->write(version_ + " 100 Continue\r\n\r\n");
        state_ = State::ReadingBody;
    }

    void readBody() {
        if (buffer_.size() < contentLength_)
            return;
        request_.body = buffer_.left(contentLength_);
        buffer_.clear();
        send(server_.handler_(request_));
    }

    void send(const HttpReply& reply) {
        state_ = State::Sending;
        afterSent_ = reply.afterSent;
        // Head and body go out separately: a large body is not copied once more.
        socket_->write(replyHead(version_, reply));
        socket_->write(reply.body);
        socket_->disconnectFromHost();
    }

    // Answers with an error and reads whatever the client still sends for a short
    // while before closing: closing with unread data would reset the connection, and
    // the client might never see the answer.
    void refuse(int status) {
        state_ = State::Draining;
        const HttpReply reply = plainReply(status);
        socket_->write(replyHead(version_, reply) + reply.body);
        socket_->readAll();
        QTimer::singleShot(server_.limits_.drainTime, this, [this] {
            if (socket_->state() != QAbstractSocket::UnconnectedState)
                socket_->disconnectFromHost();
        });
    }

    void finish() {
        if (finished_)
            return;
        finished_ = true;
        idle_.stop();
        if (afterSent_)
            QTimer::singleShot(0, &server_, std::move(afterSent_));
        server_.forget(this);
        deleteLater();
    }

    HttpServer& server_;
    QTcpSocket* socket_;
    QTimer idle_;
    State state_ = State::ReadingHead;
    QByteArray buffer_;
    QByteArray version_ = "HTTP/1.1";
    HttpRequest request_;
    qlonglong contentLength_ = 0;
    std::function<void()> afterSent_;
    bool finished_ = false;
};

HttpServer::HttpServer(Handler handler, HttpServerLimits limits, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), limits_(limits) {}

HttpServer::~HttpServer() {
    close();
}

bool HttpServer::listen(const QHostAddress& address, quint16 port) {
    close();
    errorString_.clear();
    addressInUse_ = false;
    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(limits_.maxConnections);
    connect(server_, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
    if (server_->listen(address, port))
        return true;
    errorString_ = server_->errorString();
    addressInUse_ = server_->serverError() == QAbstractSocket::AddressInUseError;
    delete server_;
    server_ = nullptr;
    return false;
}

void HttpServer::close() {
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    while (!connections_.isEmpty())
        connections_.first()->drop();
}

bool HttpServer::isListening() const {
    return server_ && server_->isListening();
}

quint16 HttpServer::serverPort() const {
    return server_ ? server_->serverPort() : 0;
}

void HttpServer::acceptConnections() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        if (connections_.size() >= limits_.maxConnections)
            dropOldestWaiting();
        if (connections_.size() >= limits_.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connections_.append(new Connection(*this, socket));
    }
}

void HttpServer::dropOldestWaiting() {
    for (Connection* connection : std::as_const(connections_)) {
        if (connection->waitsForRequest()) {
            connection->drop();
            return;
        }
    }
}

void HttpServer::forget(Connection* connection) {
    connections_.removeOne(connection);
}

} // namespace stowline::protocols
