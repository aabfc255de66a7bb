#include "TestSupport.h"

#include "protocols/SyncWait.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>

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

const TestCertificate& testCertificate() {
    static QTemporaryDir folder;
    static const TestCertificate made = [] {
        TestCertificate result{folder.filePath("cert.pem"), folder.filePath("key.pem")};
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                       "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                       result.key, "-out", result.certificate});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            ADD_FAILURE() << "openssl could not make a test certificate";
        return result;
    }();
    return made;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return waitProcessingEvents(done, timeout);
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
