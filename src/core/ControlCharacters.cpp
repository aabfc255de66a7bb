#include "core/ControlCharacters.h"

#include <algorithm>

namespace stowline::core {

namespace {
bool isControlCharacter(QChar c) {
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}
} // namespace

bool holdsControlCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

QString withVisibleControlCharacters(QStringView text) {
    QString visible;
    visible.reserve(text.size());
    for (const QChar c : text) {
        if (isControlCharacter(c))
            visible += QStringLiteral("<U+%1>").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        else
            visible += c;
    }
    return visible;
}

} // namespace stowline::core
