// The real program writing its archives to an image file standing in for a disc, read
// back with xorriso.
#include "ProgramRun.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

using namespace stowline::e2e;

namespace {

QString xorriso(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("xorriso"), arguments);
    process.waitForFinished(60000);
    return QString::fromLocal8Bit(process.readAll());
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DiscDelivery, EachRunAddsASessionHoldingItsArchives) {
    if (QStandardPaths::findExecutable(QStringLiteral("xorriso")).isEmpty())
        GTEST_SKIP() << "xorriso is not installed";
    BackupSandbox sandbox(QStringLiteral("notes.txt"), QByteArray(256 * 1024, 'd'));
    ASSERT_TRUE(sandbox.settle());
    const QString image = sandbox.path(QStringLiteral("backup.iso"));
    // The copy task keeps the archives in the destination folder to compare with.
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source(),
                      {"cdw=1", "cdr=stdio:" + image, "cne=1", "cdv=1"});

    for (int run = 1; run <= 2; ++run) {
        QProcess program;
        ASSERT_TRUE(sandbox.runToEnd(program, {"/hide", "Docs", "/exit"}, 90000));
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(sandbox.logMessages().count("Docs: CD - Verifying done, all files are OK."), run)
            << sandbox.logMessages().join('\n').toStdString();
        // Archive names carry the time to the second.
        QThread::sleep(1);
    }

    const QString toc = xorriso({"-indev", "stdio:" + image, "-toc"});
    EXPECT_EQ(toc.count(QRegularExpression("^ISO session", QRegularExpression::MultilineOption)), 2)
        << toc.toStdString();
    const QString extracted = sandbox.path(QStringLiteral("extracted"));
    xorriso({"-osirrox", "on", "-indev", "stdio:" + image, "-extract", "/", extracted});
    const QStringList archives = QDir(sandbox.destination()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(archives.size(), 2);
    EXPECT_EQ(QDir(extracted).entryList(QDir::Files, QDir::Name), archives);
    for (const QString& name : archives)
        EXPECT_EQ(contentOf(extracted + '/' + name), contentOf(sandbox.destination() + '/' + name))
            << name.toStdString();
}

} // namespace
