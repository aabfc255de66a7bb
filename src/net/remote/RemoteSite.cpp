#include "net/remote/RemoteSite.h"

#include "net/remote/StatusReports.h"

#include "backup/PresetFiles.h"
#include "backup/PresetListModel.h"
#include "core/Clock.h"
#include "core/ControlCharacters.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/PowerActions.h"
#include "scheduler/Schedule.h"

#include <QTimer>

namespace stowline::remote {

using protocols::HttpReply;
using protocols::HttpRequest;

namespace {

HttpReply htmlReply(const QByteArray& page, int status = 200) {
    HttpReply reply;
    reply.status = status;
    reply.body = page;
    return reply;
}

HttpReply htmlReply(const QString& page, int status = 200) {
    return htmlReply(page.toUtf8(), status);
}

HttpReply notFound() {
    HttpReply reply = htmlReply(QStringLiteral("<HTML><BODY>404 Not Found</BODY></HTML>"), 404);
    return reply;
}

// Compares every byte whatever the first difference, so the time taken does not tell
// how much of a guess was right.
bool equalInConstantTime(const QByteArray& given, const QByteArray& expected) {
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |=
            static_cast<unsigned char>(given[i]) ^
            static_cast<unsigned char>(expected.isEmpty() ? 0 : expected[i % expected.size()]);
    return difference == 0;
}

// The value of one field of URL-encoded form data, decoded; empty when missing.
QString formField(const QByteArray& body, QByteArrayView name) {
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray key = equals < 0 ? pair : pair.left(equals);
        if (key != name)
            continue;
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        value.replace('+', ' ');
        return QString::fromUtf8(QByteArray::fromPercentEncoding(value));
    }
    return {};
}

std::optional<qint32> parseInteger(const QString& text) {
    return scheduler::parseDecimal(text);
}

} // namespace

RemoteSite::RemoteSite(RemoteServices services, QObject* parent) : QObject(parent), s_(services) {
    // Lines appended from now on; the lines loaded from swl.log at start-up are a reset.
    core::LogListModel& lines = s_.log.model();
    connect(&lines, &core::LogListModel::rowsInserted, this,
            [this, &lines](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    const QString& line = lines.lines().at(row);
                    if (core::EventLog::isErrorMessage(line))
                        ++errorLinesSinceStart_;
                    if (logLineHtmlValid_)
                        logLineHtml_.insert(row, logLineHtml(line));
                }
            });
    const auto forget = [this] {
        logLineHtmlValid_ = false;
        logLineHtml_.clear();
        logPage_ = {};
    };
    connect(&lines, &core::LogListModel::modelReset, this, forget);
    connect(&lines, &core::LogListModel::rowsRemoved, this, forget);
}

QByteArray RemoteSite::eventLogPage(const PageContext& c) {
    const QDateTime second = c.now.addMSecs(-c.now.time().msec());
    const qsizetype lineCount = s_.log.model().lines().size();
    if (logPage_.second != second || logPage_.lineCount != lineCount ||
        logPage_.settings.lines != c.settings.lines ||
        logPage_.settings.refresh != c.settings.refresh)
        logPage_ = {second, c.settings, lineCount, logPageOf(c, eventLogHtml())};
    return logPage_.page;
}

const QList<QByteArray>& RemoteSite::eventLogHtml() {
    if (!logLineHtmlValid_) {
        const QStringList& lines = s_.log.model().lines();
        logLineHtml_.clear();
        logLineHtml_.reserve(lines.size());
        for (const QString& line : lines)
            logLineHtml_.append(logLineHtml(line));
        logLineHtmlValid_ = true;
    }
    return logLineHtml_;
}

PageContext RemoteSite::context() const {
    return PageContext{s_.messages, s_.clock.now(), settings_};
}

HttpReply RemoteSite::handle(const HttpRequest& request) {
    const QByteArray path = request.path().toLower();
    if (request.method != "GET" && request.method != "POST") {
        HttpReply reply = htmlReply(QString(), 405);
        reply.headers.append({QByteArray("Allow"), QByteArray("GET, POST")});
        return reply;
    }
    if (!authorize(request)) {
        // The realm names the path as requested; it must not break the header line.
        QByteArray realm = request.target;
        realm.replace('\r', "").replace('\n', "");
        HttpReply reply = htmlReply(unauthorizedPage(), 401);
        reply.contentType = "text/html";
        reply.headers.append({QByteArray("WWW-Authenticate"), "Basic Realm=" + realm});
        return reply;
    }
    if (request.method == "POST")
        return post(request, path);
    return page(path);
}

