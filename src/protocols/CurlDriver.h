#pragma once

#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <memory>
#include <unordered_map>

class QSocketNotifier;

namespace stowline::protocols {

// Runs libcurl transfers on the event loop of the thread that owns it (the UI thread):
// one multi handle, a QSocketNotifier per socket libcurl asks to watch and one QTimer for
// libcurl's time-outs, all fed to curl_multi_socket_action. No extra threads.
class CurlDriver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CurlDriver)
public:
    // Called once per finished transfer, while the handle is still attached, so that
    // curl_easy_getinfo works; never from inside a libcurl callback. It must not start
    // or cancel transfers itself.
    using Finished = std::function<void(CURLcode result)>;

    explicit CurlDriver(QObject* parent = nullptr);
    ~CurlDriver() override;

    void start(CURL* easy, Finished finished);
    // Detaches a running transfer at once; its Finished callback is not called.
    void cancel(CURL* easy);
    bool isRunning(CURL* easy) const { return running_.contains(easy); }

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int onSocket(CURL* easy, curl_socket_t socket, int what, void* driver, void*);
    static int onTimer(CURLM* multi, long timeoutMs, void* driver);
    void watch(curl_socket_t socket, int what);
    void unwatch(curl_socket_t socket);
    void act(curl_socket_t socket, int events);
    void collectFinished();

    CURLM* multi_ = nullptr;
    QTimer timer_;
    std::unordered_map<curl_socket_t, Watch> watches_;
    std::unordered_map<CURL*, Finished> running_;
};

} // namespace stowline::protocols
