#pragma once

#include "protocols/ConnectionSettings.h"
#include "protocols/CurlSession.h"
#include "protocols/QueuedProgress.h"
#include "protocols/RequestQueue.h"

#include <QObject>
#include <QString>

#include <cstdio>
#include <memory>

class QSaveFile;

namespace stowline::protocols {

class CurlDriver;

// TLS of the control and data connections; the values are those stored in presets.
enum class FtpTlsMode { None = 0, AuthTls = 1, AuthSsl = 2, Implicit = 3 };

// The number a completion carries for each request.
enum class FtpRequest {
    Open = 1,
    User = 2,
    Pass = 3,
    Cwd = 4,
    Connect = 5,
    Get = 10,
    List = 12,
    Quit = 15,
    Size = 17,
    Put = 18,
    Dele = 25,
    TypeSet = 37,
};

// Asynchronous FTP client on one reused control connection. Every request ends in
// exactly one requestDone on the event loop, in the order the requests were made, with
// 0 or the error code (see ProtocolErrors.h). Requests are made one after the other: a
// request that needs the connection while a transfer runs is refused with
// errors::kRefused.
//
// Open, User and Pass are one libcurl transfer (connect, greeting, TLS, USER, PASS),
// so user name and password must be set before Open; each of the three still completes
// on its own with the outcome of its own step. Every connection, also one made again
// after a failure, negotiates TLS as the TLS mode asks before the password is sent.
//
// The port is "ftp" (21) unless set; the time-out is 15 s by default.
class FtpClient final : public QObject, public ConnectionSettings {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpClient)
public:
    explicit FtpClient(CurlDriver& driver, QObject* parent = nullptr);
    ~FtpClient() override;

    // The folder Cwd changes to and listNames lists; relative to the log-in folder unless
    // it begins with "/".
    void setRemoteFolder(const QString& folder) { remoteFolder_ = folder; }
    const QString& remoteFolder() const { return remoteFolder_; }
    void setRemoteFileName(const QString& name) { remoteFileName_ = name; }
    const QString& remoteFileName() const { return remoteFileName_; }
    void setLocalFileName(const QString& path) { localFileName_ = path; }
    // Image (binary) transfers; ASCII when off.
    void setImageMode(bool image) { imageMode_ = image; }
    void setPassive(bool passive) { passive_ = passive; }
    void setTlsMode(FtpTlsMode mode) { tlsMode_ = mode; }
    // A data transfer without progress for this long fails with the time-out error.
    void setStallTimeoutSeconds(int seconds) { limits_.stallSeconds = seconds; }

    bool isConnected() const { return session_.hasOpenConnection(); }
    // The last reply code the server sent (226 after a good upload or download).
    int lastReplyCode() const { return lastReplyCode_; }
    // The error text of the completion being reported; empty after a success.
    const QString& errorMessage() const { return errorMessage_; }
    // The size querySize found, in bytes.
    qint64 sizeResult() const { return sizeResult_; }

    void openAsync();
    void userAsync();
    void passAsync();
    // Open, User and Pass as one request.
    void connectAsync();
    void cwdAsync();
    // TYPE I in image mode, TYPE A otherwise.
    void typeSetAsync();
    // Stores the local file under the remote file name in the current folder.
    void putAsync();
    // Retrieves the remote file into the local file; the local file is replaced only
    // when the whole file arrived.
    void getAsync();
    void deleAsync();
    void quitAsync();
    // Ends the pending request at once (it is still reported, with errors::kAborted) and
    // closes the connection without a goodbye.
    void abort();

    // Synchronous: logs in on a connection of its own, lists the names in the remote
    // folder into the local file (one name per line), logs out. Processes events while
    // it waits, at most the time-out.
    bool listNames();
    // Synchronous SIZE of the remote file; the result is sizeResult().
    bool querySize();

signals:
    void requestDone(stowline::protocols::FtpRequest request, int errorCode);
    // Bytes sent (Put) or received (Get) so far.
    void progress(qint64 bytes);

private:
    enum class Kind { Login, Cwd, TypeSet, Put, Get, Dele, Quit, Size, List };

    std::shared_ptr<RequestQueue::Ticket> request(FtpRequest request);
    // The transfer that serves `request`.
    static Kind transferFor(FtpRequest request);
    // Ends every pending request at once, each reported with `why`.
    void stopAll(const Outcome& why);
    bool waitFor(const std::shared_ptr<RequestQueue::Ticket>& ticket);
    Outcome checkSettings(FtpRequest request) const;
    Outcome start(Kind kind);
    Outcome prepareTransfer(Kind kind);
    void prepareLogin();
    void prepareCommand(Kind kind);
    Outcome prepareUpload();
    Outcome prepareDownload(Kind kind);
    void reportProgress();
    QByteArray typeCommand() const;
    void setConnectionOptions();
    void finished(Kind kind, CURLcode result);
    void report(int request, const Outcome& outcome);
    void closeFiles(bool keepDownload);

    QByteArray baseUrl() const;
    QByteArray folderUrl(const QString& folder) const;
    QString commandPath(const QString& name) const;
    int portNumber() const;

    static size_t writeToFile(char* data, size_t size, size_t count, void* client);
    static int onProgress(void* client, curl_off_t downTotal, curl_off_t downNow,
                          curl_off_t upTotal, curl_off_t upNow);

    CurlDriver& driver_;
    CurlSession session_;
    RequestQueue queue_;

    QString remoteFolder_;
    QString remoteFileName_;
    QString localFileName_;
    bool imageMode_ = true;
    bool passive_ = true;
    FtpTlsMode tlsMode_ = FtpTlsMode::None;

    Kind running_ = Kind::Login;
    QString workingFolder_;   // the folder transfers run in (after a successful Cwd)
    QString requestedFolder_; // the folder of the Cwd under way
    QString entryPath_;       // the log-in folder the server reported
    int lastReplyCode_ = 0;
    QString errorMessage_;
    qint64 sizeResult_ = 0;

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> upload_{nullptr, &std::fclose};
    std::unique_ptr<QSaveFile> download_;
    bool downloadFailed_ = false;
    QueuedProgress progress_{this, [this](qint64 bytes) { emit progress(bytes); }};
};

} // namespace stowline::protocols
