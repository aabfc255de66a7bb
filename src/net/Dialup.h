#pragma once

#include "backup/RunDeliveries.h"
#include "platform/DialupConnections.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

namespace stowline::core {
class EventLog;
class MessageTable;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::net {

struct DialupServices {
    core::ProgramFlags& flags;
    const core::topt& options;
    const core::MessageTable& messages;
    core::EventLog& log;
    platform::Prompts& prompts;
    platform::DialupConnections& connections;
};

// How long the dial-up waits; tests shorten them.
struct DialupTimings {
    // The unit of the waiting time dwc.
    std::chrono::milliseconds second{1000};
    // The pause after a hang-up and after a failed attempt, so the line settles.
    std::chrono::milliseconds settle{1000};
};

// The entries the settings dialog lists, with the one the options name.
struct DialupEntryList {
    QStringList names;
    int selected = -1; // none when the options name no listed entry
};

// Dials the connection of the options (dac) before a run's network deliveries, redials
// a busy line, waits for the connection and hangs it up afterwards; also the commands
// of the settings dialog's dial-up tab. Holds the connection it dialled until it hangs
// it up. The other post-actions go to `others`.
class Dialup final : public QObject, public backup::RunDeliveries {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Dialup)
public:
    Dialup(DialupServices services, backup::RunDeliveries& others, DialupTimings timings = {},
           QObject* parent = nullptr);

    // The run's dial-up step: afterwards the run's DialConnectionOk tells whether the
    // network deliveries may go ahead. An abort during it leaves AbortRequested set.
    void dialUp(backup::RunState& run) override;
    // After the deliveries; the run calls it only for a connection it dialled itself.
    void hangUp(backup::RunState& run) override;
    void burnDisc(backup::RunState& run) override { others_.burnDisc(run); }
    void startEmailDelivery(backup::RunState& run) override { others_.startEmailDelivery(run); }
    void startFtpDelivery(backup::RunState& run) override { others_.startFtpDelivery(run); }
    void abortClients() override { others_.abortClients(); }
    void abortDeliveries(backup::RunState& run) override { others_.abortDeliveries(run); }

    // Starts dialling dac and returns; the outcome is logged when it arrives.
    void DialEntry();
    // Hangs up the connection this program holds, if any.
    void Disconnected();
    void Hangup() { Disconnected(); }
    // The first active connection dialled from `name`, compared without case.
    std::optional<platform::ActiveDialup> GetActiveConnHandle(const QString& name);

    // The settings dialog's dial button: one attempt, logged as the first dial.
    void DialTest();
    // The settings dialog's entry list and its buttons.
    DialupEntryList GetEntries();
    // Opens the connection manager's editor; false (and an error line) when it cannot.
    bool NewEntry();
    bool EditEntry(const QString& name);
    // Asks first; true when the entry was deleted.
    bool DeleteEntry(const QString& name);

    bool holdsConnection() const { return !handle_.isEmpty(); }

signals:
    // An entry was added or removed (the editor saved one): the list is worth reading again.
    void entriesChanged();

private:
    QList<platform::ActiveDialup> GetActiveConn();
    void stateChanged(const platform::DialReport& report);
    void waitfordialupTimer();
    // Pauses with events served; an abort ends the pause.
    void settle();
    void waitForAttempt();
    QString text(const char16_t* key) const;

    DialupServices services_;
    backup::RunDeliveries& others_;
    DialupTimings timings_;
    QTimer waitfordialup;
    QString handle_; // the connection this program dialled (or found dialling)
    int RedialsLeft = -1;
    bool DialWaitOver = false;
    bool DialedByUs = false;
    bool DialConnectionOk = false;
};

} // namespace stowline::net
