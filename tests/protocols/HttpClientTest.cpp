#include "TestSupport.h"

#include "protocols/CurlDriver.h"
#include "protocols/HttpClient.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace stowline::protocols::test {
namespace {

class HttpClientTest : public testing::Test {
protected:
    QString url(const char* path) const {
        return QString("http://127.0.0.1:%1%2").arg(server_.port()).arg(path);
    }

    FixtureServer server_{"http_server.py", {}};
    CurlDriver driver_;
    HttpClient client_{driver_};
};

TEST_F(HttpClientTest, PostsFormBodyAndReturnsAnswer) {
    const HttpAnswer answer = client_.post(url("/echo"), "preset=Docs&x=1");
    ASSERT_TRUE(answer.ok) << answer.error.toStdString();
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "application/x-www-form-urlencoded|preset=Docs&x=1");
}

TEST_F(HttpClientTest, FailuresAreReported) {
    EXPECT_FALSE(client_.post(url("/missing"), {}).ok);
    client_.setMaxAnswerBytes(1024);
    const HttpAnswer big = client_.post(url("/big"), {});
    EXPECT_FALSE(big.ok);
    EXPECT_TRUE(big.body.isEmpty());
    EXPECT_FALSE(client_.post(QString("http://127.0.0.1:%1/").arg(closedPort()), {}).ok);
    EXPECT_FALSE(client_.post("ftp://127.0.0.1/", {}).ok);
}

// A server that never answers: the call returns after the time-out, and events go on.
TEST_F(HttpClientTest, TimesOutWhileEventsGoOn) {
    client_.setTimeoutSeconds(1);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    const HttpAnswer answer = client_.post(url("/slow"), "a=b");
    EXPECT_FALSE(answer.ok);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_GE(ticks, 5);
    // The client is usable again at once.
    EXPECT_TRUE(client_.post(url("/echo"), "again").ok);
}

} // namespace
} // namespace stowline::protocols::test
