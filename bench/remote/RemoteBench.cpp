// The remote control's log page under load, against the same page served as a static
// file by `python3 -m http.server`, in one run: 1,000 authenticated GETs, 8 in
// parallel (curl --parallel), with a 10,000-line log shown whole. Meanwhile the
// scheduler carries out one "/SHOWICON" entry a second; the bench reports how late the
// latest one was, which shows whether the tick kept its period under the load.
//
//   stowline_bench_remote [path/to/stowline]
// Everything listens on 127.0.0.1 and ends with the bench. Exit code 1 when the
// program's throughput is below the static server's or an entry ran over 2 s late.

#include "core/Clock.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/OptionsFile.h"
#include "core/TextFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace stowline;

namespace {

constexpr int kRequests = 1000;
constexpr int kParallel = 8;
constexpr int kLogLines = 10000;
constexpr int kTickEntries = 40;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray runCurl(const QStringList& arguments) {
    QProcess curl;
    curl.start(QStringLiteral("curl"), arguments);
    curl.waitForFinished(600000);
    return curl.readAllStandardOutput();
}

// Seconds for kRequests GETs of `url`, kParallel at a time.
double timeLoad(const QString& url, const QString& credential, const QString& configPath) {
    QStringList config;
    for (int i = 0; i < kRequests; ++i)
        config << QStringLiteral("url = \"%1\"").arg(url)
               << QStringLiteral("output = \"/dev/null\"");
    core::writeTextLinesAtomically(configPath, config);
    QStringList arguments{
        QStringLiteral("-s"),       QStringLiteral("--parallel"), QStringLiteral("--parallel-max"),
        QString::number(kParallel), QStringLiteral("-K"),         configPath};
    if (!credential.isEmpty())
        arguments << QStringLiteral("-u") << credential;
    QElapsedTimer timer;
    timer.start();
    runCurl(arguments);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

bool waitFor(const std::function<bool()>& done, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (done())
            return true;
        QThread::msleep(100);
    }
    return done();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QString binary =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(STOWLINE_BINARY);
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("program"));
    QDir(root.path()).mkpath(QStringLiteral("data"));
    QDir(root.path()).mkpath(QStringLiteral("home"));
    QDir(root.path()).mkpath(QStringLiteral("static"));
    QDir(root.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString program = root.filePath(QStringLiteral("program"));
    const QString data = root.filePath(QStringLiteral("data"));
    core::writeTextLinesAtomically(program + QStringLiteral("/swlinfo.dat"), {data});

    const quint16 port = freePort();
    core::topt options;
    core::SetOptionDefaults(options, {program, data, QSize()});
    options.rae = true;
    options.rap = QString::number(port);
    options.rlo = QStringLiteral("bench");
    options.rpa = QStringLiteral("load");
    options.son = true;
    options.lsz = 0; // the whole log stays in the list
    core::SaveOptions(options, data);

    QStringList log;
    for (int i = 1; i <= kLogLines; ++i)
        log << QStringLiteral("[2016.03.03 09:05:07] Docs: line %1 of the bench log.").arg(i);
    core::writeTextLinesAtomically(data + QStringLiteral("/swl.log"), log);

    // One "/SHOWICON" a second, starting when the load is under way.
    const QDateTime firstDue = QDateTime::currentDateTime().addSecs(8);
    QStringList schedule;
    for (int i = 0; i < kTickEntries; ++i)
        schedule << QStringLiteral("<D>%1 </D><P>/SHOWICON</P><O>REPEAT=0 INTERVAL=1 PRECISE=1 "
                                   "ONDELAY=0 DOW=11111110</O>")
                        .arg(firstDue.addSecs(i).toString(QLatin1String(core::kHistoryTimeFormat)));
    core::writeTextLinesAtomically(data + QStringLiteral("/swl.sch"), schedule);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("STOWLINE_PROGRAM_DIR"), program);
    environment.insert(QStringLiteral("STOWLINE_DRY_POWER"), QStringLiteral("1"));
    environment.insert(QStringLiteral("STOWLINE_REMOTE_ADDRESS"), QStringLiteral("127.0.0.1"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess stowline;
    stowline.setProcessEnvironment(environment);
    stowline.setStandardOutputFile(QProcess::nullDevice());
    stowline.setStandardErrorFile(QProcess::nullDevice());
    stowline.start(binary, {QStringLiteral("/hide")});
    const auto logHolds = [&](const QString& text) {
        const QStringList lines =
            core::readTextLines(data + QStringLiteral("/swl.log")).value_or(QStringList());
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return line.endsWith(text); });
    };
    if (!waitFor([&] { return logHolds(QStringLiteral("HTTP - Started.")); }, 20)) {
        std::fprintf(stderr, "The program did not start its server.\n");
        stowline.kill();
        return 1;
    }

