#pragma once

#include "platform/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>

namespace stowline::platform {

// A systemd-logind inhibitor lock ("sleep" and "idle", mode "block") taken on `bus`,
// normally the system bus. The lock lasts as long as the descriptor logind hands out is
// open; release() closes it.
class LogindSleepInhibitor final : public SleepInhibitor {
public:
    explicit LogindSleepInhibitor(QDBusConnection bus) : bus_(std::move(bus)) {}
    ~LogindSleepInhibitor() override { release(); }

    bool inhibit(const QString& why) override;
    void release() override { lock_ = QDBusUnixFileDescriptor(); }
    QString errorString() const override { return error_; }

    bool isHeld() const { return lock_.isValid(); }

private:
    QDBusConnection bus_;
    QDBusUnixFileDescriptor lock_;
    QString error_;
};

} // namespace stowline::platform
