#pragma once

#include <QString>

#include <algorithm>

namespace stowline::core {

// A control character (C0, DEL, C1) or a line or paragraph separator: in a name or a
// request it would split a line of swl.sch or forge a line of the event log.
inline bool isControlCharacter(QChar c) {
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

inline bool holdsControlCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

// The text with each control character shown as "?", fit for one log line.
inline QString withoutControlCharacters(QString text) {
    std::replace_if(text.begin(), text.end(), isControlCharacter, QLatin1Char('?'));
    return text;
}

} // namespace stowline::core
