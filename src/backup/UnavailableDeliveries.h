#pragma once

#include "backup/RunDeliveries.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"

#include <QString>

namespace stowline::backup {

// Stands in for delivery steps this build does not have yet: a preset that asks for
// one gets a clear error line instead of a silent skip, and its archives stay
// undelivered (and therefore kept).
class UnavailableDeliveries final : public RunDeliveries {
public:
    UnavailableDeliveries(core::EventLog& log, const core::MessageTable& messages)
        : log_(log), messages_(messages) {}

    void burnDisc(RunState&) override { report(QStringLiteral("CD")); }
    void dialUp(RunState&) override { report(QStringLiteral("DIALUP")); }
    void startEmailDelivery(RunState&) override { report(QStringLiteral("SMTP")); }
    void startFtpDelivery(RunState&) override { report(QStringLiteral("FTP")); }
    void abortClients() override {}
    void abortDeliveries(RunState&) override {}
    void hangUp(RunState&) override {}

private:
    void report(const QString& step) {
        log_.WritePresetError(step + messages_.text(u"deliverynotavailable"));
    }
    core::EventLog& log_;
    const core::MessageTable& messages_;
};

} // namespace stowline::backup
