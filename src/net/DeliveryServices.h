#pragma once

#include "backup/HistoryRecorder.h"

#include <QString>

#include <chrono>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct Folders;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::backup {
class PresetStore;
}

namespace stowline::protocols {
class CurlDriver;
}

namespace stowline::net {

// What the FTP and e-mail deliveries take from the program.
struct DeliveryServices {
    core::ProgramFlags& flags;
    const core::Folders& folders;
    const core::topt& options;
    const core::MessageTable& messages;
    core::EventLog& log;
    const core::Clock& clock;
    const backup::PresetStore& store;
    protocols::CurlDriver& driver;
};

// Where a delivery records what it delivered.
inline backup::HistoryRecorder histories(const DeliveryServices& services) {
    return backup::HistoryRecorder(services.store, services.log, services.messages);
}

// How the deliveries work beyond the options. The defaults are the program's; tests
// shorten the durations and trust their own certificate.
struct DeliverySettings {
    // The unit of the time-out options tft and tsm.
    std::chrono::milliseconds minute{60000};
    // The FTP stall watchdog: an upload whose progress reports stop for this long is
    // aborted. Progress re-arms the watchdog at most every 8.64 seconds, so the period
    // must stay well above that.
    std::chrono::milliseconds stallWatchdog{30000};
    // How long an aborted run lets pending completions arrive before it cleans up.
    std::chrono::milliseconds abortGracePeriod{10000};
    // Connecting and each server reply (every FTP request but the data transfer of an
    // upload, which the watchdog guards) and each SMTP request.
    int ftpReplySeconds = 15;
    int smtpReplySeconds = 30;
    // The HTTP script that names the FTP host.
    int hostScriptSeconds = 15;
    // A PEM certificate the FTP and SMTP servers may present instead of one the system
    // trusts (a server with a self-signed certificate); empty: the system store only.
    QString trustedCertificate;
};

} // namespace stowline::net
