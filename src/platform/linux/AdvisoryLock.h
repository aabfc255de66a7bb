#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace stowline::platform {

// Holds an exclusive advisory lock (flock) on "<file>.lock" beside a shared file for
// its lifetime, so that the read-change-write of that file by several instances of the
// program happens one at a time. The kernel drops the lock when a holder dies. When the
// lock file cannot be opened the work goes on unlocked, as it did before locking.
class AdvisoryLock {
public:
    explicit AdvisoryLock(const QString& file) {
        const QByteArray path = QFile::encodeName(file + QStringLiteral(".lock"));
        descriptor_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor_ >= 0)
            while (::flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~AdvisoryLock() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    AdvisoryLock(const AdvisoryLock&) = delete;
    AdvisoryLock& operator=(const AdvisoryLock&) = delete;

    bool held() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

} // namespace stowline::platform
