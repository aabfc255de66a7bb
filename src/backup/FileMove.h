#pragma once

#include <QString>

#include <functional>

namespace stowline::backup {

// Moves a file, also across file systems. Within one file system it is a rename.
// Across file systems the file is copied, flushed to disk and its size compared with
// the source before the source is deleted; on any failure the source stays and a
// partial target is removed. An existing target is never replaced: the caller decides
// about it first.
// `copied` hears the bytes copied so far while a copy runs.
bool moveFile(const QString& source, const QString& target, QString* error = nullptr,
              const std::function<void(qint64 copied)>& copied = {});

} // namespace stowline::backup
