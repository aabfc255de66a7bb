#include "shell/BinItemChannel.h"

#include "platform/linux/LocalSocketNamedEvent.h"

#include <QLocalSocket>
#include <QtEndian>

namespace stowline::shell {

namespace {

constexpr int kSenderWaitMs = 10000;
constexpr int kHeaderBytes = 4;

QString channelPath() {
    return platform::namedEventSocketPath(QLatin1String(kBinItemChannelName));
}

} // namespace

BinItemReceiver::BinItemReceiver(QObject* parent) : QObject(parent), path_(channelPath()) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &BinItemReceiver::accept);
}

bool BinItemReceiver::listen() {
    if (server_.isListening())
        return true;
    QLocalServer::removeServer(path_);
    return server_.listen(path_);
}

void BinItemReceiver::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() < kHeaderBytes)
                return;
            uchar header[kHeaderBytes];
            socket->peek(reinterpret_cast<char*>(header), kHeaderBytes);
            const quint32 length = qFromBigEndian<quint32>(header);
            if (length > kLargestBinItemBytes) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < kHeaderBytes + qint64(length))
                return;
            socket->skip(kHeaderBytes);
            const QString text = QString::fromUtf8(socket->read(length));
            emit itemReceived(text);
            socket->write("1", 1);
            socket->flush();
        });
    }
}

bool isBinItemCall(const QStringList& arguments) {
    return !arguments.isEmpty() && (arguments.first() == QLatin1String("/SWL-KEEPER") ||
                                    arguments.first() == QLatin1String("/SWL-RECYCLE"));
}

bool forwardBinItem(const QStringList& arguments) {
    if (!isBinItemCall(arguments) || arguments.size() < 2)
        return false;
    // The sixth character of the switch: "K" or "R".
    const QByteArray text = (arguments.first().mid(5, 1) + arguments.at(1)).toUtf8();
    if (text.size() > kLargestBinItemBytes)
        return false;
    QLocalSocket socket;
    socket.connectToServer(channelPath());
    if (!socket.waitForConnected(kSenderWaitMs))
        return false;
    uchar header[kHeaderBytes];
    qToBigEndian<quint32>(quint32(text.size()), header);
    socket.write(reinterpret_cast<const char*>(header), kHeaderBytes);
    socket.write(text);
    if (!socket.waitForBytesWritten(kSenderWaitMs))
        return false;
    return socket.waitForReadyRead(kSenderWaitMs) && socket.read(1) == "1";
}

} // namespace stowline::shell
