#pragma once

#include "platform/SleepInhibitor.h"

#include <QStringList>

namespace stowline::platform {

// Records holds and releases; `available` false plays a machine without logind.
class RecordingSleepInhibitor final : public SleepInhibitor {
public:
    bool inhibit(const QString& why) override {
        if (!available)
            return false;
        held = true;
        reasons << why;
        return true;
    }
    void release() override {
        if (held)
            ++releases;
        held = false;
    }
    QString errorString() const override { return QStringLiteral("logind is not running"); }

    bool available = true;
    bool held = false;
    int releases = 0;
    QStringList reasons;
};

} // namespace stowline::platform
