#include "platform/linux/XdgHelpViewer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

namespace stowline::platform {
namespace {

// A stand-in xdg-open on the search path that writes down its arguments, so no real
// browser is ever started.
class XdgHelpViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bin.isValid());
        savedPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8());
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    void installOpener() {
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/opened.tmp\"\n"
                     "mv \"${0%/*}/opened.tmp\" \"${0%/*}/opened\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        // The stand-in comes first; the system folders give it mv.
        qputenv("PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
    }
    QString opened() {
        QFile record(bin.filePath(QStringLiteral("opened")));
        const QDeadlineTimer deadline(5000);
        while (!record.exists() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }

    QTemporaryDir bin;
    QByteArray savedPath;
    XdgHelpViewer viewer;
};

TEST_F(XdgHelpViewerTest, HandsTheDocumentToXdgOpen) {
    installOpener();
    const QUrl page = QUrl::fromLocalFile(QStringLiteral("/opt/stow line/manual/index.htm"));
    EXPECT_TRUE(viewer.openDocument(page));
    EXPECT_EQ(opened(), QStringLiteral("file:///opt/stow%20line/manual/index.htm\n"));
}

TEST_F(XdgHelpViewerTest, FailsWithoutXdgOpen) {
    EXPECT_FALSE(viewer.openDocument(QUrl::fromLocalFile(QStringLiteral("/tmp/index.htm"))));
}

} // namespace
} // namespace stowline::platform
