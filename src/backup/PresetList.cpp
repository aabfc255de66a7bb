#include "backup/PresetList.h"

#include "core/ControlCharacters.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/Prompts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <array>

namespace stowline::backup {

namespace {
const QString kPresetSuffix = QStringLiteral(".pst");

// Every side file of a preset.
const std::array<const char*, 11> kSideFileExtensions = {
    ".pst", ".inc", ".exc", ".flt", ".not", ".cmt", ".bmp", ".hst", ".lgc", ".lgf", ".lgs"};

// Copied as text by a duplicate, in this order; the picture follows as bytes. The
// cleaner histories stay behind: the copy starts without earlier runs to clean up.
const std::array<const char*, 7> kDuplicatedTextExtensions = {".inc", ".exc", ".flt", ".pst",
                                                              ".not", ".cmt", ".hst"};
const std::array<const char*, 11> kRenamedExtensions = {
    ".inc", ".exc", ".flt", ".pst", ".lgc", ".lgs", ".lgf", ".not", ".cmt", ".hst", ".bmp"};
const std::array<const char*, 11> kDeletedExtensions = {
    ".inc", ".exc", ".flt", ".pst", ".not", ".cmt", ".lgc", ".lgf", ".lgs", ".hst", ".bmp"};

// Copies a text file line by line with CR LF line ends. Works on bytes, so text in any
// encoding is copied unchanged.
bool copyTextFile(const QString& source, const QString& target) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return false;
    QByteArray copy;
    copy.reserve(bytes.size() + bytes.size() / 16 + 2);
    for (const QByteArrayView line : core::splitLineBytes(bytes)) {
        copy += line;
        copy += "\r\n";
    }
    QSaveFile output(target);
    return output.open(QIODevice::WriteOnly) && output.write(copy) == copy.size() &&
           output.commit();
}

// Copies the picture byte for byte, replacing an existing target.
bool copyBinaryFile(const QString& source, const QString& target) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = input.readAll();
    QSaveFile output(target);
    return input.error() == QFileDevice::NoError && output.open(QIODevice::WriteOnly) &&
           output.write(bytes) == bytes.size() && output.commit();
}
} // namespace

PresetList::PresetList(const core::Folders& folders, const core::topt& options,
                       const core::MessageTable& messages, core::EventLog& log,
                       platform::Prompts& prompts, QObject* parent)
    : QObject(parent), folders_(folders), options_(options), messages_(messages), log_(log),
      prompts_(prompts) {}

QString PresetList::sideFilePath(const QString& name, const QString& extension) const {
    return folders_.presets + QLatin1Char('/') + name + extension;
}

bool PresetList::anySideFileExists(const QString& name) const {
    for (const char* extension : kSideFileExtensions)
        if (QFile::exists(sideFilePath(name, QLatin1String(extension))))
            return true;
    return false;
}

void PresetList::logError(QStringView messageKey) {
    log_.WriteError(messages_.text(messageKey));
}

bool PresetList::isValidPresetName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (core::holdsControlCharacter(name))
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return QStringView(u"\\/:*?\"<>|").contains(c); });
}

void PresetList::ScanPresets() {
    // One listing answers every "does name.inc exist" question: far cheaper than
    // asking the file system three times per preset.
    const QStringList files =
        QDir(folders_.presets).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    const QSet<QString> present(files.cbegin(), files.cend());
    const QString defaultPicture = folders_.inProgram(QStringLiteral("defpres.bmp"));
    const bool hasDefaultPicture = QFile::exists(defaultPicture);

    QList<PresetEntry> entries;
    for (const QString& file : files) {
        if (!file.endsWith(kPresetSuffix) || file.size() == kPresetSuffix.size())
            continue;
        const QString name = file.chopped(kPresetSuffix.size());
        // A line break in a name would split its lines in swl.sch and the event log.
        if (core::holdsControlCharacter(name)) {
            log_.WriteError(core::formatMessage(messages_.text(u"nameholdscontrolchar"),
                                                {core::withVisibleControlCharacters(name)}));
            continue;
        }
        if (!present.contains(name + QLatin1String(".inc")) ||
            !present.contains(name + QLatin1String(".exc")))
            continue;
        PresetEntry entry;
        entry.name = name;
        if (present.contains(name + QLatin1String(".bmp")))
            entry.picturePath = sideFilePath(name, QStringLiteral(".bmp"));
        else if (hasDefaultPicture)
            entry.picturePath = defaultPicture;
        entries << entry;
    }
    model_.replaceEntries(std::move(entries));
    emit listRebuilt();
    model_.applySortOptions(options_);
}

