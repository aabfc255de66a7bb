#pragma once

#include <QStringList>

namespace stowline::testing {

// Event-log lines without their "[yyyy.mm.dd hh:nn:ss] " time stamps.
inline QStringList withoutTimeStamps(const QStringList& lines) {
    QStringList messages;
    messages.reserve(lines.size());
    for (const QString& line : lines)
        messages << line.mid(line.indexOf(QLatin1String("] ")) + 2);
    return messages;
}

} // namespace stowline::testing
