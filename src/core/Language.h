#pragma once

#include "core/LanguageFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace stowline::core {

class MessageTable;
struct topt;

// The name that stands for the built-in English texts; no file of this name is ever
// read, even when one exists.
inline constexpr const char* kBuiltInLanguage = "English (default).lng";
bool isBuiltInLanguage(const QString& name);

// program folder + "/" + name. Empty when `name` is not a plain file name (it holds a
// folder separator or is "." or ".."), so a language name can never reach outside the
// program folder.
QString languageFilePath(const QString& programFolder, const QString& name);

// Replaces the text of every message whose key the STRINGS section of language `name`
// holds; other messages keep their current text. Does nothing for the built-in name; a
// missing or unreadable file changes nothing and reports nothing.
void LoadMessages(MessageTable& messages, const QString& programFolder, const QString& name);

// The FORMS section of language `name`, read by every window's ChangeLang; nothing for
// the built-in name (whose captions are the windows' own).
std::optional<LanguageSection> FormCaptions(const QString& programFolder, const QString& name);

// The INFO section with the texts shown for missing keys.
struct LanguageInfo {
    QString language;
    QString developer;
    QString contacts;
    QString updated;
    QString compatibility;
};
LanguageInfo readLanguageInfo(const LanguageFile& file);

// The language-information message of the settings dialog for language `name`: its
// INFO lines in the current message texts, or a short credit note for the built-in
// English texts. Lines are separated by carriage returns.
QString LanguageInformation(const MessageTable& messages, const QString& programFolder,
                            const QString& name);

// The choices of the settings dialog: the built-in name first, then every "*.lng" file
// of the program folder in the order the directory lists them.
QStringList availableLanguages(const QString& programFolder);

// What choosing a language needs from the rest of the program.
struct LanguageChoiceHooks {
    // SaveOptions with the program's data folder (and the preset list's column widths).
    std::function<bool(const topt& options)> saveOptions;
    // ChangeLang of the main window and of the scheduler window.
    std::function<void(const QString& name)> changeWindowCaptions;
    // EventLog::WriteLog.
    std::function<void(const QString& message)> writeLog;
};

// The command-line switch "/LANGUAGE(name)": when program folder + name exists or name is
// the built-in one, sets lng, saves the options, applies the language to the windows and
// the message table and logs "langwassetto" (or the fixed line for the built-in name);
// otherwise logs "langdoesntexist" as an error and changes nothing. True when chosen.
bool ChooseLanguage(const QString& name, topt& options, MessageTable& messages,
                    const QString& programFolder, const LanguageChoiceHooks& hooks);

} // namespace stowline::core
