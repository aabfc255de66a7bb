#pragma once

#include <QList>
#include <QString>

namespace stowline::testing {

// Names that hold a character which breaks or disguises a line: each must be refused
// wherever a name enters the program.
inline QList<QString> namesWithControlCharacters() {
    return {
        QStringLiteral("A\nB"),
        QStringLiteral("A\rB"),
        QStringLiteral("A\r\nB"),
        QStringLiteral("A\tB"),
        QStringLiteral("A") + QChar(0) + QStringLiteral("B"),
        QStringLiteral("A\x1b[2JB"),
        QStringLiteral("A\x7f"),
        QStringLiteral("A\u0085B"),
        QStringLiteral("A\u2028B"),
        QStringLiteral("A\u2029B"),
        QStringLiteral("\n"),
    };
}

} // namespace stowline::testing
