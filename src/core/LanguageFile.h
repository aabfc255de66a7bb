#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::core {

// One section of a language file. Keys are compared without regard to letter case, as
// the profile functions of the original platform do.
class LanguageSection {
public:
    // The value of `key`, or nothing when the section lacks it.
    std::optional<QString> value(QStringView key) const;
    // The value of `key`, or `current` when the section lacks it.
    QString value(QStringView key, const QString& current) const;
    bool isEmpty() const { return values_.isEmpty(); }

    // Keeps the first value of a key, as a profile lookup finds it first.
    void add(const QString& key, const QString& value);

private:
    QHash<QString, QString> values_; // keys case-folded
};

// A language file (".lng"): an INI text of "[SECTION]" lines followed by "key=value"
// lines. The sections used are "INFO", "STRINGS" and "FORMS".
//
// Values follow the profile-string rules: blanks around key and value are dropped and one
// pair of enclosing quotes (both single or both double) is removed. Then one more pair is
// removed when the value still begins and ends with the same quote character, so a
// translator keeps outer blanks with dialupword="DIALUP - " and ""x"" reads x. Lines
// beginning with ";" are comments; a section named twice adds its keys to the first.
class LanguageFile {
public:
    // A missing or unreadable file reads as an empty one.
    static LanguageFile read(const QString& path);
    static LanguageFile parse(const QStringList& lines);

    // The named section; an empty one when the file lacks it.
    const LanguageSection& section(QStringView name) const;

private:
    QHash<QString, LanguageSection> sections_; // names case-folded
};

// A raw value after the profile-string rules and the extra quote rule.
QString languageValue(QStringView raw);

} // namespace stowline::core
