#include "TestSupport.h"

#include "core/EventWait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

namespace stowline::protocols::test {

FixtureServer::FixtureServer(const QString& script, const QStringList& arguments) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's interpreter: the one first on PATH may lack pyftpdlib and aiosmtpd.
    process_.start(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral(STOWLINE_FIXTURE_DIR "/") + script} + arguments);
    QByteArray line;
    while (process_.waitForReadyRead(10000) || process_.canReadLine()) {
        if (!process_.canReadLine())
            continue;
        line = process_.readLine().trimmed();
        if (line.startsWith("PORT "))
            break;
    }
    port_ = line.startsWith("PORT ") ? line.mid(5).toInt() : 0;
    if (port_ == 0)
        ADD_FAILURE() << "test server " << script.toStdString() << " did not start";
}

FixtureServer::~FixtureServer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool VsftpdServer::available() {
    return QFileInfo::exists(QStringLiteral("/usr/sbin/vsftpd"));
}

VsftpdServer::VsftpdServer(const QString& root, const QString& workFolder) {
    QDir().mkpath(workFolder + "/empty");
    port_ = closedPort();
    const QString config = workFolder + "/vsftpd.conf";
    QStringList lines{"listen=YES",
                      "listen_address=127.0.0.1",
                      QString("listen_port=%1").arg(port_),
                      "background=NO",
                      "run_as_launching_user=YES",
                      "anonymous_enable=YES",
                      "anon_root=" + root,
                      "no_anon_password=YES",
                      "anon_upload_enable=YES",
                      "anon_other_write_enable=YES",
                      "anon_umask=022",
                      "write_enable=YES",
                      "local_enable=NO",
                      "seccomp_sandbox=NO",
                      "isolate=NO",
                      "isolate_network=NO",
                      "secure_chroot_dir=" + workFolder + "/empty",
                      "xferlog_enable=NO",
                      "ssl_enable=YES",
                      "rsa_cert_file=" + testCertificate().certificate,
                      "rsa_private_key_file=" + testCertificate().key,
                      "allow_anon_ssl=YES",
                      "force_anon_data_ssl=NO",
                      "force_anon_logins_ssl=NO",
                      "require_ssl_reuse=NO"};
    writeFile(config, lines.join('\n').toUtf8() + '\n');
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(QStringLiteral("timeout"), {"120", "/usr/sbin/vsftpd", config});
    QTcpSocket probe;
    for (int attempt = 0; attempt < 50; ++attempt) {
        probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
        if (probe.waitForConnected(100))
            return;
        probe.abort();
        QThread::msleep(50);
    }
    ADD_FAILURE() << "vsftpd did not start";
}

VsftpdServer::~VsftpdServer() {
    // SIGTERM: `timeout` passes it on to vsftpd.
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

const TestCertificate& testCertificate() {
    static QTemporaryDir folder;
    static const TestCertificate made = [] {
        TestCertificate result{folder.filePath("cert.pem"), folder.filePath("key.pem")};
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                       "subjectAltName=IP:127.0.0.1", "-keyout", result.key, "-out",
                       result.certificate});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            ADD_FAILURE() << "openssl could not make a test certificate";
        return result;
    }();
    return made;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return core::waitUntil(done, timeout);
}

QByteArray randomBytes(qsizetype size) {
    QList<quint32> words((size + 3) / 4);
    QRandomGenerator generator(static_cast<quint32>(size));
    generator.fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing " + path.toUtf8() + ">";
    return file.readAll();
}

int closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort(); // closed again when `server` goes away
}

} // namespace stowline::protocols::test
