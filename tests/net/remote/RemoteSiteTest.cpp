#include "net/remote/RemoteSite.h"
#include "QtPrinters.h"
#include "SchedulerTestSupport.h"
#include "backup/PresetFiles.h"
#include "backup/PresetListModel.h"
#include "net/remote/RemoteAccess.h"
#include "platform/HeadlessPrompts.h"

#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace stowline::remote {
namespace {

using protocols::HttpReply;
using protocols::HttpRequest;
using scheduler::testing::at;
using scheduler::testing::InstanceState;

QByteArray basic(const QByteArray& credential) {
    return "Basic " + credential.toBase64();
}

class RemoteSiteTest : public ::testing::Test {
protected:
    RemoteSiteTest() {
        state.options.rlo = QStringLiteral("admin");
        state.options.rpa = QStringLiteral("s3cret");
        presets.replaceEntries(
            {{QStringLiteral("Docs"), {}, QStringLiteral("2016.03.17 22:00:00 "), {}},
             {QStringLiteral("Mail & <Co>"), {}, {}, {}}});
    }

    HttpReply get(const QByteArray& path, const QByteArray& authorization = "admin:s3cret") {
        return send("GET", path, {}, authorization);
    }
    HttpReply post(const QByteArray& path, const QByteArray& body,
                   const QByteArray& authorization = "admin:s3cret") {
        HttpReply reply = send("POST", path, body, authorization);
        if (reply.afterSent)
            reply.afterSent();
        return reply;
    }
    HttpReply send(const QByteArray& method, const QByteArray& path, const QByteArray& body,
                   const QByteArray& authorization) {
        HttpRequest request;
        request.method = method;
        request.target = path;
        request.version = "HTTP/1.1";
        request.clientAddress = QStringLiteral("127.0.0.1");
        if (!authorization.isNull())
            request.headers.append({"Authorization", basic(authorization)});
        request.body = body;
        return site.handle(request);
    }
    QString page(const QByteArray& path) { return QString::fromUtf8(get(path).body); }

