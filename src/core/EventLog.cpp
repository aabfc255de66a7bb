#include "core/EventLog.h"

#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/Prompts.h"
#include "platform/SoundPlayer.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace stowline::core {

namespace {
// Longer lines of swl.log are cut when read, so that a damaged or hostile log of a few
// huge lines can neither exhaust memory nor stay that size.
constexpr qsizetype kMaxLogLineBytes = 4096;
const QString kCutMark = QStringLiteral(" [...]");
} // namespace

EventLog::EventLog(const Folders& folders, ProgramFlags& flags, const topt& options,
                   const MessageTable& messages, const Clock& clock, platform::SoundPlayer& sound,
                   QObject* parent)
    : QObject(parent), folders_(folders), flags_(flags), options_(options), messages_(messages),
      clock_(clock), sound_(sound) {}

QString EventLog::logFilePath() const {
    return folders_.inData(QStringLiteral("swl.log"));
}

QString EventLog::formatLine(const QString& message) const {
    return QLatin1Char('[') + formatHistoryTime(clock_.now()) + QLatin1String("] ") + message;
}

bool EventLog::isErrorMessage(const QString& message) {
    // "[!]" anywhere makes an error line, with or without the blank in front.
    return message.contains(kErrorMark.sliced(1));
}

void EventLog::WriteLog(const QString& message) {
    writeLine(message, message);
}

void EventLog::WritePresetLog(const QString& message) {
    writeLine(message, currentPresetName_ + QLatin1String(": ") + message);
}

void EventLog::writeLine(const QString& message, const QString& shownMessage) {
    const bool isError = isErrorMessage(message);
    if (isError)
        flags_.ErrorLogged = true;
    if (showsList_)
        model_.append(formatLine(shownMessage));
    if (isError && options_.soe)
        sound_.playAsync(options_.swf);
    appendToFile(formatLine(shownMessage));
    if (isError && options_.ser && sendErrorReport_) {
        pendingReports_ << formatLine(shownMessage);
        sendPendingReports();
    }
}

void EventLog::releaseErrorReports() {
    if (reportHolds_ > 0)
        --reportHolds_;
    sendPendingReports();
}

void EventLog::sendPendingReports() {
    if (reportHolds_ > 0 || !sendErrorReport_)
        return;
    holdErrorReports();
    while (!pendingReports_.isEmpty()) {
        const bool sent = sendErrorReport_(pendingReports_.takeFirst());
        // The result lines carry no error mark, so they never start another report.
        WriteLog(messages_.text(sent ? u"emailreportok" : u"emailreportbad") + options_.sto);
    }
    --reportHolds_;
}

void EventLog::appendToFile(const QString& line) {
    QString reason;
    if (appendTextLine(logFilePath(), line, &reason)) {
        fileFailureReported_ = false;
        return;
    }
    reportFileFailure(QStringLiteral("write"), reason);
}

void EventLog::reportFileFailure(const QString& what, const QString& reason) {
    // Reported once per run of failures: a log that cannot be written must not flood
    // the terminal, and the line itself is still in the on-screen list.
    if (fileFailureReported_)
        return;
    fileFailureReported_ = true;
    std::fprintf(stderr, "Cannot %s the event log %s: %s\n", qPrintable(what),
                 qPrintable(logFilePath()), qPrintable(reason));
}

void EventLog::LoadFromFile() {
    if (!QFile::exists(logFilePath()))
        return;
    const std::optional<QStringList> lines = readLogLines();
    if (!lines)
        return;
    model_.replaceAll(*lines);
}

void EventLog::TruncateLog() {
    if (!QFile::exists(logFilePath()) || options_.lsz <= 0)
        return;
    OperationScope operation(flags_);
    int cutLines = 0;
    const std::optional<QStringList> lines = readLogLines(&cutLines);
    if (!lines)
        return;
    // Lines cut on reading are cut in the file too: the log shrinks by size as well.
    if (lines->size() > options_.lsz || cutLines > 0) {
        const qsizetype kept = std::min<qsizetype>(lines->size(), options_.lsz);
        // The shortened copy replaces swl.log in one rename, so a crash at any point
        // leaves either the old or the new log, never none.
        const QString scratch = folders_.inData(QStringLiteral("swl.lo_"));
        QString reason;
        if (!writeTextLinesAtomically(scratch, lines->mid(lines->size() - kept), &reason) ||
            !replaceFile(scratch, logFilePath(), &reason)) {
            QFile::remove(scratch);
            reportFileFailure(QStringLiteral("shorten"), reason);
            return;
        }
        WriteLog(formatMessage(messages_.text(u"logwasreducedtolines"), {QString::number(kept)}));
    }
    if (showsList_)
        LoadFromFile();
}

std::optional<QStringList> EventLog::readLogLines(int* cutLines) {
    const std::optional<QStringList> lines =
        readCappedTextLines(logFilePath(), kMaxLogLineBytes, kCutMark, cutLines);
    if (!lines)
        reportFileFailure(QStringLiteral("read"), QStringLiteral("not a readable file"));
    return lines;
}

void EventLog::DeleteAllRecords(platform::Prompts& prompts) {
    if (!QFile::exists(logFilePath()))
        return;
    if (!prompts.askYesNo(QLatin1Char('\n') + messages_.text(u"deletelog")))
        return;
    OperationScope operation(flags_);
    QFile file(logFilePath());
    if (!file.remove()) {
        reportFileFailure(QStringLiteral("delete"), file.errorString());
        return;
    }
    model_.replaceAll({});
}

bool EventLog::ExportTo(const QString& path, QString* error) const {
    return writeTextLinesAtomically(path, model_.lines(), error);
}

} // namespace stowline::core
