#include "platform/linux/LocalSocketNamedEvent.h"
#include "platform/linux/RuntimeFolder.h"

#include <QDir>

#include <unistd.h>

namespace stowline::platform {

namespace {
constexpr int kConnectMilliseconds = 1000;
// A sender writes a single byte; anything much longer is not a sender of this program.
constexpr qint64 kLargestMessage = 64;

} // namespace

QString namedEventSocketPath(const QString& name) {
    QString safeName = name;
    safeName.replace(QLatin1Char('\\'), QLatin1Char('_'))
        .replace(QLatin1Char('/'), QLatin1Char('_'));
    return runtimeFolder() + QStringLiteral("/%1-%2.socket").arg(safeName).arg(getuid());
}

LocalSocketEventListener::LocalSocketEventListener(const QString& name, QObject* parent)
    : QObject(parent), path_(namedEventSocketPath(name)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &LocalSocketEventListener::acceptSenders);
}

LocalSocketEventListener::~LocalSocketEventListener() {
    for (QLocalSocket* socket : std::as_const(senders_))
        socket->disconnect(this);
}

bool LocalSocketEventListener::listen() {
    if (server_.isListening())
        return true;
    QLocalServer::removeServer(path_);
    return server_.listen(path_);
}

bool LocalSocketEventListener::tryConsume() {
    const bool wasSignalled = signalled_;
    signalled_ = false;
    return wasSignalled;
}

void LocalSocketEventListener::acceptSenders() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        senders_.insert(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray message = socket->read(kLargestMessage + 1);
            if (message.size() > kLargestMessage) {
                socket->abort();
                return;
            }
            if (message.isEmpty())
                return;
            signalled_ = true;
            emit signalled();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { senderGone(socket); });
    }
}

void LocalSocketEventListener::senderGone(QLocalSocket* socket) {
    if (!senders_.remove(socket))
        return;
    socket->deleteLater();
    if (senders_.isEmpty())
        signalled_ = false;
}

LocalSocketEventSender::LocalSocketEventSender(const QString& name)
    : path_(namedEventSocketPath(name)) {}

LocalSocketEventSender::~LocalSocketEventSender() {
    release();
}

bool LocalSocketEventSender::signal() {
    if (socket_.state() != QLocalSocket::ConnectedState) {
        socket_.connectToServer(path_);
        if (!socket_.waitForConnected(kConnectMilliseconds))
            return false;
    }
    socket_.write("1");
    return socket_.waitForBytesWritten(kConnectMilliseconds);
}

void LocalSocketEventSender::release() {
    if (socket_.state() != QLocalSocket::UnconnectedState)
        socket_.abort();
}

} // namespace stowline::platform
