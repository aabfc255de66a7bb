#pragma once

#include "backup/PresetListModel.h"
#include "scheduler/ScheduleEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::core {
class MessageTable;
}

namespace stowline::remote {

// How the log pages look; changed by the log-setup form, kept in memory only.
struct PageSettings {
    int lines = 25;                        // last log lines shown
    QString refresh = QStringLiteral("0"); // seconds as typed; "0" = no refresh
};

// What every page builder reads.
struct PageContext {
    const core::MessageTable& messages;
    QDateTime now;
    const PageSettings& settings;
};

// Each builder returns the whole page. Texts that come from outside the message table
// (log lines, the archiver's log, preset names, schedule entries) are HTML-escaped.
QString startPage(const PageContext& context);
QString controlPanelPage(const PageContext& context);
QString commandPage(const PageContext& context);
// `lines` is the whole event log, oldest first; the page shows the last few.
QByteArray logPage(const PageContext& context, const QStringList& lines);
// One log line as the log pages show it, in UTF-8: escaped and coloured.
QByteArray logLineHtml(const QString& line);
// The event-log page from lines already made by logLineHtml, oldest first; a program
// with a long log keeps them so that each request only joins bytes.
QByteArray logPageOf(const PageContext& context, const QList<QByteArray>& lineHtml);
// Nothing when the archiver's log does not exist.
QByteArray archiverLogPage(const PageContext& context, const std::optional<QStringList>& lines);
QString schedulePage(const PageContext& context, const QList<scheduler::tschdata>& entries,
                     const QList<backup::PresetEntry>& presets);
// The short page that answers a form and returns to the command page after a second.
QString formAnswerPage(const QString& message);
// The body of the 401 answer.
QString unauthorizedPage();

} // namespace stowline::remote
