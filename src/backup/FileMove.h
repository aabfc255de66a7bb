#pragma once

#include <QString>

#include <functional>

namespace stowline::backup {

// Moves a file, also across file systems. Within one file system it is a rename.
// Across file systems the file is copied under a hidden name (".<name>.part") in the
// target's folder, flushed to disk, compared in size with the source and only then
// given the target's name, before the source is deleted; on any failure the source
// stays and the partial copy is removed. An existing target is never replaced: the caller decides
// about it first.
// `copied` hears the bytes copied so far while a copy runs.
bool moveFile(const QString& source, const QString& target, QString* error = nullptr,
              const std::function<void(qint64 copied)>& copied = {});

} // namespace stowline::backup
