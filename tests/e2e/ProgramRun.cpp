#include "ProgramRun.h"

#include "LogMessages.h"

#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/OptionsFile.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/HeadlessPrompts.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace stowline::e2e {

namespace {
// Calls `use` with the store of the presets in `dataFolder`, made as the program makes it.
template <typename Use> auto withPresetStore(const QString& dataFolder, Use use) {
    core::Folders folders;
    folders.data = dataFolder;
    folders.presets = dataFolder + QStringLiteral("/presets");
    QDir().mkpath(folders.presets);
    const core::MessageTable messages;
    const core::SystemClock clock;
    platform::HeadlessPrompts prompts;
    backup::PresetStore store(folders, messages, clock, prompts);
    return use(store);
}
} // namespace

ProgramSandbox::ProgramSandbox() {
    for (const char* folder : {"home", "runtime", "program", "tmp"})
        QDir(root_.path()).mkpath(QLatin1String(folder));
    QFile::setPermissions(path(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    core::writeTextLinesAtomically(programFolder() + QStringLiteral("/swlinfo.dat"),
                                   {dataFolder()});
}

QProcessEnvironment ProgramSandbox::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
    environment.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("STOWLINE_PROGRAM_DIR"), programFolder());
    environment.insert(QStringLiteral("STOWLINE_DRY_POWER"), QStringLiteral("1"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                       systemBus_.isEmpty()
                           ? QStringLiteral("unix:path=") + path(QStringLiteral("no-system-bus"))
                           : systemBus_);
    environment.insert(QStringLiteral("STOWLINE_REMOTE_ADDRESS"), QStringLiteral("127.0.0.1"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

void ProgramSandbox::start(QProcess& process, const QStringList& arguments) const {
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral(STOWLINE_BINARY), arguments);
    process.waitForStarted();
}

QStringList ProgramSandbox::logLines() const {
    return core::readTextLines(dataFolder() + QStringLiteral("/swl.log")).value_or(QStringList());
}

QStringList ProgramSandbox::logMessages() const {
    return stowline::testing::withoutTimeStamps(logLines());
}

void ProgramSandbox::addPreset(const QString& name, const QString& source,
                               const QStringList& fields) const {
    backup::tarcopt preset;
    backup::SetPresetDefaults(preset);
    preset.nam = name.toLower();
    preset.vol = QStringLiteral("None");
    preset.ctf = true;
    preset.dir = destination();
    for (const QString& field : fields) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        backup::assignPresetValue(preset, *backup::findPresetField(field.left(equals)),
                                  field.mid(equals + 1));
    }
    if (!withPresetStore(dataFolder(), [&](backup::PresetStore& store) {
            return store.SavePreset(name, preset, {source}, {}, {}, {});
        }))
        qFatal("Cannot store the preset %s in %s", qPrintable(name), qPrintable(dataFolder()));
}

bool ProgramSandbox::loadPreset(const QString& name, backup::tarcopt& preset) const {
    return withPresetStore(dataFolder(), [&](const backup::PresetStore& store) {
        return store.LoadPreset(name, preset);
    });
}

bool ProgramSandbox::runToEnd(QProcess& process, const QStringList& arguments,
                              int timeoutMs) const {
    start(process, arguments);
    if (process.waitForFinished(timeoutMs))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

bool ProgramSandbox::waitForLogLine(const QString& message, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (const QString& line : logLines())
            if (line.endsWith(QStringLiteral("] ") + message))
                return true;
        QThread::msleep(50);
    }
    return false;
}

BackupSandbox::BackupSandbox(const QString& file, const QByteArray& content) {
    QDir().mkpath(dataFolder());
    const QString filePath = source() + QLatin1Char('/') + file;
    QDir().mkpath(QFileInfo(filePath).path());
    QFile out(filePath);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
        qFatal("Cannot write the file to back up: %s", qPrintable(filePath));
}

bool BackupSandbox::settle() const {
    QProcess process;
    return runToEnd(process, {QStringLiteral("/hide"), QStringLiteral("/exit")});
}

void BackupSandbox::changeOptions(const std::function<void(core::topt&)>& change) const {
    core::topt options;
    core::LoadOptions(options, {programFolder(), dataFolder(), QSize()}, core::MessageTable(),
                      [](const QString&) {});
    change(options);
    if (!core::SaveOptions(options, dataFolder()))
        qFatal("Cannot store the options in %s", qPrintable(dataFolder()));
}

QProcessEnvironment withoutLeakCheck(QProcessEnvironment environment) {
    QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.isEmpty())
        asan += QLatin1Char(':');
    environment.insert(QStringLiteral("ASAN_OPTIONS"), asan + QStringLiteral("detect_leaks=0"));
    return environment;
}

} // namespace stowline::e2e
