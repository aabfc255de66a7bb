#include "scheduler/Schedule.h"

#include "core/ControlCharacters.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/FileUpdateLock.h"
#include "scheduler/PresetCatalog.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace stowline::scheduler {

namespace {
// The commands that must be given exactly (letter case aside).
const QStringList& exactCommands() {
    static const QStringList commands = {
        QStringLiteral("/EXIT"),     QStringLiteral("/SAFEEXIT"), QStringLiteral("/ABORT"),
        QStringLiteral("/SHOW"),     QStringLiteral("/SHOWICON"), QStringLiteral("/REBOOT"),
        QStringLiteral("/SHUTDOWN"), QStringLiteral("/LOGOFF"),   QStringLiteral("/HIBERNATE"),
        QStringLiteral("/SUSPEND"),  QStringLiteral("/TRUNCLOG"), QStringLiteral("/EWX_LOGOFF"),
    };
    return commands;
}

// The text between the first "(" and the first ")" when that ")" follows the "(".
std::optional<QString> bracketedText(const QString& command) {
    const qsizetype open = command.indexOf(QLatin1Char('('));
    const qsizetype close = command.indexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return std::nullopt;
    return command.mid(open + 1, close - open - 1);
}

// After every entry of the same date text, so the list stays in queue order.
void insertInOrder(QList<tschdata>& entries, const tschdata& stored) {
    const auto place =
        std::upper_bound(entries.begin(), entries.end(), stored,
                         [](const tschdata& a, const tschdata& b) { return a.date < b.date; });
    entries.insert(place, stored);
}
} // namespace

QList<tschdata> mergeScheduleChanges(const QList<tschdata>& synced, const QList<tschdata>& held,
                                     const QList<tschdata>& onDisk) {
    // What is left of `held` once each synced entry has taken away one equal to it is
    // what this instance added; synced entries that found no partner it removed.
    QList<tschdata> added = held;
    QList<tschdata> removed;
    for (const tschdata& stored : synced) {
        const qsizetype index = added.indexOf(stored);
        if (index >= 0)
            added.removeAt(index);
        else
            removed << stored;
    }
    QList<tschdata> merged = onDisk;
    for (const tschdata& stored : std::as_const(removed)) {
        const qsizetype index = merged.indexOf(stored);
        if (index >= 0)
            merged.removeAt(index);
    }
    for (const tschdata& stored : std::as_const(added))
        insertInOrder(merged, stored);
    return merged;
}

namespace {
// Takes the bracketed settings out of `text`, which keeps the name. A "]" before the
// first "[" ends the settings: the rest, brackets and all, is the name, which then
// matches no preset or command and is rejected as such.
QStringList takeBracketedSettings(QString& text) {
    QStringList settings;
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('['));
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (open < 0 || close < open)
            return settings;
        settings << text.mid(open + 1, close - open - 1);
        text.remove(open, close - open + 1);
    }
}

// Reads one setting (upper case) into `entry`; an unreadable value takes its default.
// Returns the error message to log, or nothing when the setting was read.
std::optional<QString> applyScheduleSetting(const QString& upper, tschopt& entry,
                                            const QDateTime& now,
                                            const core::MessageTable& messages) {
    const auto number = [&](qsizetype prefixLength) {
        return parseDecimal(QStringView(upper).sliced(prefixLength));
    };
    const auto checked = [&](bool valid, QStringView errorKey) -> std::optional<QString> {
        if (valid)
            return std::nullopt;
        return messages.text(errorKey);
    };
    if (upper.startsWith(QLatin1String("DATE="))) {
        const std::optional<QDateTime> date = ParseScheduleDate(QStringView(upper).sliced(5));
        entry.date = date.value_or(wallClock(now));
        return checked(date.has_value(), u"schedulererrordate");
    }
    if (upper.startsWith(QLatin1String("REPEAT="))) {
        const std::optional<qint32> repeat = number(7);
        const bool valid = repeat && *repeat >= -1;
        entry.repeat = valid ? *repeat : 0;
        return checked(valid, u"schedulererrorrepeat");
    }
    if (upper.startsWith(QLatin1String("INTERVAL="))) {
        const std::optional<qint32> interval = number(9);
        const bool valid = interval && *interval > 0;
        entry.interval = valid ? *interval : 1;
        return checked(valid, u"schedulererrorinterval");
    }
    if (upper.startsWith(QLatin1String("ONDELAY="))) {
        const std::optional<qint32> ondelay = number(8);
        const bool valid = ondelay && *ondelay >= 0 && *ondelay <= 2;
        entry.ondelay = valid ? *ondelay : 0;
        return checked(valid, u"schedulererrorondelay");
    }
    if (upper.startsWith(QLatin1String("PRESICE=")) ||
        upper.startsWith(QLatin1String("PRECISE="))) {
        entry.precise = QStringView(upper).sliced(8) != QLatin1String("0");
        return std::nullopt;
    }
    return core::formatMessage(messages.text(u"schedulerunrecognizedparam"), {upper});
}
} // namespace

