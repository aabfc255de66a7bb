#pragma once

#include "backup/RunDeliveries.h"
#include "disc/DiscStep.h"

namespace stowline::disc {

// The disc step as the run's first post-action; the other steps go to `others`.
class DiscDeliveries final : public backup::RunDeliveries {
public:
    DiscDeliveries(DiscStep& step, backup::RunDeliveries& others) : step_(step), others_(others) {}

    void burnDisc(backup::RunState& run) override { step_.burn(run); }
    void dialUp(backup::RunState& run) override { others_.dialUp(run); }
    void startEmailDelivery(backup::RunState& run) override { others_.startEmailDelivery(run); }
    void startFtpDelivery(backup::RunState& run) override { others_.startFtpDelivery(run); }
    void abortClients() override { others_.abortClients(); }
    void abortDeliveries(backup::RunState& run) override { others_.abortDeliveries(run); }
    void hangUp(backup::RunState& run) override { others_.hangUp(run); }

private:
    DiscStep& step_;
    backup::RunDeliveries& others_;
};

} // namespace stowline::disc
