#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

namespace stowline::protocols::test {

// A test server from fixtures/, run with /usr/bin/python3 on 127.0.0.1 and a free port
// it picks itself and prints. Stopped (by its process id) when this object goes away;
// it also stops by itself after a while.
class FixtureServer {
public:
    FixtureServer(const QString& script, const QStringList& arguments);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    int port() const { return port_; }
    QString portText() const { return QString::number(port_); }

private:
    QProcess process_;
    int port_ = 0;
};

// vsftpd as a second, independent FTP peer: anonymous log-in into `root` (uploads go to
// its writable "pub" folder), plain or explicit TLS. It runs as the user running the test,
// needs no privileges (no chroot, no user switch) and is ended by `timeout` at the latest.
class VsftpdServer {
public:
    static bool available();
    VsftpdServer(const QString& root, const QString& workFolder);
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    int port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

// A self-signed certificate for 127.0.0.1 and its key, made once per test program.
struct TestCertificate {
    QString certificate;
    QString key;
};
const TestCertificate& testCertificate();

// Processes events until `done` or the time-out; true when done.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

QByteArray randomBytes(qsizetype size);
void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);
// A port on 127.0.0.1 that nothing listens on.
int closedPort();

} // namespace stowline::protocols::test
