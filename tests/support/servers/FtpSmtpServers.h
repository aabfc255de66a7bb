#pragma once

#include "TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QTemporaryDir>

// The FTP and SMTP peers of the protocol, delivery and end-to-end tests.
namespace stowline::protocols::test {

// pyftpdlib on a temporary root (with an empty folder "up"), with the account
// user/secret, commands logged.
class FtpServer {
public:
    explicit FtpServer(const QStringList& arguments = {},
                       const QString& tls = QStringLiteral("none"))
        : server_(QStringLiteral("ftp_server.py"),
                  QStringList{"--root", root(), "--tls", tls, "--cert",
                              testCertificate().certificate, "--key", testCertificate().key,
                              "--log", logPath()} +
                      arguments) {}

    QString root() const { return folder_.filePath(QStringLiteral("root")); }
    QString address() const { return QStringLiteral("127.0.0.1:") + server_.portText(); }
    int port() const { return server_.port(); }
    QString portText() const { return server_.portText(); }
    QByteArray file(const QString& path) const {
        return readFile(root() + QLatin1Char('/') + path);
    }
    QStringList files(const QString& folder = {}) const {
        return QDir(root() + QLatin1Char('/') + folder).entryList(QDir::Files, QDir::Name);
    }
    void put(const QString& path) const { writeFile(root() + QLatin1Char('/') + path, "old"); }
    // The commands the server received, passwords masked.
    QStringList commands() const {
        return QString::fromUtf8(readFile(logPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString logPath() const { return folder_.filePath(QStringLiteral("commands.log")); }

    QTemporaryDir folder_;
    bool made_ = QDir().mkpath(folder_.filePath(QStringLiteral("root/up")));
    FixtureServer server_;
};

// aiosmtpd keeping every accepted message in a temporary folder.
class SmtpServer {
public:
    explicit SmtpServer(const QStringList& arguments = {},
                        const QString& tls = QStringLiteral("none"))
        : server_(QStringLiteral("smtp_server.py"),
                  QStringList{"--out", out(), "--tls", tls, "--cert", testCertificate().certificate,
                              "--key", testCertificate().key, "--log", logPath()} +
                      arguments) {}

    QString address() const { return QStringLiteral("127.0.0.1:") + server_.portText(); }
    QString portText() const { return server_.portText(); }
    QString out() const { return folder_.filePath(QStringLiteral("out")); }
    int messageCount() const {
        return static_cast<int>(
            QDir(out()).entryList({QStringLiteral("msg-*.json")}, QDir::Files).size());
    }
    QJsonObject message(int number) const {
        return QJsonDocument::fromJson(readFile(out() + QStringLiteral("/msg-%1.json").arg(number)))
            .object();
    }
    QByteArray attachment(int number, const QString& name) const {
        return readFile(out() + QStringLiteral("/msg-%1-%2").arg(number).arg(name));
    }
    // "EHLO plain", "AUTH PLAIN tls", ...: the commands seen and whether TLS was up.
    QStringList commands() const {
        return QString::fromUtf8(readFile(logPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString logPath() const { return folder_.filePath(QStringLiteral("commands.log")); }

    QTemporaryDir folder_;
    bool made_ = QDir().mkpath(folder_.filePath(QStringLiteral("out")));
    FixtureServer server_;
};

inline QStringList jsonStrings(const QJsonValue& value) {
    QStringList strings;
    for (const QJsonValue& item : value.toArray())
        strings << item.toString();
    return strings;
}

} // namespace stowline::protocols::test
