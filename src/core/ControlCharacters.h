#pragma once

#include <QString>
#include <QStringView>

namespace stowline::core {

// The one rule for names and requests that enter the program (preset names, schedule
// requests, command-line arguments): a name must not hold a character that ends or
// disguises a line of swl.sch, swl.las or the event log. Those are the C0 and C1
// controls (line feed, carriage return, tab, NUL, U+0085 ...), DEL, and the line and
// paragraph separators U+2028 and U+2029.
bool holdsControlCharacter(QStringView text);

// `text` with each such character written as "<U+000A>", for a message that quotes a
// refused name without breaking its own line.
QString withVisibleControlCharacters(QStringView text);

} // namespace stowline::core
