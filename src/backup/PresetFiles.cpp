#include "backup/PresetFiles.h"

#include "backup/PresetFields.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "core/StoredText.h"
#include "core/TextFiles.h"
#include "platform/Prompts.h"

#include <QFile>

namespace stowline::backup {

namespace {
const QString kSavePresetErrorText = QStringLiteral("Save preset error!");
const QString kFileVersionLine = QStringLiteral("ver 0");
constexpr int kKeyLength = 3;
} // namespace

QString formatHistoryStamp(const QDateTime& time) {
    const QString stamp = core::formatHistoryTime(time);
    // The stamp is a date format followed by an empty time format; the blank between
    // them is left out when the time of day is zero.
    return time.time() == QTime(0, 0) ? stamp : stamp + QLatin1Char(' ');
}

std::optional<QDateTime> parseHistoryStamp(const QString& text) {
    const QDateTime time =
        QDateTime::fromString(text.trimmed(), QLatin1String(core::kHistoryTimeFormat));
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString deliveryKindText(DeliveryKind kind) {
    switch (kind) {
    case DeliveryKind::Disc:
        return QStringLiteral("1-CD");
    case DeliveryKind::Mail:
        return QStringLiteral("2-SMTP");
    case DeliveryKind::Ftp:
        return QStringLiteral("3-FTP");
    case DeliveryKind::Copy:
        return QStringLiteral("4-COPY");
    }
    return {};
}

QString cleanerHistoryExtension(CleanerHistory history) {
    return QStringLiteral(".lg") + QLatin1Char(static_cast<char>(history));
}

PresetStore::PresetStore(const core::Folders& folders, const core::MessageTable& messages,
                         const core::Clock& clock, platform::Prompts& prompts)
    : folders_(folders), messages_(messages), clock_(clock), prompts_(prompts) {}

QString PresetStore::presetFilePath(const QString& name, const QString& extension) const {
    return folders_.presets + QLatin1Char('/') + name + extension;
}

QString PresetStore::defaultsFilePath() const {
    return folders_.inData(QStringLiteral("swl.pst"));
}

bool PresetStore::LoadPreset(const QString& name, tarcopt& preset) const {
    const QString path = name == QLatin1String(kDefaultsPresetName)
                             ? defaultsFilePath()
                             : presetFilePath(name, QStringLiteral(".pst"));
    const std::optional<QStringList> lines = core::readTextLines(path);
    if (!lines)
        return false;
    SetPresetDefaults(preset);
    for (const QString& stored : *lines) {
        const QString line = core::DecodeStoredText(stored);
        if (const PresetField* field = findPresetField(QStringView(line).left(kKeyLength)))
            assignPresetValue(preset, *field, line.mid(kKeyLength + 1));
    }
    return true;
}

QStringList PresetStore::presetFileLines(const tarcopt& preset,
                                         std::span<const char* const> keys) const {
    QStringList lines{kFileVersionLine};
    for (const char* key : keys) {
        const PresetField* field = findPresetField(QLatin1String(key));
        Q_ASSERT(field);
        QString value = presetValueText(preset, *field);
        const QLatin1String keyText(key);
        if (keyText == QLatin1String("vol")) {
            // The editor shows the volume words in the user's language; the file always
            // holds the English words.
            if (value == messages_.text(u"autowordtranslated"))
                value = QStringLiteral("Auto");
            else if (value == messages_.text(u"nonewordtranslated"))
                value = QStringLiteral("None");
        } else if (keyText == QLatin1String("pas") && preset.pwd.isEmpty()) {
            value = QStringLiteral("0");
        }
        lines << QLatin1String(key) + QLatin1Char(' ') + value;
    }
    return lines;
}

bool PresetStore::writeStoredLines(const QString& path, const QStringList& lines) const {
    QStringList stored;
    stored.reserve(lines.size());
    for (const QString& line : lines)
        stored << core::EncodeStoredText(line);
    return core::writeTextLinesAtomically(path, stored);
}

void PresetStore::reportSaveFailure() const {
    prompts_.showError(QLatin1Char('\n') + kSavePresetErrorText);
}

bool PresetStore::SavePreset(const QString& name, const tarcopt& preset,
                             const QStringList& includeLines, const QStringList& excludeLines,
                             const QStringList& notes, const QStringList& comment) const {
    const QString commentPath = presetFilePath(name, QStringLiteral(".cmt"));
    const bool saved =
        writeStoredLines(presetFilePath(name, QStringLiteral(".pst")),
                         presetFileLines(preset, presetFileKeyOrder())) &&
        core::writeTextLinesAtomically(presetFilePath(name, QStringLiteral(".inc")),
                                       includeLines) &&
        core::writeTextLinesAtomically(presetFilePath(name, QStringLiteral(".exc")),
                                       excludeLines) &&
        core::writeTextLinesAtomically(presetFilePath(name, QStringLiteral(".not")), notes) &&
        (comment.join(QLatin1Char('\n')).isEmpty()
             ? !QFile::exists(commentPath) || QFile::remove(commentPath)
             : core::writeTextLinesAtomically(commentPath, comment));
    if (!saved)
        reportSaveFailure();
    return saved;
}

bool PresetStore::SavePresetDefaults(const tarcopt& preset) const {
    const bool saved =
        writeStoredLines(defaultsFilePath(), presetFileLines(preset, defaultsFileKeyOrder()));
    if (!saved)
        reportSaveFailure();
    return saved;
}

bool PresetStore::insertAtTop(const QString& path, const QStringList& lines) const {
    const std::optional<QStringList> history =
        QFile::exists(path) ? core::readTextLines(path) : std::optional<QStringList>(QStringList());
    // A history that exists but cannot be read is never replaced by the new entry alone.
    if (!history)
        return false;
    return core::writeTextLinesAtomically(path, lines + *history);
}

bool PresetStore::AppendHistoryEntry(const QString& name, const QStringList& fileLines,
                                     CleanerHistory history) const {
    QStringList entry{formatHistoryStamp(clock_.now())};
    entry << fileLines << QString();
    return insertAtTop(presetFilePath(name, cleanerHistoryExtension(history)), entry);
}

bool PresetStore::AppendDeliveryHistory(const QString& name, DeliveryKind kind,
                                        const QString& location) const {
    return insertAtTop(presetFilePath(name, QStringLiteral(".hst")),
                       {formatHistoryStamp(clock_.now()) + QLatin1Char('\t') +
                        deliveryKindText(kind) + QLatin1Char('\t') + location});
}

} // namespace stowline::backup
