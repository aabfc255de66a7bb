#include "shell/WatcherTasks.h"

#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "scheduler/ScheduleEntry.h"

#include <QFile>

namespace stowline::shell {

namespace {

constexpr const char* kFileName = "swl.snt";
// Long past: the task reacts at once.
const QDateTime kNeverInactive = scheduler::wallClock(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The keys of one section, in the order they are written.
struct TaskKey {
    const char* key;
    QString (*write)(const tsnopt&);
    void (*read)(tsnopt&, const QString&);
};

bool readFlag(const QString& value) {
    return value != QLatin1String("0");
}

void readNumber(qint32& field, const QString& value) {
    if (const std::optional<qint32> number = scheduler::parseDecimal(value))
        field = *number;
}

const TaskKey kTaskKeys[] = {
    {"ENABLED", [](const tsnopt& t) { return flagText(t.enabled); },
     [](tsnopt& t, const QString& v) { t.enabled = readFlag(v); }},
    {"NAME", [](const tsnopt& t) { return t.name; },
     [](tsnopt& t, const QString& v) { t.name = v; }},
    {"PRESET", [](const tsnopt& t) { return t.preset; },
     [](tsnopt& t, const QString& v) { t.preset = v; }},
    {"FOLDER", [](const tsnopt& t) { return t.folder; },
     [](tsnopt& t, const QString& v) { t.folder = v; }},
    {"SUBFOLDERS", [](const tsnopt& t) { return flagText(t.subfolders); },
     [](tsnopt& t, const QString& v) { t.subfolders = readFlag(v); }},
    {"EXECDELAY", [](const tsnopt& t) { return QString::number(t.execDelay); },
     [](tsnopt& t, const QString& v) { readNumber(t.execDelay, v); }},
    {"INACTIVEDELAY", [](const tsnopt& t) { return QString::number(t.inactiveDelay); },
     [](tsnopt& t, const QString& v) { readNumber(t.inactiveDelay, v); }},
    {"INACTIVETILL", [](const tsnopt& t) { return scheduler::FormatScheduleDate(t.inactiveTill); },
     [](tsnopt& t, const QString& v) {
         if (const std::optional<QDateTime> date = scheduler::ParseScheduleDate(v))
             t.inactiveTill = *date;
     }},
    {"CFN", [](const tsnopt& t) { return flagText(t.cfn); },
     [](tsnopt& t, const QString& v) { t.cfn = readFlag(v); }},
    {"CDN", [](const tsnopt& t) { return flagText(t.cdn); },
     [](tsnopt& t, const QString& v) { t.cdn = readFlag(v); }},
    {"CSZ", [](const tsnopt& t) { return flagText(t.csz); },
     [](tsnopt& t, const QString& v) { t.csz = readFlag(v); }},
    {"CLW", [](const tsnopt& t) { return flagText(t.clw); },
     [](tsnopt& t, const QString& v) { t.clw = readFlag(v); }},
    {"CAT", [](const tsnopt& t) { return flagText(t.cat); },
     [](tsnopt& t, const QString& v) { t.cat = readFlag(v); }},
};

// "TASK3" gives 3; anything else 0.
int sectionSlot(QStringView section) {
    if (!section.startsWith(QLatin1String("TASK"), Qt::CaseInsensitive) || section.size() != 5)
        return 0;
    const int digit = section.at(4).digitValue();
    return digit >= 1 && digit <= kWatcherSlots ? digit : 0;
}

const TaskKey* findKey(QStringView name) {
    for (const TaskKey& key : kTaskKeys) {
        if (name.compare(QLatin1String(key.key), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

} // namespace

tsnopt defaultWatcherTask(int slot) {
    tsnopt task;
    task.name = QStringLiteral("Task %1").arg(slot);
    task.inactiveTill = kNeverInactive;
    return task;
}

QString formatWatcherTasks(const WatcherTaskArray& tasks) {
    QString text;
    for (int slot = 1; slot <= kWatcherSlots; ++slot) {
        text += QStringLiteral("[TASK%1]\r\n").arg(slot);
        for (const TaskKey& key : kTaskKeys)
            text += QLatin1String(key.key) + QLatin1Char('=') +
                    key.write(tasks[std::size_t(slot - 1)]) + QLatin1String("\r\n");
    }
    return text;
}

WatcherTaskArray parseWatcherTasks(QStringView text) {
    WatcherTaskArray tasks;
    for (int slot = 1; slot <= kWatcherSlots; ++slot)
        tasks[std::size_t(slot - 1)] = defaultWatcherTask(slot);
    // A key read once is not read again: the first of two equal keys counts, as in the
    // platform's profile reader.
    std::array<QList<const TaskKey*>, kWatcherSlots> seen;
    int slot = 0;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            slot = close > 0 ? sectionSlot(line.mid(1, close - 1).trimmed()) : 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (slot == 0 || equals < 0)
            continue;
        const TaskKey* key = findKey(line.left(equals).trimmed());
        QList<const TaskKey*>& keysSeen = seen[std::size_t(slot - 1)];
        if (!key || keysSeen.contains(key))
            continue;
        keysSeen << key;
        key->read(tasks[std::size_t(slot - 1)], line.mid(equals + 1).trimmed().toString());
    }
    return tasks;
}

QString watcherTasksPath(const core::Folders& folders) {
    return folders.inData(QLatin1String(kFileName));
}

WatcherTaskArray LoadWatcherTasks(const core::Folders& folders) {
    const QString path = watcherTasksPath(folders);
    const QString older = folders.inProgram(QLatin1String(kFileName));
    if (!QFile::exists(path) && older != path && QFile::exists(older)) {
        // Moved rather than copied, so that the old file can never be read again over
        // newer settings; a copy is the fallback when the program folder is read-only.
        if (!QFile::rename(older, path))
            QFile::copy(older, path);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return parseWatcherTasks(QString());
    return parseWatcherTasks(QString::fromUtf8(file.readAll()));
}

bool SaveWatcherTasks(const core::Folders& folders, const WatcherTaskArray& tasks, QString* error) {
    QStringList lines = formatWatcherTasks(tasks).split(QLatin1String("\r\n"));
    lines.removeLast();
    return core::writeTextLinesAtomically(watcherTasksPath(folders), lines, error);
}

} // namespace stowline::shell