void ParseScheduleRequest(const QString& request, tschopt& entry, const QDateTime& now,
                          core::EventLog& log, const core::MessageTable& messages) {
    entry.date = wallClock(now);
    entry.presname = request;
    entry.repeat = 0;
    entry.interval = 1;
    entry.ondelay = 0;
    entry.precise = true;
    if (!request.contains(QLatin1Char('[')))
        return;

    const QStringList settings = takeBracketedSettings(entry.presname);
    for (const QString& setting : settings) {
        if (const std::optional<QString> error =
                applyScheduleSetting(setting.toUpper(), entry, now, messages))
            log.WriteError(*error);
    }
}

Schedule::Schedule(const core::Folders& folders, core::EventLog& log,
                   const core::MessageTable& messages, PresetCatalog& presets)
    : folders_(folders), log_(log), messages_(messages), presets_(presets) {}

QString Schedule::scheduleFilePath() const {
    return folders_.inData(QStringLiteral("swl.sch"));
}

QString Schedule::lastRunsFilePath() const {
    return folders_.inData(QStringLiteral("swl.las"));
}

tschopt Schedule::entryAt(qsizetype index) const {
    // Every entry held was either formatted here or read back successfully on loading.
    return ParseScheduleEntry(entries_.at(index)).value_or(tschopt{});
}

void Schedule::insertStored(const tschdata& stored) {
    insertInOrder(entries_, stored);
}

void Schedule::insert(const tschopt& entry) {
    Q_ASSERT(entry.date.isValid());
    insertStored(FormatScheduleEntry(entry));
}

void Schedule::removeAt(qsizetype index) {
    entries_.removeAt(index);
}

void Schedule::removeEntriesFor(const QString& presetName) {
    entries_.removeIf([&](const tschdata& stored) { return stored.presname == presetName; });
    RefreshSchedule();
}

void Schedule::logFileError(QStringView key, std::initializer_list<QString> values) {
    log_.WriteError(messages_.text(u"schedulerword") +
                    core::formatMessage(messages_.text(key), values));
}

bool Schedule::isScheduledCommand(const QString& presname) {
    const QString command = presname.toUpper();
    if (exactCommands().contains(command) || command.startsWith(QLatin1String("/SENDLOG")))
        return true;
    const std::optional<QString> parameter = bracketedText(command);
    if (command.startsWith(QLatin1String("/UNSCHEDULE"))) {
        if (!parameter)
            return true;
        const std::optional<qint32> number = parseDecimal(*parameter);
        if (!number) {
            log_.WriteError(core::formatMessage(messages_.text(u"invalidparamexit"), {presname}));
            return false;
        }
        log_.WriteLog(QString::number(*number));
        return true;
    }
    if ((command.startsWith(QLatin1String("/EXECASYNC")) ||
         command.startsWith(QLatin1String("/EXECSYNC"))) &&
        parameter)
        return true;
    log_.WriteError(messages_.text(u"schedulerunknowncomm") + presname + QLatin1Char('.'));
    return false;
}

bool Schedule::isPresetName(const QString& presname) const {
    const QStringList names = presets_.presetNames();
    return std::any_of(names.begin(), names.end(), [&](const QString& name) {
        return name.compare(presname, Qt::CaseInsensitive) == 0;
    });
}

bool Schedule::AddScheduleEntry(tschopt entry) {
    // A line break would split the entry's line in swl.sch and forge lines in the log.
    if (core::holdsControlCharacter(entry.presname)) {
        log_.WriteError(messages_.text(u"schedulerword") +
                        core::formatMessage(messages_.text(u"nameholdscontrolchar"),
                                            {core::withVisibleControlCharacters(entry.presname)}));
        return false;
    }
    if (entry.presname.startsWith(QLatin1Char('/'))) {
        if (!isScheduledCommand(entry.presname))
            return false;
    } else if (!isPresetName(entry.presname)) {
        log_.WriteError(messages_.text(u"schedulernosuchpreset") + entry.presname +
                        QLatin1Char('.'));
        return false;
    }
    entry.dow = normalizedDayMask(entry.dow);
    const tschdata stored = FormatScheduleEntry(entry);
    insertStored(stored);
    RefreshSchedule();
    log_.WriteLog(messages_.text(u"scheduleradded") + entry.presname + QStringLiteral(" @ ") +
                  stored.date);
    if (additionObserver_)
        additionObserver_(stored);
    return true;
}

int Schedule::addRefreshObserver(std::function<void()> observer) {
    refreshObservers_.append({nextObserverKey_, std::move(observer)});
    return nextObserverKey_++;
}

void Schedule::removeRefreshObserver(int key) {
    refreshObservers_.removeIf([key](const auto& observer) { return observer.first == key; });
}