bool RemoteSite::authorize(const HttpRequest& request) {
    bool offered = false;
    const QByteArray expected = (s_.options.rlo + QLatin1Char(':') + s_.options.rpa).toUtf8();
    for (const auto& [name, value] : request.headers) {
        if (name.compare("Authorization", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray upper = value.toUpper();
        if (!upper.startsWith("BASIC "))
            continue;
        offered = true;
        const auto decoded = QByteArray::fromBase64Encoding(
            value.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && equalInConstantTime(*decoded, expected))
            return true;
    }
    if (offered)
        noteFailedLogin(request.clientAddress);
    return false;
}

void RemoteSite::noteFailedLogin(const QString& address) {
    const QDateTime now = s_.clock.now();
    FailedLogins& record = failedLogins_[address];
    if (record.windowStart.isValid() &&
        record.windowStart.secsTo(now) < kFailedLoginWindowSeconds) {
        // Each error line may send an error report: a guessing run must not mail one
        // per guess. The count is logged when the minute is over.
        if (record.unlogged++ == 0)
            QTimer::singleShot(std::chrono::seconds(kFailedLoginWindowSeconds), this,
                               &RemoteSite::flushFailedLogins);
        return;
    }
    record.windowStart = now;
    record.unlogged = 0;
    s_.log.WriteError(s_.messages.text(u"httpnotauthorized") + QStringLiteral(" (") + address +
                      QStringLiteral(")."));
}

void RemoteSite::flushFailedLogins() {
    const QDateTime now = s_.clock.now();
    for (auto it = failedLogins_.begin(); it != failedLogins_.end(); ++it) {
        if (it->unlogged == 0)
            continue;
        s_.log.WriteError(s_.messages.text(u"httpnotauthorized") + QStringLiteral(" (") + it.key() +
                          QStringLiteral("). ") +
                          core::formatMessage(s_.messages.text(u"httpfailedloginsrepeated"),
                                              {QString::number(it->unlogged)}));
        it->unlogged = 0;
        it->windowStart = now;
    }
}

HttpReply RemoteSite::page(const QByteArray& path) {
    const PageContext c = context();
    if (path == "/")
        return htmlReply(startPage(c));
    if (path == "/log.htm")
        return htmlReply(eventLogPage(c));
    if (path == "/cp.htm")
        return htmlReply(controlPanelPage(c));
    if (path == "/command.htm")
        return htmlReply(commandPage(c));
    if (path == "/rarlog.htm")
        return htmlReply(archiverLogPage(
            c, core::readTextLines(s_.folders.inData(QStringLiteral("winrar.log")))));
    if (path == "/status.json")
        return statusReply("application/json", statusJson(status()));
    if (path == "/metrics")
        return statusReply("text/plain; version=0.0.4; charset=utf-8", metricsText(status()));
    if (path == "/schedule.htm")
        return htmlReply(schedulePage(c, s_.schedule.entries(), s_.presets.entries()));
    return notFound();
}

HttpReply RemoteSite::statusReply(const QByteArray& type, const QByteArray& body) {
    HttpReply reply;
    reply.contentType = type;
    reply.body = body;
    return reply;
}

ProgramStatus RemoteSite::status() const {
    ProgramStatus status;
    status.now = s_.clock.now();
    status.schedulerOn = s_.options.son;
    status.busy = s_.flags.OperationInProgress;
    status.runningPreset = s_.flags.OperationInProgress ? s_.log.currentPresetName() : QString();
    if (!status.runningPreset.isEmpty() && progress_)
        status.progress = progress_();
    status.errorLinesSinceStart = errorLinesSinceStart_;
    for (const backup::PresetEntry& preset : s_.presets.entries()) {
        const QStringList history =
            core::readTextLines(s_.store.presetFilePath(preset.name, QStringLiteral(".hst")))
                .value_or(QStringList());
        status.presets.append(
            presetFacts(preset.name, preset.nextRunText, preset.lastRunText, history));
    }
    return status;
}

HttpReply RemoteSite::post(const HttpRequest& request, const QByteArray& path) {
    if (path == "/cgi-bin/logsetup")
        return logSetup(request.body);
    if (path == "/cgi-bin/command")
        return command(request.body);
    return notFound();
}

HttpReply RemoteSite::logSetup(const QByteArray& body) {
    const QString refresh = formField(body, "Refresh");
    settings_.refresh = parseInteger(refresh) ? refresh : QStringLiteral("10");
    settings_.lines = parseInteger(formField(body, "Lines")).value_or(40);
    return htmlReply(formAnswerPage(s_.messages.text(u"httpupdatedparams")));
}

HttpReply RemoteSite::command(const QByteArray& body) {
    const QString command = formField(body, "Command");
    if (command.isEmpty())
        return htmlReply(commandPage(context()));
    // A line break would forge lines in the log and in swl.sch.
    if (core::holdsControlCharacter(command)) {
        s_.log.WriteError(core::formatMessage(s_.messages.text(u"httpcommandrefused"),
                                              {core::withVisibleControlCharacters(command)}));
        return htmlReply(formAnswerPage(s_.messages.text(u"httpcommandnotaccepted")), 400);
    }
    HttpReply reply = htmlReply(formAnswerPage(s_.messages.text(u"httpcommandwassent")));
    // The answer leaves first: a reboot, a shutdown or the end of the program would
    // otherwise cut it off.
    reply.afterSent = [this, command] { carryOut(command); };
    return reply;
}

void RemoteSite::carryOut(const QString& command) {
    const QString upper = command.toUpper();
    if (upper == QLatin1String("/FORCEREBOOT")) {
        s_.log.WriteLog(s_.messages.text(u"httpforcereboot"));
        s_.log.WriteLog(QString());
        const platform::PowerResult result = s_.power.ExitSystem(platform::SessionExit::Reboot);
        if (result.outcome == platform::PowerResult::Outcome::Refused)
            s_.log.WriteLog(s_.messages.text(u"poweractiondryrun") + result.command);
    } else if (upper == QLatin1String("/ABORT")) {
        s_.log.WriteLog(s_.messages.text(u"httpabortrequest"));
        s_.flags.AbortRequested = true;
    } else {
        s_.log.WriteLog(s_.messages.text(u"httpreceivedcommand") + QStringLiteral(" \"") + command +
                        QStringLiteral("\"."));
        scheduler::tschopt entry;
        entry.dow = QString::fromLatin1(scheduler::kDefaultDayMask);
        scheduler::ParseScheduleRequest(command, entry, s_.clock.now(), s_.log, s_.messages);
        s_.schedule.AddScheduleEntry(entry);
    }
}

} // namespace stowline::remote
