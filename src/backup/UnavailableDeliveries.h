#pragma once

#include "backup/RunDeliveries.h"

#include <functional>

#include <QString>

namespace stowline::backup {

// Stands in for delivery steps this build does not have yet: a preset that asks for
// one gets a clear error line instead of a silent skip, and its archives stay
// undelivered (and therefore kept).
class UnavailableDeliveries final : public RunDeliveries {
public:
    explicit UnavailableDeliveries(std::function<void(const QString&)> writePresetLog)
        : writePresetLog_(std::move(writePresetLog)) {}

    void burnDisc(RunState&) override { report(QStringLiteral("CD")); }
    void dialUp(RunState&) override { report(QStringLiteral("DIALUP")); }
    void startEmailDelivery(RunState&) override { report(QStringLiteral("SMTP")); }
    void startFtpDelivery(RunState&) override { report(QStringLiteral("FTP")); }
    void abortClients() override {}
    void abortDeliveries(RunState&) override {}
    void hangUp(RunState&) override {}

private:
    void report(const QString& step) {
        writePresetLog_(step +
                        QStringLiteral(" - This delivery is not available in this build. [!]"));
    }
    std::function<void(const QString&)> writePresetLog_;
};

} // namespace stowline::backup