    std::fprintf(stderr, "server started\n");
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    const QString credential = QStringLiteral("bench:load");
    runCurl({QStringLiteral("-s"), QStringLiteral("-u"), credential, QStringLiteral("-d"),
             QStringLiteral("Lines=%1&Refresh=0").arg(kLogLines),
             base + QStringLiteral("/cgi-bin/logsetup")});
    const QByteArray page = runCurl({QStringLiteral("-s"), QStringLiteral("-u"), credential,
                                     base + QStringLiteral("/log.htm")});
    QFile file(root.filePath(QStringLiteral("static/log.htm")));
    file.open(QIODevice::WriteOnly);
    file.write(page);
    file.close();

    const quint16 staticPort = freePort();
    QProcess python;
    // It logs every request on standard error; unread, the pipe would fill and stop it.
    python.setStandardOutputFile(QProcess::nullDevice());
    python.setStandardErrorFile(QProcess::nullDevice());
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                  root.filePath(QStringLiteral("static")), QString::number(staticPort)});
    const QString staticUrl = QStringLiteral("http://127.0.0.1:%1/log.htm").arg(staticPort);
    waitFor([&] { return !runCurl({QStringLiteral("-s"), staticUrl}).isEmpty(); }, 10);

    std::fprintf(stderr, "page of %lld bytes; static server up\n",
                 static_cast<long long>(page.size()));
    const QString config = root.filePath(QStringLiteral("curl.cfg"));
    const double programSeconds = timeLoad(base + QStringLiteral("/log.htm"), credential, config);
    std::fprintf(stderr, "program: %.2f s\n", programSeconds);
    const double staticSeconds = timeLoad(staticUrl, {}, config);
    std::fprintf(stderr, "static: %.2f s\n", staticSeconds);

    // Every "/SHOWICON" that fell due before the load ended: how late was it carried out?
    waitFor([&] { return QDateTime::currentDateTime() > firstDue.addSecs(kTickEntries + 2); },
            kTickEntries + 20);
    qint64 latest = 0;
    int carriedOut = 0;
    QList<QDateTime> dues;
    for (int i = 0; i < kTickEntries; ++i)
        dues << firstDue.addSecs(i);
    for (const QString& line :
         core::readTextLines(data + QStringLiteral("/swl.log")).value_or(QStringList())) {
        if (!line.endsWith(QLatin1String("/SHOWICON: Called by the scheduler.")))
            continue;
        const QDateTime when =
            QDateTime::fromString(line.mid(1, 19), QLatin1String(core::kHistoryTimeFormat));
        if (carriedOut < dues.size())
            latest = std::max(latest, dues[carriedOut].secsTo(when));
        ++carriedOut;
    }

    ::kill(static_cast<pid_t>(stowline.processId()), SIGTERM);
    stowline.waitForFinished(15000);
    python.terminate();
    python.waitForFinished(5000);

    const double ratio = staticSeconds / programSeconds;
    std::printf("log page of %d lines (%lld bytes), %d GETs, %d in parallel\n", kLogLines,
                static_cast<long long>(page.size()), kRequests, kParallel);
    std::printf("stowline:            %.2f s  (%.0f requests/s)\n", programSeconds,
                kRequests / programSeconds);
    std::printf("python3 http.server: %.2f s  (%.0f requests/s)\n", staticSeconds,
                kRequests / staticSeconds);
    std::printf("throughput ratio stowline/static: %.2fx\n", ratio);
    std::printf("scheduler entries carried out: %d of %d, latest %lld s after due\n", carriedOut,
                kTickEntries, static_cast<long long>(latest));
    return ratio >= 1.0 && carriedOut == kTickEntries && latest <= 2 ? 0 : 1;
}
