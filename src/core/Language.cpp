#include "core/Language.h"

#include "core/MessageTable.h"
#include "core/Options.h"

#include <QDir>
#include <QFileInfo>

namespace stowline::core {

namespace {
const QChar kLineBreak = QLatin1Char('\r');

std::optional<LanguageFile> readLanguage(const QString& programFolder, const QString& name) {
    if (isBuiltInLanguage(name))
        return std::nullopt;
    const QString path = languageFilePath(programFolder, name);
    return path.isEmpty() ? LanguageFile() : LanguageFile::read(path);
}
} // namespace

bool isBuiltInLanguage(const QString& name) {
    return name == QLatin1String(kBuiltInLanguage);
}

QString languageFilePath(const QString& programFolder, const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return {};
    return programFolder + QLatin1Char('/') + name;
}

void LoadMessages(MessageTable& messages, const QString& programFolder, const QString& name) {
    const std::optional<LanguageFile> file = readLanguage(programFolder, name);
    if (!file)
        return;
    const LanguageSection& strings = file->section(u"STRINGS");
    for (const QString& key : MessageTable::keys())
        if (const std::optional<QString> text = strings.value(key))
            messages.replace(key, *text);
}

std::optional<LanguageSection> FormCaptions(const QString& programFolder, const QString& name) {
    const std::optional<LanguageFile> file = readLanguage(programFolder, name);
    if (!file)
        return std::nullopt;
    return file->section(u"FORMS");
}

LanguageInfo readLanguageInfo(const LanguageFile& file) {
    const LanguageSection& info = file.section(u"INFO");
    return {
        info.value(u"language", QStringLiteral("Unknown Language")),
        info.value(u"developer", QStringLiteral("Unknown Developer")),
        info.value(u"contacts", QStringLiteral("Unknown E-mail")),
        info.value(u"updated", QStringLiteral("Unknown update date")),
        info.value(u"compatibility", QStringLiteral("Unknown SWL version")),
    };
}

QString LanguageInformation(const MessageTable& messages, const QString& programFolder,
                            const QString& name) {
    const std::optional<LanguageFile> file = readLanguage(programFolder, name);
    if (!file)
        return kLineBreak + QStringLiteral("English (default): the texts built into Stowline.") +
               kLineBreak;
    const LanguageInfo info = readLanguageInfo(*file);
    return kLineBreak + messages.text(u"lngname") + info.language + kLineBreak +
           messages.text(u"lngdev") + info.developer + kLineBreak + messages.text(u"lngemail") +
           info.contacts + kLineBreak + messages.text(u"lngdate") + info.updated + kLineBreak +
           messages.text(u"lngswl") + info.compatibility + kLineBreak + kLineBreak +
           messages.text(u"lngreportmisprints") + kLineBreak;
}

QStringList availableLanguages(const QString& programFolder) {
    return QStringList{QString::fromLatin1(kBuiltInLanguage)} +
           QDir(programFolder).entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Unsorted);
}

bool ChooseLanguage(const QString& name, topt& options, MessageTable& messages,
                    const QString& programFolder, const LanguageChoiceHooks& hooks) {
    const bool builtIn = isBuiltInLanguage(name);
    const QString path = languageFilePath(programFolder, name);
    if (!builtIn && (path.isEmpty() || !QFileInfo(path).isFile())) {
        hooks.writeLog(errorMessage(formatMessage(messages.text(u"langdoesntexist"), {name})));
        return false;
    }
    options.lng = name;
    hooks.saveOptions(options);
    hooks.changeWindowCaptions(name);
    LoadMessages(messages, programFolder, name);
    hooks.writeLog(
        builtIn
            ? QStringLiteral("Default English language was set. Please restart to apply changes.")
            : messages.text(u"langwassetto") + name + QLatin1Char('.'));
    return true;
}

} // namespace stowline::core
