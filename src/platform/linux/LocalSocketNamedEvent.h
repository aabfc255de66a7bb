#pragma once

#include "platform/NamedEvent.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QSet>
#include <QString>

namespace stowline::platform {

// The socket path of the named event `name` for this user: in $XDG_RUNTIME_DIR, else in
// the temporary folder.
QString namedEventSocketPath(const QString& name);

// The event as a local socket server of the first instance. A sender connects and
// writes one byte: the event is signalled. It stays signalled until a test consumes it
// or until no sender holds a connection any more, as an event object disappears with
// its last holder.
class LocalSocketEventListener final : public QObject, public NamedEventListener {
    Q_OBJECT
public:
    explicit LocalSocketEventListener(const QString& name, QObject* parent = nullptr);
    ~LocalSocketEventListener() override;

    // Starts listening; a socket file left behind by a crashed instance is replaced,
    // which is safe because only the holder of the instance lock listens.
    bool listen();
    QString errorString() const { return server_.errorString(); }

    bool tryConsume() override;

signals:
    // A sender signalled the event; tryConsume() now returns true.
    void signalled();

private:
    void acceptSenders();
    void senderGone(QLocalSocket* socket);

    QString path_;
    QLocalServer server_;
    QSet<QLocalSocket*> senders_;
    bool signalled_ = false;
};

// The sending side: connects to the first instance's server and holds the connection
// until release().
class LocalSocketEventSender final : public NamedEventSender {
public:
    explicit LocalSocketEventSender(const QString& name);
    ~LocalSocketEventSender() override;
    LocalSocketEventSender(const LocalSocketEventSender&) = delete;
    LocalSocketEventSender& operator=(const LocalSocketEventSender&) = delete;

    bool signal() override;
    void release() override;

private:
    QString path_;
    QLocalSocket socket_;
};

} // namespace stowline::platform
