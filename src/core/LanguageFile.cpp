#include "core/LanguageFile.h"

#include "core/TextFiles.h"

namespace stowline::core {

namespace {
QString folded(QStringView text) {
    return text.toString().toCaseFolded();
}

bool isQuote(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// Blanks, tabs and stray carriage returns; not every kind of white space, so that a
// translation may end in a no-break space.
QStringView trimmedBlanks(QStringView text) {
    const auto isBlank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
    };
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}
} // namespace

std::optional<QString> LanguageSection::value(QStringView key) const {
    const auto found = values_.constFind(folded(key));
    if (found == values_.constEnd())
        return std::nullopt;
    return *found;
}

QString LanguageSection::value(QStringView key, const QString& current) const {
    return value(key).value_or(current);
}

void LanguageSection::add(const QString& key, const QString& value) {
    const QString foldedKey = folded(key);
    if (!values_.contains(foldedKey))
        values_.insert(foldedKey, value);
}

QString languageValue(QStringView raw) {
    QStringView value = trimmedBlanks(raw);
    // The profile rule: a quote at the start and the same quote at the end, two
    // characters at least.
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    // The program's own rule after it; a lone quote character counts as both ends.
    if (!value.isEmpty() && isQuote(value.front()) && value.back() == value.front())
        value = value.size() >= 2 ? value.mid(1, value.size() - 2) : QStringView();
    return value.toString();
}

LanguageFile LanguageFile::read(const QString& path) {
    return parse(readTextLines(path).value_or(QStringList()));
}

LanguageFile LanguageFile::parse(const QStringList& lines) {
    LanguageFile file;
    LanguageSection* current = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView line = lines.at(i);
        // A byte-order mark that a text editor may have put at the start of the file.
        if (i == 0 && line.startsWith(QChar(0xFEFF)))
            line = line.mid(1);
        line = trimmedBlanks(line);
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QStringView name =
                trimmedBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1));
            current = &file.sections_[folded(name)];
            continue;
        }
        if (!current || line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QStringView key = trimmedBlanks(line.left(equals));
        if (!key.isEmpty())
            current->add(key.toString(), languageValue(line.mid(equals + 1)));
    }
    return file;
}

const LanguageSection& LanguageFile::section(QStringView name) const {
    static const LanguageSection empty;
    const auto found = sections_.constFind(folded(name));
    return found == sections_.constEnd() ? empty : *found;
}

} // namespace stowline::core
