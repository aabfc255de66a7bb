#include "protocols/CurlDriver.h"

#include <QSocketNotifier>

namespace stowline::protocols {

CurlDriver::CurlDriver(QObject* parent) : QObject(parent) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlDriver::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlDriver::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlDriver::~CurlDriver() {
    for (auto& [easy, finished] : running_)
        curl_multi_remove_handle(multi_, easy);
    running_.clear();
    curl_multi_cleanup(multi_);
    for (auto& [socket, watch] : watches_) {
        delete watch.read;
        delete watch.write;
    }
    curl_global_cleanup();
}

void CurlDriver::start(CURL* easy, Finished finished) {
    running_[easy] = std::move(finished);
    curl_multi_add_handle(multi_, easy);
}

void CurlDriver::cancel(CURL* easy) {
    if (running_.erase(easy) != 0)
        curl_multi_remove_handle(multi_, easy);
}

int CurlDriver::onSocket(CURL*, curl_socket_t socket, int what, void* driver, void*) {
    auto* self = static_cast<CurlDriver*>(driver);
    if (what == CURL_POLL_REMOVE)
        self->unwatch(socket);
    else
        self->watch(socket, what);
    return 0;
}

int CurlDriver::onTimer(CURLM*, long timeoutMs, void* driver) {
    auto* self = static_cast<CurlDriver*>(driver);
    if (timeoutMs < 0)
        self->timer_.stop();
    else
        self->timer_.start(static_cast<int>(timeoutMs));
    return 0;
}

void CurlDriver::watch(curl_socket_t socket, int what) {
    Watch& watch = watches_[socket];
    const auto ensure = [this, socket](QSocketNotifier*& notifier, QSocketNotifier::Type type,
                                       int events) {
        if (!notifier) {
            notifier = new QSocketNotifier(socket, type, this);
            connect(notifier, &QSocketNotifier::activated, this,
                    [this, socket, events] { act(socket, events); });
        }
    };
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead)
        ensure(watch.read, QSocketNotifier::Read, CURL_CSELECT_IN);
    if (wantWrite)
        ensure(watch.write, QSocketNotifier::Write, CURL_CSELECT_OUT);
    if (watch.read)
        watch.read->setEnabled(wantRead);
    if (watch.write)
        watch.write->setEnabled(wantWrite);
}

void CurlDriver::unwatch(curl_socket_t socket) {
    const auto found = watches_.find(socket);
    if (found == watches_.end())
        return;
    // The notifier may be the one whose signal is being delivered right now.
    for (QSocketNotifier* notifier : {found->second.read, found->second.write}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    watches_.erase(found);
}

void CurlDriver::act(curl_socket_t socket, int events) {
    int stillRunning = 0;
    curl_multi_socket_action(multi_, socket, events, &stillRunning);
    collectFinished();
}

void CurlDriver::collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = running_.find(easy);
        if (found == running_.end())
            continue;
        Finished finished = std::move(found->second);
        running_.erase(found);
        finished(result);
        curl_multi_remove_handle(multi_, easy);
    }
}

} // namespace stowline::protocols
