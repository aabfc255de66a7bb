#include "protocols/RequestQueue.h"

#include <QPointer>

namespace stowline::protocols {

RequestQueue::RequestQueue(QObject* context, Report report)
    : context_(context), report_(std::move(report)) {}

void RequestQueue::beginTransfer(std::vector<Stage> stages) {
    stages_.clear();
    for (Stage& stage : stages)
        stages_.push_back(StageState{std::move(stage), false, {}, nullptr});
    current_ = 0;
    nextClaim_ = 0;
}

std::shared_ptr<RequestQueue::Ticket> RequestQueue::claim(int request) {
    for (size_t i = nextClaim_; i < stages_.size(); ++i) {
        StageState& state = stages_[i];
        if (state.stage.request != request && state.stage.alternateRequest != request)
            continue;
        nextClaim_ = i + 1;
        state.ticket = std::make_shared<Ticket>();
        state.ticket->request = request;
        pending_.push_back(state.ticket);
        if (state.resolved)
            resolve(state, state.outcome);
        return state.ticket;
    }
    return nullptr;
}

std::shared_ptr<RequestQueue::Ticket> RequestQueue::answer(int request, const Outcome& outcome) {
    auto ticket = std::make_shared<Ticket>();
    ticket->request = request;
    ticket->resolved = true;
    ticket->outcome = outcome;
    pending_.push_back(ticket);
    scheduleFlush();
    return ticket;
}

void RequestQueue::commandSent(const QByteArray& verb) {
    for (size_t next = current_ + 1; next < stages_.size(); ++next) {
        if (!stages_[next].stage.beginVerbs.contains(verb))
            continue;
        for (size_t i = current_; i < next; ++i)
            if (!stages_[i].resolved)
                resolve(stages_[i], {});
        current_ = next;
        return;
    }
}

void RequestQueue::finishTransfer(const Outcome& outcome) {
    for (size_t i = 0; i < stages_.size(); ++i)
        if (!stages_[i].resolved)
            resolve(stages_[i], i < current_ ? Outcome{} : outcome);
}

void RequestQueue::abortAll(const Outcome& why) {
    for (StageState& state : stages_)
        if (!state.resolved)
            resolve(state, why);
    stages_.clear();
    current_ = nextClaim_ = 0;
    for (const auto& ticket : pending_) {
        if (!ticket->resolved) {
            ticket->resolved = true;
            ticket->outcome = why;
        }
    }
    scheduleFlush();
}

void RequestQueue::resolve(StageState& state, const Outcome& outcome) {
    state.resolved = true;
    state.outcome = outcome;
    if (state.ticket && !state.ticket->resolved) {
        state.ticket->resolved = true;
        state.ticket->outcome = outcome;
        scheduleFlush();
    }
}

void RequestQueue::scheduleFlush() {
    if (flushScheduled_)
        return;
    flushScheduled_ = true;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            flushScheduled_ = false;
            flush();
        },
        Qt::QueuedConnection);
}

void RequestQueue::flush() {
    // A handler may make new requests, abort, or wait synchronously (and so flush again
    // from a nested event loop); each ticket leaves the queue before it is reported.
    const QPointer<QObject> alive(context_);
    while (!pending_.empty() && pending_.front()->resolved) {
        std::shared_ptr<Ticket> ticket = std::move(pending_.front());
        pending_.pop_front();
        ticket->reported = true;
        report_(ticket->request, ticket->outcome);
        if (!alive)
            return;
    }
}

} // namespace stowline::protocols
