#pragma once

#include "platform/InstanceLock.h"

#include <QString>

namespace stowline::platform {

// Holds an flock() on a per-user lock file. The kernel drops the lock when the process
// ends, so a crashed instance never blocks the next start.
class FileInstanceLock final : public InstanceLock {
public:
    // The lock file lives in $XDG_RUNTIME_DIR, else in the temporary folder.
    explicit FileInstanceLock(const QString& name);
    ~FileInstanceLock() override;
    FileInstanceLock(const FileInstanceLock&) = delete;
    FileInstanceLock& operator=(const FileInstanceLock&) = delete;

    bool tryAcquire() override;
    QString lockFilePath() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};

} // namespace stowline::platform
