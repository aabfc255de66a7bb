#include "net/Dialup.h"

#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/EventWait.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/Prompts.h"

namespace stowline::net {

using platform::ActiveDialup;
using platform::DialReport;
using platform::DialState;
using platform::DialupConnections;

namespace {
constexpr std::chrono::milliseconds kWaitTurn{100};
}

Dialup::Dialup(DialupServices services, backup::RunDeliveries& others, DialupTimings timings,
               QObject* parent)
    : QObject(parent), services_(services), others_(others), timings_(timings) {
    waitfordialup.setSingleShot(true);
    connect(&waitfordialup, &QTimer::timeout, this, &Dialup::waitfordialupTimer);
    connect(&services_.connections, &DialupConnections::stateChanged, this, &Dialup::stateChanged);
    connect(&services_.connections, &DialupConnections::entriesChanged, this,
            &Dialup::entriesChanged);
}

QString Dialup::text(const char16_t* key) const {
    return services_.messages.text(key);
}

QList<ActiveDialup> Dialup::GetActiveConn() {
    QList<ActiveDialup> active;
    QString error;
    if (!services_.connections.listActive(active, error)) {
        services_.log.WriteError(text(u"dialupword") + error);
        active.clear();
    }
    return active;
}

std::optional<ActiveDialup> Dialup::GetActiveConnHandle(const QString& name) {
    for (const ActiveDialup& connection : GetActiveConn())
        if (connection.entryName.compare(name, Qt::CaseInsensitive) == 0)
            return connection;
    return std::nullopt;
}

void Dialup::DialEntry() {
    const QString& entry = services_.options.dac;
    if (entry.isEmpty()) {
        services_.log.WriteError(text(u"dialupnotestablished"));
        RedialsLeft = -1;
        DialWaitOver = true;
        return;
    }
    if (const std::optional<ActiveDialup> found = GetActiveConnHandle(entry)) {
        services_.log.WriteLog(text(u"dialupalreadyactive"));
        handle_ = found->handle;
        // One that is up already sends no further report: waiting for it would only
        // end in the time-out.
        if (found->connected)
            DialConnectionOk = true;
        return;
    }
    handle_.clear();
    QString handle;
    QString error;
    switch (services_.connections.dial(entry, handle, error)) {
    case DialupConnections::DialStart::EntryUnreadable:
        services_.log.WriteError(core::formatMessage(text(u"dialupcantgetparams"), {error}));
        RedialsLeft = -1;
        DialWaitOver = true;
        return;
    case DialupConnections::DialStart::NotStarted:
        services_.log.WriteError(text(u"dialupword") + error);
        RedialsLeft = -1;
        Disconnected();
        DialWaitOver = true;
        return;
    case DialupConnections::DialStart::Started:
        handle_ = handle;
        break;
    }
    const int redials = services_.options.dnr;
    if (RedialsLeft == redials) {
        services_.log.WriteLog(text(u"dialupdialing") + entry + QLatin1Char('.'));
    } else {
        services_.log.WriteLog(text(u"dialupredialing") + entry +
                               QStringLiteral(" [%1/%2].").arg(redials - RedialsLeft).arg(redials));
    }
}

void Dialup::DialTest() {
    // Redials count within a run only; a test dial is always the first.
    RedialsLeft = services_.options.dnr;
    DialWaitOver = false;
    DialEntry();
}

void Dialup::stateChanged(const DialReport& report) {
    // Reports about connections other than the pending one (an earlier attempt that was
    // hung up, someone else's) change nothing here.
    if (handle_.isEmpty() || report.handle != handle_)
        return;
    if (report.state == DialState::Connected && report.errorText.isEmpty()) {
        DialedByUs = true;
        DialConnectionOk = true;
        RedialsLeft = -1;
        services_.log.WriteLog(text(u"dialupconnected"));
        return;
    }
    if (report.state != DialState::Disconnected && report.errorText.isEmpty())
        return;
    // The attempt is over from here on, also for the time-out that may fire during the
    // pauses below.
    DialWaitOver = true;
    services_.log.WriteError(text(u"dialupword") + report.errorText);
    Disconnected();
    if (report.lineBusy)
        --RedialsLeft;
    else
        RedialsLeft = -1;
    settle();
}

void Dialup::waitfordialupTimer() {
    if (DialWaitOver || DialConnectionOk)
        return;
    // A connection that never comes up is given up like a busy line: hung up, and one
    // redial used, so the waiting ends after the last redial.
    DialWaitOver = true;
    services_.log.WriteError(text(u"dialuptimedout"));
    Disconnected();
    --RedialsLeft;
}

void Dialup::Disconnected() {
    if (handle_.isEmpty())
        return;
    services_.log.WriteLog(text(u"dialuphangingup"));
    QString error;
    if (!services_.connections.hangUp(handle_, error))
        services_.log.WriteError(text(u"dialupword") + error);
    handle_.clear();
    settle();
}

void Dialup::settle() {
    core::waitProcessingEvents([] { return false; }, core::WaitRules()
                                                         .endAfter(timings_.settle)
                                                         .wakeUpEvery(kWaitTurn)
                                                         .endingOnAbort(services_.flags));
}

void Dialup::waitForAttempt() {
    const int seconds = services_.options.dwc;
    services_.log.WriteLog(core::formatMessage(text(u"dialupwaiting"), {QString::number(seconds)}));
    waitfordialup.start(timings_.second * seconds);
    core::waitProcessingEvents(
        [this] { return DialConnectionOk || DialWaitOver; },
        core::WaitRules().wakeUpEvery(kWaitTurn).endingOnAbort(services_.flags));
    waitfordialup.stop();
}

void Dialup::dialUp(backup::RunState& run) {
    DialedByUs = false;
    DialConnectionOk = false;
    QString error;
    if (!services_.connections.available(error)) {
        services_.log.WriteError(text(u"dialupmanagermissing") + error);
        services_.log.WriteError(text(u"dialupnoconnection"));
        return;
    }
    RedialsLeft = services_.options.dnr;
    if (GetActiveConnHandle(services_.options.dac)) {
        services_.log.WriteLog(
            core::formatMessage(text(u"dialupalreadyestablished"), {services_.options.dac}));
        // Not ours: it is never hung up by this program.
        handle_.clear();
        run.DialConnectionOk = true;
        return;
    }
    while (RedialsLeft >= 0 && !services_.flags.AbortRequested) {
        DialWaitOver = false;
        DialEntry();
        if (!DialWaitOver && !DialConnectionOk)
            waitForAttempt();
        if (services_.flags.AbortRequested)
            break;
        if (DialWaitOver && RedialsLeft < 0)
            services_.log.WriteError(text(u"dialupnoconnection"));
        if (DialConnectionOk)
            break;
    }
    if (services_.flags.AbortRequested) {
        services_.log.WriteLog(text(u"abortrequested"));
        Disconnected();
        return;
    }
    run.DialConnectionOk = DialConnectionOk;
    run.DialedByUs = DialedByUs;
}

void Dialup::hangUp(backup::RunState&) {
    Hangup();
}

DialupEntryList Dialup::GetEntries() {
    DialupEntryList list;
    QString error;
    if (!services_.connections.listEntries(list.names, error)) {
        services_.log.WriteError(text(u"dialupword") + error);
        list.names.clear();
    }
    list.selected = static_cast<int>(list.names.indexOf(services_.options.dac));
    return list;
}

bool Dialup::NewEntry() {
    QString error;
    if (services_.connections.createEntry(error))
        return true;
    services_.log.WriteError(text(u"cannotcreateconnection") + QStringLiteral(": ") + error);
    return false;
}

bool Dialup::EditEntry(const QString& name) {
    QString error;
    if (services_.connections.editEntry(name, error))
        return true;
    services_.log.WriteError(text(u"errorcannotedit") + name + QStringLiteral(": ") + error);
    return false;
}

bool Dialup::DeleteEntry(const QString& name) {
    if (!services_.prompts.askYesNo(QLatin1Char('\n') + text(u"rasreallydelete")))
        return false;
    QString error;
    if (!services_.connections.deleteEntry(name, error)) {
        services_.prompts.showError(QLatin1Char('\n') + text(u"errorcannotdelete") + name);
        return false;
    }
    services_.prompts.showMessage(QLatin1Char('\n') + text(u"rasdeleted"));
    return true;
}

} // namespace stowline::net
