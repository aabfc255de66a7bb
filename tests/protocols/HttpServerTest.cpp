#include "protocols/HttpServer.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace stowline::protocols {
namespace {

bool processEventsUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A client on the loopback that sends raw bytes and collects everything until the
// server closes.
struct RawClient {
    explicit RawClient(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        processEventsUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    void send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    QByteArray awaitClose(int milliseconds = 5000) {
        processEventsUntil([this] { return closed; }, milliseconds);
        return received;
    }
    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
};

class HttpServerTest : public ::testing::Test {
protected:
    void startServer(HttpServerLimits limits = {}) {
        server = std::make_unique<HttpServer>(
            [this](const HttpRequest& request) {
                requests.push_back(request);
                HttpReply reply;
                reply.body = "seen " + request.method + ' ' + request.target + ' ' +
                             QByteArray::number(request.body.size());
                reply.afterSent = [this] { ++afterSentRuns; };
                return reply;
            },
            limits);
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0))
            << server->errorString().toStdString();
    }
    QByteArray exchange(const QByteArray& request) {
        RawClient client(server->serverPort());
        client.send(request);
        return client.awaitClose();
    }

    std::unique_ptr<HttpServer> server;
    std::vector<HttpRequest> requests;
    int afterSentRuns = 0;
};

TEST_F(HttpServerTest, AnswersOneRequestAndCloses) {
    startServer();
    const QByteArray answer =
        exchange("GET /log.htm?x=1 HTTP/1.0\r\nHost: a\r\nAuthorization: Basic Og==\r\n\r\n");
    EXPECT_EQ(answer, "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                      "Content-Length: 23\r\nConnection: close\r\n\r\nseen GET /log.htm?x=1 0");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path(), "/log.htm");
    EXPECT_EQ(requests[0].header("authorization"), "Basic Og==");
    EXPECT_EQ(requests[0].clientAddress, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(processEventsUntil([this] { return afterSentRuns == 1; }));
}

TEST_F(HttpServerTest, RefusesWhatItWillNotRead) {
    startServer();
    struct Case {
        const char* name;
        QByteArray request;
        QByteArray statusLine;
    };
    const Case cases[] = {
        {"body read whole", "POST /f HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcde",
         "HTTP/1.1 200 OK"},
        {"headers over 8 KiB", "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"headers over 8 KiB, unfinished", "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a'),
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"body over 16 KiB", "POST /f HTTP/1.1\r\nContent-Length: 16385\r\n\r\n",
         "HTTP/1.1 413 Content Too Large"},
        {"chunked body",
         "POST /f HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n",
         "HTTP/1.1 501 Not Implemented"},
        {"bad length", "POST /f HTTP/1.1\r\nContent-Length: 1x\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {"garbage", "HELLO\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"other version", "GET / HTTP/2.0\r\n\r\n", "HTTP/1.1 505 HTTP Version Not Supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray answer = exchange(c.request);
        EXPECT_EQ(answer.left(answer.indexOf("\r\n")), c.statusLine);
        EXPECT_TRUE(answer.contains("\r\nConnection: close\r\n"));
    }
    EXPECT_EQ(requests.size(), 1u) << "only the good request reaches the handler";
}

TEST_F(HttpServerTest, LargeBodyIsRefusedUnreadAndTheServerStaysUsable) {
    startServer();
    RawClient big(server->serverPort());
    big.send("POST /cgi-bin/command HTTP/1.1\r\nContent-Length: 8388608\r\n\r\n");
    big.send(QByteArray(256 * 1024, 'x'));
    const QByteArray answer = big.awaitClose();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413 ")) << answer.constData();
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(exchange("GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}

TEST_F(HttpServerTest, AnswersExpectContinueBeforeTheBody) {
    startServer();
    RawClient client(server->serverPort());
    client.send("POST /f HTTP/1.1\r\nContent-Length: 3\r\nExpect: 100-continue\r\n\r\n");
    ASSERT_TRUE(processEventsUntil([&] { return client.received.contains("\r\n\r\n"); }));
    EXPECT_EQ(client.received, "HTTP/1.1 100 Continue\r\n\r\n");
    client.send("abc");
    EXPECT_TRUE(client.awaitClose().endsWith("seen POST /f 3"));
}

TEST_F(HttpServerTest, SlowClientsDoNotLockOthersOut) {
    HttpServerLimits limits;
    limits.maxConnections = 16;
    startServer(limits);
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 100; ++i) {
        slow.push_back(std::make_unique<RawClient>(server->serverPort()));
        slow.back()->send("GET / HTTP/1.1\r\nX-Slow: ");
    }
    EXPECT_TRUE(exchange("GET /fast HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    EXPECT_LE(server->connectionCount(), limits.maxConnections);
}

TEST_F(HttpServerTest, SilentConnectionsAreClosed) {
    HttpServerLimits limits;
    limits.idleTimeout = std::chrono::milliseconds(200);
    startServer(limits);
    RawClient silent(server->serverPort());
    silent.send("GET / HTTP/1.1\r\n");
    EXPECT_TRUE(processEventsUntil([&] { return silent.closed; }, 3000));
    EXPECT_TRUE(requests.empty());
}

TEST_F(HttpServerTest, ReportsWhyItCannotListen) {
    startServer();
    HttpServer second([](const HttpRequest&) { return HttpReply{}; });
    EXPECT_FALSE(second.listen(QHostAddress::LocalHost, server->serverPort()));
    EXPECT_TRUE(second.addressInUse());
    EXPECT_FALSE(second.errorString().isEmpty());
    EXPECT_FALSE(second.isListening());
}

} // namespace
} // namespace stowline::protocols
