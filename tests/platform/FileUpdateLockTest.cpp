#include "platform/FileUpdateLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace stowline::platform;
using namespace std::chrono_literals;

namespace {

// flock() locks belong to an open file, so two locks in one process exclude each other
// just as two processes do.
TEST(FileUpdateLock, ExcludesASecondHolderUntilReleased) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("swl.sch"));
    std::optional<FileUpdateLock> first(std::in_place, file);
    ASSERT_TRUE(first->isHeld()) << first->errorString().toStdString();
    EXPECT_TRUE(QFile::exists(file + QStringLiteral(".lock")));
    EXPECT_FALSE(QFile::exists(file));

    QElapsedTimer waited;
    waited.start();
    const FileUpdateLock refused(file, 100ms);
    EXPECT_FALSE(refused.isHeld());
    EXPECT_GE(waited.elapsed(), 100);
    EXPECT_TRUE(refused.errorString().contains(QStringLiteral("swl.sch.lock")));

    first.reset();
    const FileUpdateLock next(file, 100ms);
    EXPECT_TRUE(next.isHeld());
}

TEST(FileUpdateLock, ReportsAFolderItCannotCreateTheLockIn) {
    QTemporaryDir dir;
    const FileUpdateLock lock(dir.filePath(QStringLiteral("missing/swl.sch")), 100ms);
    EXPECT_FALSE(lock.isHeld());
    EXPECT_FALSE(lock.errorString().isEmpty());
}

} // namespace
