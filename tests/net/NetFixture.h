#pragma once

#include "RunFixture.h"
#include "TestSupport.h"

#include "backup/PresetFiles.h"
#include "core/TextFiles.h"
#include "net/NetDeliveries.h"
#include "protocols/CurlDriver.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stowline::net::testing {

using backup::testing::FakeArchives;
using protocols::test::FixtureServer;
using protocols::test::readFile;
using protocols::test::testCertificate;

// Short waits, and trust in the test servers' certificate.
inline DeliverySettings testSettings() {
    DeliverySettings settings;
    settings.ftpReplySeconds = 3;
    settings.smtpReplySeconds = 3;
    settings.hostScriptSeconds = 3;
    settings.trustedCertificate = testCertificate().certificate;
    return settings;
}

// A backup run with the network deliveries, on temporary folders, and the archiver
// stand-in. The preset "Docs" has no task until a test gives it one.
struct NetRun : backup::testing::RunEnvironment {
    explicit NetRun(DeliverySettings settings = testSettings())
        : deliveries(DeliveryServices{flags, folders, options, messages, log, clock, store, driver},
                     others, settings) {
        addPreset(QStringLiteral("Docs"));
        preset.ctf = false;
        options.fre = false;
        options.fin = 1;
        options.fti = 3;
    }

    // Runs the preset as it is now and returns the log lines from the archiver's
    // report on.
    QStringList runPreset() {
        savePreset();
        run.RunPreset();
        const QStringList lines = logMessages();
        qsizetype done = -1;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(QLatin1String("Docs: WinRAR - Done")))
                done = i;
        return done < 0 ? lines : lines.mid(done + 1);
    }

    QStringList presetFile(const QString& extension) {
        return core::readTextLines(tree.preset(presetName + extension)).value_or(QStringList());
    }
    void writePresetFile(const QString& extension, const QStringList& lines) {
        ASSERT_TRUE(core::writeTextLinesAtomically(tree.preset(presetName + extension), lines));
    }
    // History time stamps of the test's clock.
    QString stamp() const { return backup::formatHistoryStamp(clock.now()); }
    QString stampDaysAgo(int days) const { return backup::formatHistoryStamp(clock.now().addDays(-days)); }

    protocols::CurlDriver driver;
    backup::testing::RecordingDeliveries others;
    NetDeliveries deliveries;
    backup::BackupRun run{services(deliveries)};
};

// pyftpdlib on a temporary root, with the account user/secret, commands logged.
class FtpServer {
public:
    explicit FtpServer(const QStringList& arguments = {}, const QString& tls = QStringLiteral("none"))
        : server_(QStringLiteral("ftp_server.py"),
                  QStringList{"--root", root(), "--tls", tls, "--cert", testCertificate().certificate,
                              "--key", testCertificate().key, "--log", logPath()} +
                      arguments) {}

    QString root() const { return folder_.filePath(QStringLiteral("root")); }
    QString address() const { return QStringLiteral("127.0.0.1:") + server_.portText(); }
    int port() const { return server_.port(); }
    QByteArray file(const QString& path) const { return readFile(root() + QLatin1Char('/') + path); }
    QStringList files(const QString& folder = {}) const {
        return QDir(root() + QLatin1Char('/') + folder).entryList(QDir::Files, QDir::Name);
    }
    void put(const QString& path) const { protocols::test::writeFile(root() + QLatin1Char('/') + path, "old"); }
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
    explicit SmtpServer(const QStringList& arguments = {}, const QString& tls = QStringLiteral("none"))
        : server_(QStringLiteral("smtp_server.py"),
                  QStringList{"--out", out(), "--tls", tls, "--cert", testCertificate().certificate,
                              "--key", testCertificate().key, "--log", logPath()} +
                      arguments) {}

    QString address() const { return QStringLiteral("127.0.0.1:") + server_.portText(); }
    QString out() const { return folder_.filePath(QStringLiteral("out")); }
    int messageCount() const {
        return static_cast<int>(QDir(out()).entryList({QStringLiteral("msg-*.json")}, QDir::Files).size());
    }
    QJsonObject message(int number) const {
        return QJsonDocument::fromJson(readFile(out() + QStringLiteral("/msg-%1.json").arg(number))).object();
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

} // namespace stowline::net::testing
