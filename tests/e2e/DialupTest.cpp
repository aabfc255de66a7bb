// The real program dials up before an FTP delivery: NetworkManager is python3-dbusmock on
// a private bus, the FTP server pyftpdlib on 127.0.0.1.
#include "ProgramRun.h"

#include "FtpSmtpServers.h"
#include "MockNetworkManager.h"
#include "QtPrinters.h"

#include "core/Options.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::e2e;
using protocols::test::FtpServer;
using stowline::testing::MockNetworkManager;

namespace {

TEST(Dialup, BusyLineIsRedialledAndTheArchiveGoesOutOverTheConnection) {
    MockNetworkManager manager;
    ASSERT_TRUE(manager.running()) << manager.error().toStdString();
    const QString device = manager.addDevice(QStringLiteral("ppp0"));
    manager.addProfile(QStringLiteral("Office"));
    manager.keepActivationsPending();
    ASSERT_TRUE(manager.running()) << manager.error().toStdString();

    BackupSandbox sandbox(QStringLiteral("notes.txt"), QByteArray(64 * 1024, 'n'));
    sandbox.useSystemBus(manager.address());
    ASSERT_TRUE(sandbox.settle());
    sandbox.changeOptions([](core::topt& options) {
        options.des = true;
        options.dha = true;
        options.dac = QStringLiteral("Office");
        options.dnr = 3;
        options.dwc = 60;
    });
    FtpServer ftp;
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source(),
                      {"ctf=0", "ftp=1", "fse=" + ftp.address(), "fus=user", "fpa=secret"});

    // The line: busy on the first dial, up on the second.
    std::unique_ptr<QTimer> line = manager.playBusyThenConnected(device);

    QProcess program;
    sandbox.start(program, {"/hide", "Docs", "/exit"});
    const QDeadlineTimer deadline(60000);
    while (program.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        program.waitForFinished(20);
    }
    line.reset();
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
        FAIL() << sandbox.logMessages().join('\n').toStdString();
    }

    const QStringList uploads = ftp.files();
    ASSERT_EQ(uploads.size(), 1) << sandbox.logMessages().join('\n').toStdString();
    const QString archive = uploads.first();
    QStringList messages = sandbox.logMessages();
    // Start-up reports itself ready while the run from the command line is under way.
    messages.removeAll(QStringLiteral("SWL is ready now."));
    qsizetype from = messages.size() - 1;
    while (from >= 0 && !messages[from].startsWith(QLatin1String("Docs: WinRAR - Done")))
        --from;
    ASSERT_GE(from, 0) << messages.join('\n').toStdString();
    const qsizetype to = messages.indexOf(QStringLiteral("Docs: Done."), from);
    ASSERT_GT(to, from) << messages.join('\n').toStdString();
    EXPECT_EQ(
        messages.mid(from + 1, to - from),
        (QStringList{
            "DIALUP - Dialing Office.", "DIALUP - Waiting for connection (60 seconds max).",
            "DIALUP - The line is busy. [!]", "DIALUP - Hanging up.",
            "DIALUP - Redialing Office [1/3].", "DIALUP - Waiting for connection (60 seconds max).",
            "DIALUP - Connected.", "Docs: FTP - Connecting to " + ftp.address() + ".",
            "Docs: FTP - Trying to upload \"" + archive + "\".",
            "Docs: FTP - Successfully uploaded \"" + archive + "\".", "Docs: FTP - Disconnected.",
            "DIALUP - Hanging up.", "Docs: Done."}));
    EXPECT_TRUE(manager.activeConnections().isEmpty()) << "hung up after the delivery";
}

} // namespace
