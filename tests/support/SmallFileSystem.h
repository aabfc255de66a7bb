#pragma once

#include <QString>

namespace stowline::testing {

// A small file system mounted on `mountPoint` for one test (needs root); unmounted when
// it goes.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& mountPoint, qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    bool remountReadOnly();

private:
    QString mountPoint_;
    bool mounted_ = false;
};

} // namespace stowline::testing
