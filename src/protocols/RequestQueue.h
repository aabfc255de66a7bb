#pragma once

#include "protocols/ProtocolErrors.h"

#include <QByteArrayList>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace stowline::protocols {

// Matches the requests a caller makes to the steps of libcurl transfers and reports
// every request exactly once, in the order the requests were made, always from the
// event loop (never from inside libcurl or from inside the call that made the request).
//
// libcurl runs several protocol steps in one transfer (connect, greeting, TLS, USER,
// PASS; or MAIL, RCPT, DATA). A transfer is described as stages, each the answer to one
// request and begun by the first command with one of its verbs. A stage succeeds once
// the next stage's first command goes out (libcurl only goes on after a good reply) or
// when the transfer succeeds; when the transfer fails, the stage it failed in and every
// later one fail with its outcome.
class RequestQueue final {
public:
    using Report = std::function<void(int request, const Outcome& outcome)>;

    struct Stage {
        int request = 0;
        QByteArrayList beginVerbs; // empty for the first stage
        int alternateRequest = -1; // another request the stage also answers
    };

    // What a caller holds to wait for its request (the synchronous forms).
    struct Ticket {
        int request = 0;
        bool resolved = false;
        bool reported = false;
        Outcome outcome;
    };

    RequestQueue(QObject* context, Report report);

    // The stages of the transfer that is about to start; unclaimed ones of the previous
    // transfer are dropped.
    void beginTransfer(std::vector<Stage> stages);
    // Claims the next stage for `request`; earlier unclaimed stages are passed over
    // silently. Null when the current transfer has no such stage left.
    std::shared_ptr<Ticket> claim(int request);
    // Reports a request that needs no transfer (or was refused).
    std::shared_ptr<Ticket> answer(int request, const Outcome& outcome);
    void commandSent(const QByteArray& verb);
    void finishTransfer(const Outcome& outcome);
    // Ends every pending request with the abort error.
    void abortAll(const Outcome& why = Outcome::aborted());

private:
    struct StageState {
        Stage stage;
        bool resolved = false;
        Outcome outcome;
        std::shared_ptr<Ticket> ticket;
    };

    void resolve(StageState& state, const Outcome& outcome);
    void scheduleFlush();
    void flush();

    QObject* context_;
    Report report_;
    std::vector<StageState> stages_;
    size_t current_ = 0;   // stage the last command belongs to
    size_t nextClaim_ = 0; // first stage a request can still claim
    std::deque<std::shared_ptr<Ticket>> pending_;
    bool flushScheduled_ = false;
};

} // namespace stowline::protocols
