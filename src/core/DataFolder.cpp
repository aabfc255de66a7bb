#include "core/DataFolder.h"

#include "core/EnvironmentText.h"
#include "core/TextFiles.h"
#include "platform/SystemPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace stowline::core {

namespace {
const QString kInfoFileName = QStringLiteral("swlinfo.dat");

// Files of the older layout that lived beside the executable.
const char* const kOldLayoutFiles[] = {"swl.ocs", "swl.log", "swl.opt",   "swl.sch",
                                       "swl.las", "swl.pst", "winrar.log"};

void moveIfAbsent(const QString& source, const QString& target) {
    if (QFileInfo::exists(source) && !QFileInfo::exists(target))
        QFile::rename(source, target);
}
} // namespace

DataFolderSetup::DataFolderSetup(const platform::SystemPaths& paths) : paths_(paths) {}

QString DataFolderSetup::infoFilePath() const {
    const QString program = paths_.programFolder();
    const QString beside = program + QLatin1Char('/') + kInfoFileName;
    if (QFileInfo::exists(beside) || QFileInfo(program).isWritable())
        return beside;
    return paths_.fallbackInfoFolder() + QLatin1Char('/') + kInfoFileName;
}

QString DataFolderSetup::recordedDataFolder() const {
    return readFirstLine(infoFilePath()).value_or(QString());
}

QString DataFolderSetup::allUsersFolder() const {
    return ExpandEnvironmentText(paths_.allUsersDataFolder());
}

QString DataFolderSetup::thisUserFolder() const {
    return ExpandEnvironmentText(paths_.thisUserDataFolder());
}

DataFolderSetup::Choice DataFolderSetup::choose(const QString& folder, bool createFolder) const {
    if (createFolder && !QDir().mkpath(folder))
        return {false, QStringLiteral("Cannot create this folder")};
    const QString infoFile = infoFilePath();
    QDir().mkpath(QFileInfo(infoFile).path());
    if (!writeTextLinesAtomically(infoFile, {folder}))
        return {true, QStringLiteral("Error: ") + infoFile +
                          QStringLiteral(" is not writable. Rus installation as administrator!")};
    return {true, {}};
}

void DataFolderSetup::migrateOldLayout(const QString& dataFolder) const {
    const QString program = paths_.programFolder();
    QDir().mkpath(dataFolder + QStringLiteral("/presets"));
    for (const char* name : kOldLayoutFiles)
        moveIfAbsent(program + QLatin1Char('/') + QLatin1String(name),
                     dataFolder + QLatin1Char('/') + QLatin1String(name));
    const QDir oldPresets(program + QStringLiteral("/presets"));
    for (const QString& name : oldPresets.entryList(QDir::Files))
        moveIfAbsent(oldPresets.filePath(name), dataFolder + QStringLiteral("/presets/") + name);
}

bool writeRunFile(const QString& dataFolder, const QDate& today) {
    return writeTextLinesAtomically(dataFolder + QStringLiteral("/swl.run"),
                                    {QLocale::system().toString(today, QLocale::ShortFormat)});
}

QString dataPathInvalidMessage(const QString& dataFolder) {
    return QStringLiteral("Data path is invalid (") + dataFolder +
           QStringLiteral("). Please specify correct data path.");
}

QString dataFolderNotWritableMessage(const QString& dataFolder, const QString& programFolder,
                                     const QString& infoFile) {
    const QString quote = QStringLiteral("\"");
    return QStringLiteral("The folder ") + quote + dataFolder + quote +
           QStringLiteral(" is not writeable under this user account.\n\n") +
           QStringLiteral("Solutions: 1) Fast, all settings will be lost: delete ") + quote +
           programFolder + quote +
           QStringLiteral(", reinstall SWL with admin rights and select a writeable folder for "
                          "SWL settings.\n\n") +
           QStringLiteral("OR 2) Manual, all settings will be kept: edit ") + infoFile +
           QStringLiteral(", write a correct folder name in the first line and copy "
                          "all the files from old settings folder (") +
           quote + dataFolder + quote + QStringLiteral(") to the new one manually.");
}

} // namespace stowline::core