    QTemporaryDir dir;
    InstanceState state{
        dir.path(), {QStringLiteral("Docs"), QStringLiteral("Mail & <Co>")}, at(3, 9, 5, 7)};
    backup::PresetListModel presets;
    platform::HeadlessPrompts prompts;
    backup::PresetStore store{state.folders, state.messages, state.clock, prompts};
    platform::RecordingPowerActions power;
    RemoteSite site{RemoteServices{state.flags, state.folders, state.options, state.messages,
                                   state.log, state.clock, state.schedule, presets, store, power}};
};

const QString kHeadTail = QStringLiteral("</HEAD><body bgcolor=\"#FFFFFF\" text=\"#000000\">");
const QString kTimeLine =
    QStringLiteral("Local server time: 2016.03.03 09:05:07 . Refresh interval: 0 seconds.");

TEST_F(RemoteSiteTest, PagesHaveTheirExactBytes) {
    state.log.WriteLog(QStringLiteral("First."));
    state.log.WriteError(QStringLiteral("Broken"));
    QFile winrarLog(state.folders.inData(QStringLiteral("winrar.log")));
    struct Case {
        const char* path;
        std::function<void()> arrange;
        QString expected;
    };
    const Case cases[] = {
        {"/",
         {},
         QStringLiteral("<HTML><HEAD><TITLE>SWL remote control</TITLE></HEAD><BODY><H2>SWL "
                        "remote control</H2>") +
             kTimeLine +
             QStringLiteral(
                 "<BR><BR><b><A HREF=\"/cp.htm\" target=\"_blank\">Control panel</A><BR><A "
                 "HREF=\"/schedule.htm\" target=\"_blank\">View the preset list and the "
                 "schedule</A><BR><A HREF=\"/rarlog.htm\" target=\"_blank\">View WinRAR error "
                 "log</A></b><BR><BR><A HREF=\"/command.htm\" "
                 "target=\"_blank\">Command/options only</A><BR><A HREF=\"/log.htm\" "
                 "target=\"_blank\">View SWL log only</A><BR></BODY></HTML>")},
        {"/cp.htm",
         {},
         QStringLiteral(
             "<html><head><title>SWL Remote Access</title><meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=windows-1251\"></head><frameset rows=\"60,*\" "
             "frameborder=\"YES\" border=\"0\" framespacing=\"0\"><frame name=\"mainFrame\" "
             "src=\"command.htm\"><frame name=\"bottomFrame\" scrolling=\"YES\" "
             "src=\"log.htm\"></frameset><noframes><body bgcolor=\"#FFFFFF\" "
             "text=\"#000000\"></body></noframes></html>")},
        {"/command.htm",
         {},
         QStringLiteral(
             "<html><head><title>SWL Control Panel</title><meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=windows-1251\"></head><body bgcolor=\"#FFFFFF\" "
             "text=\"#000000\"><table width=\"100%\" border=\"0\">  <tr>    <td width=\"50%\" "
             "height=\"26\"><FORM METHOD=\"POST\" ACTION=\"/cgi-bin/command\">        "
             "&nbsp;Command: &nbsp;        <input type=\"TEXT\" name=\"Command\" "
             "size=\"20\">&nbsp; <input type=\"SUBMIT\" name=\"Submit\" "
             "value=\"Send\"></FORM></td><td width=\"50%\" height=\"0\"><FORM METHOD=\"POST\" "
             "ACTION=\"/cgi-bin/logsetup\">        <div align=\"right\">Lines: &nbsp;<input "
             "type=\"TEXT\" name=\"Lines\" maxlength=\"5\" value=\"25\" size=\"5\"> "
             "&nbsp;Refresh: &nbsp;<input type=\"TEXT\" name=\"Refresh\" maxlength=\"5\" "
             "value=\"0\" size=\"5\"> &nbsp;<input type=\"SUBMIT\" name=\"Submit2\" "
             "value=\"Update\">          &nbsp; </div>      </FORM>    </td>    </tr>  "
             "</table>  </BODY></HTML>")},
        {"/LOG.HTM",
         {},
         QStringLiteral("<HTML><HEAD><TITLE>Stowline log file.</TITLE>") + kHeadTail +
             QStringLiteral("<H2>Stowline log file.</H2>") + kTimeLine +
             QStringLiteral("<BR><BR><font size=\"-1\"><FONT color=\"#000000\">[2016.03.03 "
                            "09:05:07] First.</FONT><BR><FONT color=\"#CC0000\">[2016.03.03 "
                            "09:05:07] Broken [!]</FONT><BR></BODY></HTML>")},
        {"/rarlog.htm",
         {},
         QStringLiteral("<HTML><HEAD><TITLE>SWL WinRAR error log file</TITLE>") + kHeadTail +
             QStringLiteral("<H2>SWL WinRAR error log file</H2>") + kTimeLine +
             QStringLiteral("<BR><BR><font size=\"-1\">File \"winrar.log\" doesn't exist, "
                            "possibly no WinRAR errors have occurred yet.</BODY></HTML>")},
        {"/rarlog.htm",
         [&] {
             ASSERT_TRUE(winrarLog.open(QIODevice::WriteOnly));
             winrarLog.write("ERROR: <disk> full\r\n");
             winrarLog.close();
         },
         QStringLiteral("<HTML><HEAD><TITLE>SWL WinRAR error log file</TITLE>") + kHeadTail +
             QStringLiteral("<H2>SWL WinRAR error log file</H2>") + kTimeLine +
             QStringLiteral("<BR><BR><font size=\"-1\"><FONT color=\"#000000\">ERROR: "
                            "&lt;disk&gt; full</FONT><BR></BODY></HTML>")},
        {"/schedule.htm",
         {},
         QStringLiteral("<HTML><HEAD><TITLE>SWL schedule and available presets</TITLE>") +
             kHeadTail + QStringLiteral("<H2>SWL schedule and available presets</H2>") + kTimeLine +
             QStringLiteral(
                 "<BR><BR>The schedule is empty.<BR>The following presets are available for "
                 "scheduling:<BR><BR><table width=\"100%\" border=\"1\"><tr><td "
                 "width=\"60%\"><div align=\"center\"><b>Preset name</b></div></td><td "
                 "width=\"20%\"><div align=\"center\"><b>Scheduled execution</b></div></td><td "
                 "width=\"20%\"><div align=\"center\"><b>Previous "
                 "execution</b></div></td></tr><tr><td width=\"60%\">Docs</td><td "
                 "width=\"20%\"></td><td width=\"20%\">2016.03.17 22:00:00 </td></tr><tr><td "
                 "width=\"60%\">Mail &amp; &lt;Co&gt;</td><td width=\"20%\"></td><td "
                 "width=\"20%\"></td></tr></table></BODY></HTML>")},
        {"/schedule.htm",
         [&] {
             scheduler::tschopt entry;
             entry.date = at(4, 2);
             entry.presname = QStringLiteral("Mail & <Co>");
             entry.repeat = -1;
             entry.interval = 1440;
             state.schedule.AddScheduleEntry(entry);
             presets.replaceEntries({});
         },
         QStringLiteral("<HTML><HEAD><TITLE>SWL schedule and available presets</TITLE>") +
             kHeadTail + QStringLiteral("<H2>SWL schedule and available presets</H2>") + kTimeLine +
             QStringLiteral(
                 "<BR><BR><BR>The following presets are currently scheduled:<BR><BR><table "
                 "width=\"100%\" border=\"1\"><tr><td width=\"5%\"><div "
                 "align=\"center\"><b>#</b></div></td><td width=\"20%\"><div "
                 "align=\"center\"><b>Date and time</b></div></td><td width=\"25%\"><div "
                 "align=\"center\"><b>Preset name</b></div></td><td width=\"50%\"><div "
                 "align=\"center\"><b>Options</b></div></td></tr><tr><td width=\"5%\">1<td "
                 "width=\"20%\">2016.03.04 02:00:00 </td><td width=\"25%\">Mail &amp; "
                 "&lt;Co&gt;</td><td width=\"50%\">REPEAT=-1 INTERVAL=1440 PRECISE=1 "
                 "ONDELAY=0 DOW=11111110</td></tr></table>There are no presets "
                 "available.</BODY></HTML>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.arrange)
            c.arrange();
        const HttpReply reply = get(c.path);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(QString::fromUtf8(reply.body), c.expected);
    }
}

TEST_F(RemoteSiteTest, CredentialsAreCheckedOnPagesAndPosts) {
    struct Case {
        const char* name;
        QByteArray method;
        QByteArray authorization;
        int status;
        bool logsFailure;
    };
    const Case cases[] = {
        {"right credential", "GET", "admin:s3cret", 200, false},
        {"no header", "GET", QByteArray(), 401, false},
        {"wrong password", "GET", "admin:guess", 401, true},
        {"password case counts", "GET", "admin:S3CRET", 401, true},
        {"longer guess", "GET", "admin:s3cret2", 401, true},
        {"post without header", "POST", QByteArray(), 401, false},
        {"post with wrong password", "POST", "admin:x", 401, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.clock.advanceSeconds(RemoteSite::kFailedLoginWindowSeconds);
        const qsizetype linesBefore = state.log.model().lines().size();
        HttpReply reply = send(c.method, c.method == "GET" ? "/log.htm" : "/cgi-bin/command",
                               "Command=Docs", c.authorization);
        if (reply.afterSent)
            reply.afterSent();
        EXPECT_EQ(reply.status, c.status);
        const QStringList added = state.logMessages().mid(linesBefore);
        if (c.status == 401) {
            EXPECT_EQ(reply.headers.value(0).second,
                      c.method == "GET" ? QByteArray("Basic Realm=/log.htm")
                                        : QByteArray("Basic Realm=/cgi-bin/command"));
            EXPECT_TRUE(reply.body.contains("You are not authorized to use this resource."));
            EXPECT_EQ(added, c.logsFailure ? QStringList{QStringLiteral(
                                                 "HTTP - Authorization failed (127.0.0.1). [!]")}
                                           : QStringList{});
            EXPECT_TRUE(state.schedule.isEmpty()) << "a refused post changes nothing";
        }
    }
}

TEST_F(RemoteSiteTest, EmptyLoginOpensThePagesWithASingleColon) {
    state.options.rlo.clear();
    state.options.rpa.clear();
    EXPECT_EQ(get("/", ":").status, 200);
    EXPECT_EQ(get("/", "x:").status, 401);
}

TEST_F(RemoteSiteTest, ARunOfFailedLoginsIsLoggedOncePerMinuteWithACount) {
    for (int i = 0; i < 5; ++i)
        get("/", "admin:guess");
    EXPECT_EQ(state.logMessages(),
              QStringList{QStringLiteral("HTTP - Authorization failed (127.0.0.1). [!]")});
    state.clock.advanceSeconds(RemoteSite::kFailedLoginWindowSeconds);
    site.flushFailedLogins();
    EXPECT_EQ(state.logMessages().value(1),
              QStringLiteral("HTTP - Authorization failed (127.0.0.1). 4 more failed logins "
                             "from this address in the last minute. [!]"));
    get("/", "admin:guess");
    EXPECT_EQ(state.logMessages().size(), 2) << "the next minute's first failure is counted";
}

TEST_F(RemoteSiteTest, LogSetupChangesTheLinesAndTheRefresh) {
    for (int i = 1; i <= 50; ++i)
        state.log.WriteLog(QStringLiteral("Line %1.").arg(i));
    struct Case {
        QByteArray body;
        int lines;
        QString refresh;
    };
    const Case cases[] = {
        {"Lines=3&Refresh=30&Submit2=Update", 3, QStringLiteral("30")},
        {"Lines=abc&Refresh=15", 40, QStringLiteral("15")},
        {"Lines=2&Refresh=x", 2, QStringLiteral("10")},
        {"Lines=0&Refresh=0", 0, QStringLiteral("0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.constData());
        const HttpReply reply = post("/cgi-bin/logsetup", c.body);
        EXPECT_EQ(QString::fromUtf8(reply.body),
                  QStringLiteral("<HTML><HEAD><TITLE>SWL</TITLE><META http-equiv=\"refresh\" "
                                 "content=\"1;URL=/command.htm\"></HEAD>\r\n<BODY "
                                 "bgcolor=\"#FFFFFF\" text=\"#000000\"><P>Your params have been "
                                 "updated. Press \"Refresh\" button.<BR></P></BODY></HTML>"));
        const QString log = page("/log.htm");
        EXPECT_EQ(log.count(QStringLiteral("<FONT color")), c.lines);
        if (c.lines > 0) {
            EXPECT_TRUE(log.contains(QStringLiteral("Line 50.")));
        }
        EXPECT_EQ(log.contains(QStringLiteral("<META http-equiv=\"refresh\" content=\"") +
                               c.refresh + QStringLiteral("\">")),
                  c.refresh != QLatin1String("0"));
    }
}

TEST_F(RemoteSiteTest, CommandsReachTheScheduleAndAreLogged) {
    const HttpReply reply = post("/cgi-bin/command", "Command=Docs&Submit=Send");
    EXPECT_TRUE(reply.body.contains("Your command has been sent."));
    EXPECT_EQ(state.presnames(), QStringList{QStringLiteral("Docs")});
    EXPECT_EQ(state.logMessages().value(0), QStringLiteral("HTTP - Received command: \"Docs\"."));

    post("/cgi-bin/command", "Command=%5BREPEAT%3D-1%5DNobody");
    EXPECT_EQ(state.presnames(), QStringList{QStringLiteral("Docs")}) << "rejected by the check";

    post("/cgi-bin/command", "Command=%2Fabort");
    EXPECT_TRUE(state.flags.AbortRequested);
    EXPECT_TRUE(state.logMessages().contains(
        QStringLiteral("HTTP - Abort request, trying to abort immediately.")));
}

TEST_F(RemoteSiteTest, ForcedRebootActsOnlyAfterTheAnswerLeft) {
    HttpReply reply = send("POST", "/cgi-bin/command", "Command=/FORCEREBOOT", "admin:s3cret");
    EXPECT_TRUE(reply.body.contains("Your command has been sent."));
    EXPECT_TRUE(power.requests.isEmpty());
    ASSERT_TRUE(reply.afterSent);
    reply.afterSent();
    EXPECT_EQ(power.requests, QStringList{QStringLiteral("reboot")});
    EXPECT_EQ(state.logMessages().mid(0, 2),
              (QStringList{QStringLiteral("HTTP - Force Reboot request, trying to reboot "
                                          "immediately."),
                           QString()}));
}

TEST_F(RemoteSiteTest, HostileCommandsAreEscapedOrRefused) {
    get("/log.htm"); // the page's lines are kept from now on and follow the log
    post("/cgi-bin/command", "Command=%3Cscript%3Ealert(1)%3C%2Fscript%3E");
    const QString log = page("/log.htm");
    EXPECT_FALSE(log.contains(QStringLiteral("<script>")));
    EXPECT_TRUE(log.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));

    for (const QByteArray& line : {QByteArray("Docs%0D%0A[2016.03.03 09:05:07] Forged"),
                                   QByteArray("Docs%0AForged"), QByteArray("Docs%09")}) {
        SCOPED_TRACE(line.constData());
        const qsizetype before = state.log.model().lines().size();
        const HttpReply reply = post("/cgi-bin/command", "Command=" + line);
        EXPECT_EQ(reply.status, 400);
        EXPECT_FALSE(reply.afterSent);
        const QStringList added = state.log.model().lines().mid(before);
        ASSERT_EQ(added.size(), 1);
        EXPECT_TRUE(added[0].contains(QStringLiteral("<U+000")));
        EXPECT_TRUE(state.schedule.isEmpty());
    }
}

TEST_F(RemoteSiteTest, UnknownPathsAndEmptyCommands) {
    EXPECT_EQ(get("/nothing.htm").status, 404);
    EXPECT_EQ(post("/cgi-bin/other", "x=1").status, 404);
    EXPECT_EQ(get("/nothing.htm", "admin:x").status, 401) << "no page is disclosed first";
    const HttpReply empty = post("/cgi-bin/command", "Command=");
    EXPECT_TRUE(empty.body.contains("name=\"Command\""));
    EXPECT_TRUE(state.schedule.isEmpty());
}

} // namespace
} // namespace stowline::remote

namespace stowline::remote {
namespace {

class RemoteAccessTest : public RemoteSiteTest {
protected:
    RemoteAccessTest() { qputenv("STOWLINE_REMOTE_ADDRESS", "127.0.0.1"); }

    RemoteAccess access{RemoteServices{state.flags, state.folders, state.options, state.messages,
                                       state.log, state.clock, state.schedule, presets, store,
                                       power}};
};

TEST_F(RemoteAccessTest, StartAndStopSayWhatHappened) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    state.options.rap = port;
    access.start();
    ASSERT_TRUE(access.isRunning());
    access.start();
    access.stop();
    access.stop();
    const QStringList messages = state.logMessages();
    EXPECT_EQ(messages.first(),
              QStringLiteral("HTTP - Starting remote access on port ") + port + QLatin1Char('.'));
    EXPECT_EQ(messages.value(1), QStringLiteral("HTTP - Started."));
    EXPECT_TRUE(messages.value(2).startsWith(QStringLiteral("HTTP - Available as http://")));
    EXPECT_TRUE(messages.value(2).endsWith(QLatin1Char(':') + port + QLatin1Char('/')));
    EXPECT_EQ(messages.value(3),
              QStringLiteral("HTTP - Available as http://127.0.0.1:") + port + QLatin1Char('/'));
    EXPECT_EQ(messages.mid(4), (QStringList{QStringLiteral("HTTP - Server is already running."),
                                            QStringLiteral("HTTP - Stopped."),
                                            QStringLiteral("HTTP - Server is not running now.")}));
}

TEST_F(RemoteAccessTest, RefusesToStartWithoutCredentialsOrWithABadPort) {
    struct Case {
        const char* name;
        QString login;
        QString port;
        QString reason;
    };
    const Case cases[] = {
        {"no credentials", QString(), QStringLiteral("8080"),
         QStringLiteral("HTTP - No login name or password is set; the remote control is not "
                        "started without them. [!]")},
        {"port not a number", QStringLiteral("admin"), QStringLiteral("http"),
         QStringLiteral("HTTP - The port \"http\" is not a number from 1 to 65535. [!]")},
        {"port out of range", QStringLiteral("admin"), QStringLiteral("70000"),
         QStringLiteral("HTTP - The port \"70000\" is not a number from 1 to 65535. [!]")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.options.rlo = c.login;
        state.options.rpa = c.login;
        state.options.rap = c.port;
        const qsizetype before = state.log.model().lines().size();
        access.start();
        EXPECT_FALSE(access.isRunning());
        EXPECT_EQ(state.logMessages().mid(before),
                  (QStringList{QStringLiteral("HTTP - Starting remote access on port ") + c.port +
                                   QLatin1Char('.'),
                               QStringLiteral("HTTP - Unable to start server. [!]"), c.reason}));
    }
}

} // namespace
} // namespace stowline::remote
