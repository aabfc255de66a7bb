#include "backup/FileMove.h"

#include "QtPrinters.h"

#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stowline;

namespace {

QByteArray sample() {
    QByteArray bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i)
        bytes += static_cast<char>(i * 31);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(FileMove, MovesWithinAndAcrossFileSystems) {
    QTemporaryDir local;
    // /dev/shm is a separate tmpfs on Linux machines; the move then has to copy.
    QTemporaryDir shm(QStringLiteral("/dev/shm/stowline-move-XXXXXX"));
    ASSERT_TRUE(shm.isValid());
    const bool crossesFileSystems =
        QStorageInfo(shm.path()).device() != QStorageInfo(local.path()).device();
    const QByteArray bytes = sample();

    for (const QString& from :
         {local.filePath(QStringLiteral("a.zip")), shm.filePath(QStringLiteral("a.zip"))}) {
        const QString to = local.filePath(QStringLiteral("target-") + QString::number(qHash(from)));
        writeFile(from, bytes);
        QString error;
        ASSERT_TRUE(backup::moveFile(from, to, &error)) << error.toStdString();
        EXPECT_FALSE(QFile::exists(from));
        EXPECT_EQ(readFile(to), bytes);
    }
    EXPECT_TRUE(crossesFileSystems) << "the copy path was not exercised on this machine";
}

TEST(FileMove, NeverReplacesAnExistingTargetAndKeepsTheSourceOnFailure) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("new.zip"));
    const QString target = dir.filePath(QStringLiteral("old.zip"));
    writeFile(source, "new");
    writeFile(target, "old");
    EXPECT_FALSE(backup::moveFile(source, target));
    EXPECT_EQ(readFile(source), "new");
    EXPECT_EQ(readFile(target), "old");

    QString error;
    EXPECT_FALSE(
        backup::moveFile(source, dir.filePath(QStringLiteral("missing/sub/x.zip")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(source), "new");
}

TEST(FileMove, ACopyReportsItsBytesInStepsUpToTheWholeFile) {
    QTemporaryDir local;
    QTemporaryDir shm(QStringLiteral("/dev/shm/stowline-move-XXXXXX"));
    ASSERT_TRUE(shm.isValid());
    const qint64 size = 40 * 1024 * 1024 + 3;
    const QString from = shm.filePath(QStringLiteral("big.zip"));
    writeFile(from, QByteArray(size, 'x'));
    QList<qint64> reports;
    ASSERT_TRUE(backup::moveFile(from, local.filePath(QStringLiteral("big.zip")), nullptr,
                                 [&](qint64 copied) { reports << copied; }));
    ASSERT_GE(reports.size(), 3) << "a report per step of 16 MiB";
    for (qsizetype i = 1; i < reports.size(); ++i)
        EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_EQ(reports.last(), size);
}

} // namespace
