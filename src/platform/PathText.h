#pragma once

#include <QString>

namespace stowline::platform {

// The path without trailing separators ("/" itself stays).
inline QString withoutTrailingSeparator(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace stowline::platform
