#pragma once

#include "net/remote/RemotePages.h"
#include "net/remote/StatusReports.h"
#include "protocols/HttpServer.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <functional>

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct Folders;
struct ProgramFlags;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class PowerActions;
}

namespace stowline::backup {
class PresetListModel;
class PresetStore;
} // namespace stowline::backup

namespace stowline::scheduler {
class Schedule;
}

namespace stowline::remote {

// What the remote-control pages read and change; the application owns all of it.
struct RemoteServices {
    core::ProgramFlags& flags;
    const core::Folders& folders;
    const core::topt& options;
    const core::MessageTable& messages;
    core::EventLog& log;
    const core::Clock& clock;
    scheduler::Schedule& schedule;
    const backup::PresetListModel& presets;
    const backup::PresetStore& store;
    platform::PowerActions& power;
};

// The remote-control site: every page and form, behind basic authentication. It knows
// no sockets: it turns one request into one reply, so it is tested by calling it.
class RemoteSite final : public QObject {
    Q_OBJECT
public:
    // Failed logins from one address within this long are logged as one line.
    static constexpr qint64 kFailedLoginWindowSeconds = 60;

    explicit RemoteSite(RemoteServices services, QObject* parent = nullptr);

    protocols::HttpReply handle(const protocols::HttpRequest& request);

    const PageSettings& pageSettings() const { return settings_; }
    // The progress text of the running preset for /status.json and /metrics; the
    // program fills it where the run shows its progress. Empty when unknown.
    void setProgressSource(std::function<QString()> source) { progress_ = std::move(source); }
    // Logs the failed logins counted but not yet logged (also done by a timer).
    void flushFailedLogins();

private:
    struct FailedLogins {
        QDateTime windowStart;
        int unlogged = 0;
    };

    bool authorize(const protocols::HttpRequest& request);
    void noteFailedLogin(const QString& address);
    protocols::HttpReply page(const QByteArray& path);
    protocols::HttpReply post(const protocols::HttpRequest& request, const QByteArray& path);
    protocols::HttpReply logSetup(const QByteArray& body);
    protocols::HttpReply command(const QByteArray& body);
    void carryOut(const QString& command);
    static protocols::HttpReply statusReply(const QByteArray& type, const QByteArray& body);
    ProgramStatus status() const;
    PageContext context() const;
    const QList<QByteArray>& eventLogHtml();
    QByteArray eventLogPage(const PageContext& context);

    RemoteServices s_;
    PageSettings settings_;
    std::function<QString()> progress_;
    QHash<QString, FailedLogins> failedLogins_;
    qint64 errorLinesSinceStart_ = 0;
    // The event log's lines as the log page shows them, kept in step with the list
    // (rebuilt after a reset), so a long log costs one join per request.
    QList<QByteArray> logLineHtml_;
    bool logLineHtmlValid_ = false;
    // The last event-log page: the same second, settings and log give the same bytes,
    // shared by every request that asks meanwhile.
    struct CachedLogPage {
        QDateTime second;
        PageSettings settings;
        qsizetype lineCount = -1;
        QByteArray page;
    };
    CachedLogPage logPage_;
};

} // namespace stowline::remote
