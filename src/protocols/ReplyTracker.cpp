#include "protocols/ReplyTracker.h"

#include <QList>

namespace stowline::protocols {

namespace {

QList<QByteArray> lines(QByteArrayView data) {
    QList<QByteArray> result;
    for (QByteArray line : data.toByteArray().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            result.append(line);
    }
    return result;
}

// "250 ok" is a final reply line, "250-..." a continuation; returns 0 for neither.
int finalReplyCode(const QByteArray& line) {
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return 0;
    if (line.size() > 3 && line[3] != ' ')
        return 0;
    return line.left(3).toInt();
}

} // namespace

void ReplyTracker::reset() {
    steps_.assign(1, Step{});
    lastReply_ = 0;
    expectContinuation_ = false;
}

void ReplyTracker::sent(QByteArrayView data) {
    for (QByteArray& line : lines(data))
        sentLine(std::move(line));
}

void ReplyTracker::received(QByteArrayView data) {
    for (QByteArray& line : lines(data))
        receivedLine(std::move(line));
}

void ReplyTracker::sentLine(QByteArray line) {
    if (expectContinuation_) {
        // An answer to a 334 challenge of AUTH: part of the same step, and a credential.
        expectContinuation_ = false;
        steps_.back().reply = 0;
        if (lineSeen)
            lineSeen("***", true);
        return;
    }
    const qsizetype blank = line.indexOf(' ');
    Step step;
    step.verb = line.left(blank < 0 ? line.size() : blank).toUpper();
    steps_.push_back(step);
    if (lineSeen) {
        if (step.verb == "PASS")
            lineSeen("PASS ***", true);
        else if (step.verb == "AUTH") {
            const QList<QByteArray> words = line.split(' ');
            lineSeen(words.size() > 2 ? words[0] + ' ' + words[1] + " ***" : line, true);
        } else
            lineSeen(line, true);
    }
    if (stepBegan)
        stepBegan(steps_.back());
}

void ReplyTracker::receivedLine(QByteArray line) {
    if (lineSeen)
        lineSeen(line, false);
    const int code = finalReplyCode(line);
    if (code == 0)
        return;
    Step& step = steps_.back();
    step.reply = code;
    step.replyLine = line;
    lastReply_ = code;
    expectContinuation_ = code == 334;
}

} // namespace stowline::protocols
