#pragma once

#include <QString>

#include <chrono>

namespace stowline::platform {

// Serialises read-change-write cycles of one data file between processes: an advisory
// lock on "<file>.lock" beside it, held from construction until destruction. The lock
// file is not the data file itself because the data file is replaced by renaming a new
// file over it, and a lock on the old file would not cover the new one. Readers and
// writers of the file take the lock, re-read the file under it and write it back before
// letting go.
//
// Waits for another holder up to `timeout`; a holder that hangs longer does not hold the
// program up, the lock is then not held (isHeld() false, errorString() says why) and
// the caller decides whether to go on. The kernel drops the lock when a holder dies.
class FileUpdateLock final {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    explicit FileUpdateLock(const QString& filePath,
                            std::chrono::milliseconds timeout = kDefaultTimeout);
    ~FileUpdateLock();
    FileUpdateLock(const FileUpdateLock&) = delete;
    FileUpdateLock& operator=(const FileUpdateLock&) = delete;

    bool isHeld() const { return fd_ >= 0; }
    QString errorString() const { return error_; }
    static QString lockFilePath(const QString& filePath);

private:
    int fd_ = -1;
    QString error_;
};

} // namespace stowline::platform
