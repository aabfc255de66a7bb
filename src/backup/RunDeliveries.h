#pragma once

namespace stowline::backup {

struct RunState;

// The post-actions that other areas build: disc, dial-up, e-mail, FTP and hang-up.
// Each step logs its own lines and marks the files it delivered in the run state.
class RunDeliveries {
public:
    virtual ~RunDeliveries() = default;

    // Writes the run's archives to a disc; synchronous. May set AbortRequested.
    virtual void burnDisc(RunState& run) = 0;
    virtual void dialUp(RunState& run) = 0;
    // Start the asynchronous deliveries; each sets its busy flag while it works.
    virtual void startEmailDelivery(RunState& run) = 0;
    virtual void startFtpDelivery(RunState& run) = 0;
    // The operation time-out fired: stop every network client at once.
    virtual void abortClients() = 0;
    // AbortRequested was set while delivering: abort the connected clients and wait
    // out their grace period. The run then cleans up and reports the abort.
    virtual void abortDeliveries(RunState& run) = 0;
    virtual void hangUp(RunState& run) = 0;
};

} // namespace stowline::backup
