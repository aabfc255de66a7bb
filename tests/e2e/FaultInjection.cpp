#include "FaultInjection.h"

#include "ProgramRun.h"

#include "core/Options.h"
#include "core/OptionsFile.h"
#include "scheduler/ScheduleEntry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

namespace stowline::e2e {

namespace {

// How many lines every whole swl.opt has, whatever the values: that of one just saved.
qsizetype optionFileLines() {
    static const qsizetype lines = [] {
        QTemporaryDir folder;
        core::topt options;
        if (!core::SaveOptions(options, folder.path()))
            return qsizetype(-1);
        return wholeLines(folder.filePath(QStringLiteral("swl.opt")))
            .value_or(QStringList())
            .size();
    }();
    return lines;
}

QString textBetween(const QString& line, QStringView open, QStringView close) {
    const qsizetype start = line.indexOf(open);
    const qsizetype end = line.indexOf(close);
    if (start < 0 || end < start)
        return {};
    return line.mid(start + open.size(), end - start - open.size());
}

// What is wrong with one state file; empty when it is whole. `lineFault` names what is
// wrong with one line, empty when the line is right.
QString damage(const QString& path, const std::function<QString(const QString&)>& lineFault) {
    const std::optional<QStringList> lines = wholeLines(path);
    if (!lines)
        return path + QStringLiteral(": empty or its last line is torn");
    for (const QString& line : *lines) {
        const QString fault = lineFault(line);
        if (!fault.isEmpty())
            return path + QStringLiteral(": ") + fault + QStringLiteral(" in \"") + line +
                   QLatin1Char('"');
    }
    return {};
}

QString scheduleLineFault(const QString& line) {
    return scheduler::ParseScheduleEntry(scheduler::ParseScheduleLine(line))
               ? QString()
               : QStringLiteral("an unreadable schedule entry");
}

QString lastRunLineFault(const QString& line) {
    return scheduler::ParseScheduleDate(textBetween(line, u"<D>", u"</D>")) &&
                   !textBetween(line, u"<P>", u"</P>").isEmpty()
               ? QString()
               : QStringLiteral("an unreadable last run");
}

QString logLineFault(const QString& line) {
    static const QRegularExpression stamp(
        QStringLiteral(R"(^\[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\] )"));
    return stamp.match(line).hasMatch() ? QString() : QStringLiteral("a line without a time");
}

QString deliveryHistoryLineFault(const QString& line) {
    return line.count(QLatin1Char('\t')) == 2 ? QString()
                                              : QStringLiteral("a history line without two TABs");
}

QString anyLine(const QString&) {
    return {};
}

} // namespace

QStringList killedAtCall(const QString& syscall, int n) {
    return {QStringLiteral("strace"),
            QStringLiteral("-f"),
            QStringLiteral("-qq"),
            QStringLiteral("-o"),
            QStringLiteral("/dev/null"),
            QStringLiteral("-e"),
            QStringLiteral("trace=") + syscall,
            QStringLiteral("-e"),
            QStringLiteral("inject=%1:signal=KILL:when=%2").arg(syscall).arg(n)};
}

QProcessEnvironment tracedEnvironment(const ProgramSandbox& sandbox) {
    return withoutLeakCheck(sandbox.environment());
}

int callsOfBusiestProcess(const ProgramSandbox& sandbox, const QString& syscall,
                          const QStringList& command) {
    const QString tracePath = sandbox.path(QStringLiteral("calls.trace"));
    QProcess strace;
    strace.setProcessEnvironment(tracedEnvironment(sandbox));
    strace.start(QStringLiteral("strace"),
                 QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                             tracePath, QStringLiteral("-e"), QStringLiteral("trace=") + syscall}
                     << command);
    if (!strace.waitForFinished(60000) || strace.exitCode() != 0)
        return 0;
    QFile trace(tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return 0;
    // "<pid>  <syscall>(" starts a call; resumed halves of interrupted calls do not count.
    const QRegularExpression call(QStringLiteral(R"(^(\d+)\s+%1\()").arg(syscall));
    std::map<QString, int> callsByProcess;
    while (!trace.atEnd()) {
        const QRegularExpressionMatch match = call.match(QString::fromUtf8(trace.readLine()));
        if (match.hasMatch())
            ++callsByProcess[match.captured(1)];
    }
    trace.remove();
    int busiest = 0;
    for (const auto& [process, calls] : callsByProcess)
        busiest = std::max(busiest, calls);
    return busiest;
}

std::optional<QStringList> wholeLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || !bytes.endsWith("\r\n"))
        return std::nullopt;
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

QStringList damagedStateFiles(const QString& dataFolder) {
    QStringList damaged;
    const auto check = [&](const QString& path, const std::function<QString(const QString&)>& rule,
                           bool mustExist) {
        if (!QFile::exists(path)) {
            if (mustExist)
                damaged << path + QStringLiteral(": missing");
            return;
        }
        const QString fault = damage(path, rule);
        if (!fault.isEmpty())
            damaged << fault;
    };
    const QDir data(dataFolder);
    check(data.filePath(QStringLiteral("swl.opt")), anyLine, true);
    if (const std::optional<QStringList> options =
            wholeLines(data.filePath(QStringLiteral("swl.opt"))))
        if (options->size() != optionFileLines())
            damaged << QStringLiteral("swl.opt: %1 lines instead of %2")
                           .arg(options->size())
                           .arg(optionFileLines());
    check(data.filePath(QStringLiteral("swl.sch")), scheduleLineFault, false);
    check(data.filePath(QStringLiteral("swl.las")), lastRunLineFault, false);
    check(data.filePath(QStringLiteral("swl.log")), logLineFault, true);
    const QDir presets(data.filePath(QStringLiteral("presets")));
    for (const QString& name : presets.entryList({QStringLiteral("*.hst")}, QDir::Files))
        check(presets.filePath(name), deliveryHistoryLineFault, true);
    for (const QString& name : presets.entryList({QStringLiteral("*.lg?")}, QDir::Files))
        check(presets.filePath(name), anyLine, true);
    return damaged;
}

std::optional<QStringList> archiveListing(const QString& archive) {
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"), {QStringLiteral("-tf"), archive});
    if (!bsdtar.waitForFinished(30000) || bsdtar.exitStatus() != QProcess::NormalExit ||
        bsdtar.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(bsdtar.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

std::optional<QByteArray> archiveMember(const QString& archive, const QString& name) {
    const std::optional<QStringList> listing = archiveListing(archive);
    if (!listing)
        return std::nullopt;
    const auto member = std::find_if(listing->begin(), listing->end(), [&](const QString& path) {
        return path == name || path.endsWith(QLatin1Char('/') + name);
    });
    if (member == listing->end())
        return std::nullopt;
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"), {QStringLiteral("-xOf"), archive, *member});
    if (!bsdtar.waitForFinished(30000) || bsdtar.exitStatus() != QProcess::NormalExit ||
        bsdtar.exitCode() != 0)
        return std::nullopt;
    return bsdtar.readAllStandardOutput();
}

} // namespace stowline::e2e
