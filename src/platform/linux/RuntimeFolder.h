#pragma once

#include <QDir>
#include <QString>

namespace stowline::platform {

// Where per-user runtime files (locks, sockets) live: $XDG_RUNTIME_DIR, else the
// temporary folder.
inline QString runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath();
}

} // namespace stowline::platform
