#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

namespace stowline::protocols {

// Follows a control connection (FTP or SMTP) through libcurl's debug output: which
// commands went out, in order, and the final reply line each one got. libcurl runs
// several protocol steps in one transfer; this is what tells them apart.
class ReplyTracker {
public:
    struct Step {
        QByteArray verb;      // upper-case command word; empty for the server's greeting
        int reply = 0;        // final reply code, 0 while none arrived
        QByteArray replyLine; // that reply's last line, without the line end
    };

    // A new step began (a command went out); continuation lines of AUTH do not count.
    std::function<void(const Step&)> stepBegan;
    // Every line in either direction, with credentials masked, for progress displays.
    std::function<void(const QByteArray& line, bool outgoing)> lineSeen;

    void reset();
    void sent(QByteArrayView data);
    void received(QByteArrayView data);

    const std::vector<Step>& steps() const { return steps_; }
    // The last final reply code of the exchange, 0 when none arrived.
    int lastReply() const { return lastReply_; }

private:
    void sentLine(QByteArray line);
    void receivedLine(QByteArray line);

    std::vector<Step> steps_{Step{}};
    int lastReply_ = 0;
    bool expectContinuation_ = false;
};

} // namespace stowline::protocols