bool PresetList::confirmAdminPassword() {
    if (!options_.spm)
        return true;
    QString typed;
    if (!prompts_.askText(messages_.text(u"enteradminpassword"), QString(), typed, true))
        return false;
    if (typed != options_.sgp) {
        prompts_.showError(QLatin1Char('\n') + messages_.text(u"incorrectpassword"));
        return false;
    }
    return true;
}

bool PresetList::askNewName(QStringView captionKey, const QString& name, QString& newName) {
    newName = name;
    do {
        if (!prompts_.askText(messages_.text(captionKey), name, newName, false))
            return false;
    } while (newName.isEmpty());
    return true;
}

bool PresetList::NewPreset() {
    return confirmAdminPassword();
}

void PresetList::DuplicatePreset() {
    const QString name = model_.selectedPreset();
    QString newName;
    if (name.isEmpty() || !confirmAdminPassword() || !askNewName(u"duplicatepreset", name, newName))
        return;
    duplicatePresetAs(name, newName);
}

void PresetList::RenamePreset() {
    const QString name = model_.selectedPreset();
    QString newName;
    if (name.isEmpty() || !confirmAdminPassword() || !askNewName(u"renamepreset", name, newName))
        return;
    renamePresetAs(name, newName);
}

void PresetList::DeletePreset() {
    const QString name = model_.selectedPreset();
    if (name.isEmpty() || !prompts_.askYesNo(QLatin1Char('\n') + messages_.text(u"deletepreset")) ||
        !confirmAdminPassword())
        return;
    deletePresetFiles(name);
    emit presetDeleted(name);
    ScanPresets();
}

bool PresetList::duplicatePresetAs(const QString& name, const QString& newName) {
    // Copying onto a name in use would overwrite that preset, and removing a failed
    // copy would then delete it.
    if (!isValidPresetName(newName) || anySideFileExists(newName)) {
        logError(u"cantduplicate");
        return false;
    }
    for (const char* extension : kDuplicatedTextExtensions) {
        const QString source = sideFilePath(name, QLatin1String(extension));
        if (QFile::exists(source) &&
            !copyTextFile(source, sideFilePath(newName, QLatin1String(extension)))) {
            deletePresetFiles(newName);
            logError(u"cantduplicate");
            return false;
        }
    }
    // A picture that cannot be copied is not worth failing the duplicate for.
    const QString picture = sideFilePath(name, QStringLiteral(".bmp"));
    if (QFile::exists(picture))
        copyBinaryFile(picture, sideFilePath(newName, QStringLiteral(".bmp")));
    ScanPresets();
    return true;
}

bool PresetList::renamePresetAs(const QString& name, const QString& newName) {
    if (newName == name)
        return true;
    // Renaming onto a name in use would mix the side files of two presets.
    if (!isValidPresetName(newName) || anySideFileExists(newName)) {
        logError(u"cantrename");
        return false;
    }
    QList<const char*> moved;
    for (const char* extension : kRenamedExtensions) {
        const QString source = sideFilePath(name, QLatin1String(extension));
        if (!QFile::exists(source))
            continue;
        if (!QFile::rename(source, sideFilePath(newName, QLatin1String(extension)))) {
            // Put back what was moved, so that the preset stays whole under its old name.
            for (const char* done : moved)
                QFile::rename(sideFilePath(newName, QLatin1String(done)),
                              sideFilePath(name, QLatin1String(done)));
            logError(u"cantrename");
            return false;
        }
        moved << extension;
    }
    ScanPresets();
    return true;
}

void PresetList::deletePresetFiles(const QString& name) {
    // Files that cannot be deleted stay; nothing is reported.
    for (const char* extension : kDeletedExtensions)
        QFile::remove(sideFilePath(name, QLatin1String(extension)));
}

} // namespace stowline::backup
