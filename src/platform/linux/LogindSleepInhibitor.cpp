#include "platform/linux/LogindSleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace stowline::platform {

namespace {
constexpr int kCallTimeoutMs = 5000;
} // namespace

bool LogindSleepInhibitor::inhibit(const QString& why) {
    if (lock_.isValid())
        return true;
    if (!bus_.isConnected()) {
        error_ = bus_.lastError().isValid() ? bus_.lastError().message()
                                            : QStringLiteral("no connection to the system bus");
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Stowline") << why
         << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid()) {
        error_ = reply.error().message();
        return false;
    }
    if (!reply.value().isValid()) {
        error_ = QStringLiteral("logind returned no inhibitor descriptor");
        return false;
    }
    lock_ = reply.value();
    return true;
}

} // namespace stowline::platform
