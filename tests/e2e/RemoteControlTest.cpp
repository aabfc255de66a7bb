#include "ProgramRun.h"

#include "QtPrinters.h"
#include "core/Options.h"

#include <QFileInfo>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <csignal>

using namespace stowline::e2e;

namespace {

const QString kUser = QStringLiteral("admin");
const QString kPassword = QStringLiteral("s3cret");

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct ToolRun {
    int exitCode = -1;
    QByteArray output;
};

ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs = 60000) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished();
    }
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1, tool.readAll()};
}

// The program with its remote control on a free loopback port, and a preset Docs.
class RemoteControl : public ::testing::Test {
protected:
    void startProgram(const QString& login = kUser, const QString& password = kPassword) {
        sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
        ASSERT_TRUE(sandbox.settle());
        sandbox.changeOptions([&](stowline::core::topt& options) {
            options.rae = true;
            options.rap = QString::number(port);
            options.rlo = login;
            options.rpa = password;
        });
        sandbox.start(program, {QStringLiteral("/hide")});
    }
    void TearDown() override {
        if (program.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        if (!program.waitForFinished(15000))
            program.kill();
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
    }
    ToolRun curl(QStringList arguments) {
        arguments.prepend(QStringLiteral("--max-time"));
        arguments.insert(1, QStringLiteral("10"));
        return runTool(QStringLiteral("curl"), arguments);
    }

    BackupSandbox sandbox;
    quint16 port = freePort();
    QProcess program;
};

TEST_F(RemoteControl, CurlLogsInAndSendsACommandThatRuns) {
    startProgram();
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Started.")));
    const QStringList messages = sandbox.logMessages();
    EXPECT_TRUE(
        messages.contains(QStringLiteral("HTTP - Starting remote access on port %1.").arg(port)));
    EXPECT_TRUE(
        messages.contains(QStringLiteral("HTTP - Available as http://127.0.0.1:%1/").arg(port)));

    const ToolRun anonymous = curl({QStringLiteral("-si"), url("/log.htm")});
    EXPECT_TRUE(anonymous.output.startsWith("HTTP/1.1 401 Unauthorized\r\n"))
        << anonymous.output.constData();
    EXPECT_TRUE(anonymous.output.contains("\r\nWWW-Authenticate: Basic Realm=/log.htm\r\n"));

    curl({QStringLiteral("-s"), QStringLiteral("-u"), QStringLiteral("admin:wrong"), url("/")});
    EXPECT_TRUE(
        sandbox.waitForLogLine(QStringLiteral("HTTP - Authorization failed (127.0.0.1). [!]")));

    const ToolRun refused =
        curl({QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
              QStringLiteral("-w"), QStringLiteral("%{http_code}"), QStringLiteral("-d"),
              QStringLiteral("Command=/EXIT"), url("/cgi-bin/command")});
    EXPECT_EQ(refused.output, "401");

    const ToolRun sent = curl({QStringLiteral("-s"), QStringLiteral("-u"), kUser + ':' + kPassword,
                               QStringLiteral("-d"), QStringLiteral("Command=Docs&Submit=Send"),
                               url("/cgi-bin/command")});
    EXPECT_TRUE(sent.output.contains("Your command has been sent.")) << sent.output.constData();
    EXPECT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Received command: \"Docs\".")));
    EXPECT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: Done.")))
        << sandbox.logMessages().join('\n').toStdString();
    EXPECT_EQ(program.state(), QProcess::Running) << "the unauthenticated /EXIT did nothing";

    const ToolRun metrics =
        runTool(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(STOWLINE_E2E_DIR "/remote_metrics.py"), QString::number(port),
                 kUser, kPassword, sandbox.dataFolder(), QStringLiteral("Docs")});
    if (metrics.exitCode == 77)
        GTEST_SKIP() << metrics.output.constData();
    EXPECT_EQ(metrics.exitCode, 0) << metrics.output.constData();
}

TEST_F(RemoteControl, PythonClientChecksPagesFormsAndLimits) {
    startProgram();
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Started.")));
    const ToolRun client = runTool(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral(STOWLINE_E2E_DIR "/remote_client.py"),
                                    QString::number(port), kUser, kPassword});
    EXPECT_EQ(client.exitCode, 0) << client.output.constData();
    EXPECT_EQ(program.state(), QProcess::Running);
}

// The picture is kept when STOWLINE_SCREENSHOT_DIR names a folder (scripts/screenshot-remote.sh).
TEST_F(RemoteControl, ChromiumSendsACommandThroughTheControlPanel) {
    startProgram();
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Started.")));
    const QString folder = qEnvironmentVariable("STOWLINE_SCREENSHOT_DIR");
    const QString picture = (folder.isEmpty() ? sandbox.path(QString()) : folder) +
                            QStringLiteral("/remote-control.png");
    const ToolRun browser =
        runTool(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(STOWLINE_E2E_DIR "/remote_browser.py"), QString::number(port),
                 kUser, kPassword, sandbox.dataFolder(), QStringLiteral("Docs"), picture},
                120000);
    if (browser.exitCode == 77)
        GTEST_SKIP() << browser.output.constData();
    EXPECT_EQ(browser.exitCode, 0) << browser.output.constData();
    EXPECT_TRUE(QFileInfo(picture).size() > 0);
}

// Starting on a taken port, or without credentials, leaves the server stopped and says why.
TEST_F(RemoteControl, APortInUseIsNamed) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, port));
    startProgram();
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Unable to start server. [!]")));
    EXPECT_TRUE(sandbox.waitForLogLine(
        QStringLiteral("HTTP - Port %1 is already used by another application. [!]").arg(port)));
}

TEST_F(RemoteControl, NoCredentialsNoServer) {
    startProgram(QString(), QString());
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("HTTP - Unable to start server. [!]")));
    EXPECT_TRUE(sandbox.waitForLogLine(
        QStringLiteral("HTTP - No login name or password is set; the remote control is not "
                       "started without them. [!]")));
    EXPECT_EQ(curl({QStringLiteral("-s"), url("/")}).exitCode, 7) << "nothing listens";
}

} // namespace