void Schedule::RefreshSchedule() {
    // Each preset shows the date of its earliest entry; names compare with letter case.
    QHash<QString, QString> earliest;
    for (const tschdata& stored : std::as_const(entries_)) {
        if (!earliest.contains(stored.presname))
            earliest.insert(stored.presname, stored.date);
    }
    const QStringList names = presets_.presetNames();
    for (int row = 0; row < names.size(); ++row)
        presets_.setNextRunText(row, earliest.value(names.at(row)));
    nextDue_ = entries_.isEmpty() ? QDateTime() : entryAt(0).date;
    SaveSchedule();
    // A copy: an observer may add or remove observers.
    const auto observers = refreshObservers_;
    for (const auto& observer : observers)
        observer.second();
}

void Schedule::SaveSchedule() {
    const QString path = scheduleFilePath();
    const platform::FileUpdateLock lock(path);
    if (!lock.isHeld())
        logFileError(u"filelockfailed", {lock.errorString()});
    // Other instances add entries between this instance's loads; writing the entries
    // held as they are would drop theirs.
    const std::optional<QList<tschdata>> onDisk = readScheduleFile(false);
    const QList<tschdata> merged =
        onDisk ? mergeScheduleChanges(synced_, entries_, *onDisk) : entries_;
    synced_ = entries_;
    if (merged.isEmpty()) {
        QFile file(path);
        if (file.exists() && !file.remove())
            logFileError(u"filecannotdelete", {path, file.errorString()});
        return;
    }
    QStringList lines;
    lines.reserve(merged.size());
    for (const tschdata& stored : merged)
        lines << FormatScheduleLine(stored);
    QString reason;
    if (!core::writeTextLinesAtomically(path, lines, &reason))
        logFileError(u"filecannotsave", {path, reason});
}

std::optional<QList<tschdata>> Schedule::readScheduleFile(bool logDropped) {
    const QString path = scheduleFilePath();
    if (!QFile::exists(path))
        return QList<tschdata>{};
    const std::optional<QStringList> lines = core::readTextLines(path);
    if (!lines) {
        logFileError(u"filecannotread", {path});
        return std::nullopt;
    }
    QList<tschdata> entries;
    for (const QString& line : *lines) {
        if (line.isEmpty())
            continue;
        const std::optional<tschopt> entry = ParseScheduleEntry(ParseScheduleLine(line));
        if (!entry) {
            if (logDropped)
                logFileError(u"scheduleentrydropped", {line});
            continue;
        }
        // Held in the form this program writes, so the order by date text holds and
        // entries compare equal with the ones held in memory.
        insertInOrder(entries, FormatScheduleEntry(*entry));
    }
    return entries;
}

void Schedule::LoadSchedule() {
    const platform::FileUpdateLock lock(scheduleFilePath());
    entries_ = readScheduleFile(true).value_or(QList<tschdata>{});
    synced_ = entries_;
}

void Schedule::SaveLastRuns() {
    const QString path = lastRunsFilePath();
    const platform::FileUpdateLock lock(path);
    if (!lock.isHeld())
        logFileError(u"filelockfailed", {lock.errorString()});
    const QStringList names = presets_.presetNames();
    if (names.isEmpty()) {
        QFile::remove(path);
        return;
    }
    // Another instance may have run a preset since this one read the file: the later
    // date text of the two is kept.
    if (const std::optional<QStringList> lines = core::readTextLines(path)) {
        for (const QString& line : *lines) {
            const QString name = textBetweenTags(line, u"<P>", u"</P>");
            const QString date = textBetweenTags(line, u"<D>", u"</D>");
            for (int row = 0; row < names.size(); ++row) {
                if (names.at(row).compare(name, Qt::CaseInsensitive) == 0 &&
                    date > presets_.lastRunText(row))
                    presets_.setLastRunText(row, date);
            }
        }
    }
    QStringList lines;
    lines.reserve(names.size());
    for (int row = 0; row < names.size(); ++row)
        lines << QStringLiteral("<D>") + presets_.lastRunText(row) + QStringLiteral("</D><P>") +
                     names.at(row) + QStringLiteral("</P>");
    QString reason;
    if (!core::writeTextLinesAtomically(path, lines, &reason))
        logFileError(u"filecannotsave", {path, reason});
}

void Schedule::LoadLastRuns() {
    const QStringList names = presets_.presetNames();
    const QString path = lastRunsFilePath();
    if (names.isEmpty() || !QFile::exists(path))
        return;
    const platform::FileUpdateLock lock(path);
    const std::optional<QStringList> lines = core::readTextLines(path);
    if (!lines)
        return;
    for (const QString& line : *lines) {
        const QString name = textBetweenTags(line, u"<P>", u"</P>");
        for (int row = 0; row < names.size(); ++row) {
            if (names.at(row).compare(name, Qt::CaseInsensitive) == 0) {
                presets_.setLastRunText(row, textBetweenTags(line, u"<D>", u"</D>"));
                break;
            }
        }
    }
}

} // namespace stowline::scheduler
