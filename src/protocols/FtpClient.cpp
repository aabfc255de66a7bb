#include "protocols/FtpClient.h"

#include "core/EventWait.h"
#include "protocols/CurlDriver.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

namespace stowline::protocols {

namespace {

// Large upload buffers keep the number of event-loop turns per megabyte low.
constexpr long kUploadBufferSize = 512 * 1024;

// libcurl before 8.0 does not secure the data connection of active mode: the file would
// go out unencrypted (and a server that wants TLS there drops it).
bool activeModeTlsBroken() {
    return curl_version_info(CURLVERSION_NOW)->version_num < 0x080000;
}

// The reply to the first `verb` command of the transfer, as an outcome. (libcurl sends
// QUIT a second time when it drops the connection afterwards; that one does not count.)
Outcome replyOutcome(const ReplyTracker& tracker, const QByteArray& verb) {
    for (const ReplyTracker::Step& step : tracker.steps()) {
        if (step.verb != verb)
            continue;
        if (step.reply >= 400)
            return {step.reply, QString::fromUtf8(step.replyLine)};
        if (step.reply > 0)
            return {};
        break;
    }
    return {errors::kConnectionAborted,
            QStringLiteral("Socket error #10053 - the server closed the connection without "
                           "answering %1")
                .arg(QString::fromLatin1(verb))};
}

bool hasLineBreak(const QString& text) {
    return text.contains('\r') || text.contains('\n') || text.contains(QChar(0));
}

// "a" + "b" -> "a/b", without doubling the separator.
QString joinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty() || name.startsWith('/'))
        return name;
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Trailing separators removed; "/" (the root) stays.
QString normalizedFolder(QString folder) {
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

} // namespace

FtpClient::FtpClient(CurlDriver& driver, QObject* parent)
    : QObject(parent), ConnectionSettings(QStringLiteral("ftp"), TransferLimits{}), driver_(driver),
      queue_(this, [this](int request, const Outcome& outcome) { report(request, outcome); }) {
    session_.tracker().stepBegan = [this](const ReplyTracker::Step& step) {
        queue_.commandSent(step.verb);
    };
}

FtpClient::~FtpClient() {
    driver_.cancel(session_.easy());
}

void FtpClient::openAsync() {
    request(FtpRequest::Open);
}
void FtpClient::userAsync() {
    request(FtpRequest::User);
}
void FtpClient::passAsync() {
    request(FtpRequest::Pass);
}
void FtpClient::connectAsync() {
    request(FtpRequest::Connect);
}
void FtpClient::cwdAsync() {
    request(FtpRequest::Cwd);
}
void FtpClient::typeSetAsync() {
    request(FtpRequest::TypeSet);
}
void FtpClient::putAsync() {
    request(FtpRequest::Put);
}
void FtpClient::getAsync() {
    request(FtpRequest::Get);
}
void FtpClient::deleAsync() {
    request(FtpRequest::Dele);
}
void FtpClient::quitAsync() {
    request(FtpRequest::Quit);
}

bool FtpClient::listNames() {
    return waitFor(request(FtpRequest::List));
}

bool FtpClient::querySize() {
    return waitFor(request(FtpRequest::Size));
}

void FtpClient::abort() {
    stopAll(Outcome::aborted());
}

void FtpClient::stopAll(const Outcome& why) {
    // Sockets first, so that nothing libcurl does while it lets go of the transfer can
    // wait for the server.
    session_.closeConnections();
    if (driver_.isRunning(session_.easy())) {
        driver_.cancel(session_.easy());
        closeFiles(false);
    }
    queue_.abortAll(why);
}

std::shared_ptr<RequestQueue::Ticket> FtpClient::request(FtpRequest request) {
    const int number = static_cast<int>(request);
    if (auto ticket = queue_.claim(number))
        return ticket;
    if (driver_.isRunning(session_.easy()))
        return queue_.answer(
            number, Outcome::refused(QStringLiteral("Another request is still in progress")));
    if (const Outcome bad = checkSettings(request); !bad.ok())
        return queue_.answer(number, bad);
    if (request == FtpRequest::Quit && !isConnected())
        return queue_.answer(number, {});

    const bool separateLoginSteps =
        request == FtpRequest::Open || request == FtpRequest::User || request == FtpRequest::Pass;
    if (separateLoginSteps)
        queue_.beginTransfer({{static_cast<int>(FtpRequest::Open), {}},
                              {static_cast<int>(FtpRequest::User), {"USER"}},
                              {static_cast<int>(FtpRequest::Pass), {"PASS"}}});
    else
        queue_.beginTransfer({{number, {}}});
    auto ticket = queue_.claim(number);
    if (const Outcome failed = start(transferFor(request)); !failed.ok())
        queue_.finishTransfer(failed);
    return ticket;
}

FtpClient::Kind FtpClient::transferFor(FtpRequest request) {
    static constexpr std::pair<FtpRequest, Kind> kTransfers[] = {
        {FtpRequest::Open, Kind::Login}, {FtpRequest::User, Kind::Login},
        {FtpRequest::Pass, Kind::Login}, {FtpRequest::Connect, Kind::Login},
        {FtpRequest::Cwd, Kind::Cwd},    {FtpRequest::TypeSet, Kind::TypeSet},
        {FtpRequest::Put, Kind::Put},    {FtpRequest::Get, Kind::Get},
        {FtpRequest::Dele, Kind::Dele},  {FtpRequest::Quit, Kind::Quit},
        {FtpRequest::Size, Kind::Size},  {FtpRequest::List, Kind::List},
    };
    for (const auto& [served, kind] : kTransfers)
        if (served == request)
            return kind;
    return Kind::Login;
}

bool FtpClient::waitFor(const std::shared_ptr<RequestQueue::Ticket>& ticket) {
    const auto reported = [&ticket] { return ticket->reported; };
    const auto timeout = std::chrono::seconds(timeoutSeconds());
    if (!core::waitUntil(reported, timeout)) {
        stopAll(Outcome::timedOut());
        core::waitUntil(reported, std::chrono::seconds(1));
    }
    return ticket->reported && ticket->outcome.ok();
}

Outcome FtpClient::checkSettings(FtpRequest request) const {
    if (host_.trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("No host name set"));
    if (portNumber() == 0)
        return Outcome::refused(QStringLiteral("Invalid port \"%1\"").arg(port_));
    for (const QString* text : {&host_, &userName_, &password_, &remoteFolder_, &remoteFileName_})
        if (hasLineBreak(*text))
            return Outcome::refused(QStringLiteral("Line breaks are not allowed in names"));
    const bool needsFileName = request == FtpRequest::Put || request == FtpRequest::Get ||
                               request == FtpRequest::Dele || request == FtpRequest::Size;
    if (needsFileName && remoteFileName_.isEmpty())
        return Outcome::refused(QStringLiteral("No remote file name set"));
    const bool needsLocalFile =
        request == FtpRequest::Put || request == FtpRequest::Get || request == FtpRequest::List;
    if (needsLocalFile && localFileName_.isEmpty())
        return Outcome::refused(QStringLiteral("No local file name set"));
    if (needsLocalFile && !passive_ && tlsMode_ != FtpTlsMode::None && activeModeTlsBroken())
        return {errors::kTls, QStringLiteral("Active mode with TLS needs libcurl 8.0 or later "
                                             "(the data would go unencrypted); use passive mode")};
    return {};
}

int FtpClient::portNumber() const {
    const QString port = port_.trimmed();
    if (port.isEmpty() || port.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0)
        return 21;
    bool ok = false;
    const int number = port.toInt(&ok);
    return ok && number > 0 && number < 65536 ? number : 0;
}

QByteArray FtpClient::baseUrl() const {
    const char* scheme = tlsMode_ == FtpTlsMode::Implicit ? "ftps://" : "ftp://";
    return scheme + urlHost(host_.trimmed()) + ':' + QByteArray::number(portNumber()) + '/';
}

QByteArray FtpClient::folderUrl(const QString& folder) const {
    const QString normalized = normalizedFolder(folder);
    if (normalized.isEmpty())
        return baseUrl();
    if (normalized == QLatin1String("/"))
        return baseUrl() + '/';
    return baseUrl() + encodeUrlPath(normalized) + '/';
}

// libcurl sends quoted commands before it changes folder, and a connection made again
// after a failure starts in the log-in folder: a name is made absolute so that it means
// the same file either way.
QString FtpClient::commandPath(const QString& name) const {
    const QString inFolder = joinPath(normalizedFolder(workingFolder_), name);
    if (inFolder.startsWith('/') || entryPath_.isEmpty())
        return inFolder;
    return joinPath(entryPath_, inFolder);
}

void FtpClient::setConnectionOptions() {
    CURL* easy = session_.easy();
    if (!userName_.isEmpty())
        curl_easy_setopt(easy, CURLOPT_USERNAME, userName_.toUtf8().constData());
    if (!password_.isEmpty() || !userName_.isEmpty())
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password_.toUtf8().constData());
    switch (tlsMode_) {
    case FtpTlsMode::None:
        break;
    case FtpTlsMode::AuthTls:
        curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        break;
    case FtpTlsMode::AuthSsl:
        curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_SSL));
        break;
    case FtpTlsMode::Implicit:
        curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        break;
    }
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    if (!passive_)
        curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(timeoutSeconds()) * 1000L);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, imageMode_ ? 0L : 1L);
}

Outcome FtpClient::start(Kind kind) {
    if (const Outcome failed = prepareTransfer(kind); !failed.ok())
        return failed;
    setConnectionOptions();
    if (kind == Kind::Put || kind == Kind::Get)
        reportProgress();
    running_ = kind;
    driver_.start(session_.easy(), [this, kind](CURLcode result) { finished(kind, result); });
    return {};
}

Outcome FtpClient::prepareTransfer(Kind kind) {
    switch (kind) {
    case Kind::Login:
        prepareLogin();
        return {};
    case Kind::Put:
        return prepareUpload();
    case Kind::Get:
    case Kind::List:
        return prepareDownload(kind);
    case Kind::Cwd:
    case Kind::TypeSet:
    case Kind::Dele:
    case Kind::Quit:
    case Kind::Size:
        prepareCommand(kind);
        return {};
    }
    return {};
}

void FtpClient::prepareLogin() {
    // A new log-in is a new control connection; an old one is dropped.
    session_.closeConnections();
    workingFolder_.clear();
    session_.prepare(baseUrl(), limits_);
    curl_easy_setopt(session_.easy(), CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(session_.easy(), CURLOPT_NOBODY, 1L);
}

QByteArray FtpClient::typeCommand() const {
    return imageMode_ ? "TYPE I" : "TYPE A";
}

// The transfers that only send commands, without data.
void FtpClient::prepareCommand(Kind kind) {
    CURL* easy = session_.easy();
    switch (kind) {
    case Kind::Cwd:
        requestedFolder_ = remoteFolder_;
        session_.prepare(folderUrl(requestedFolder_), limits_);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case Kind::TypeSet:
        session_.prepare(folderUrl(workingFolder_), limits_);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        session_.setList(CURLOPT_QUOTE, {typeCommand()});
        break;
    case Kind::Dele:
        session_.prepare(folderUrl(workingFolder_), limits_);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        // "*": a refused DELE must not end the control connection; its reply decides.
        session_.setList(CURLOPT_QUOTE, {"*DELE " + commandPath(remoteFileName_).toUtf8()});
        break;
    case Kind::Quit:
        // The folder of the previous transfer, so that libcurl has no reason to change
        // folder after QUIT; should it try, the QUIT reply still decides the outcome.
        session_.prepare(folderUrl(workingFolder_), limits_);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        session_.setList(CURLOPT_QUOTE, {"QUIT"});
        break;
    case Kind::Size:
        session_.prepare(folderUrl(workingFolder_) + encodeUrlPath(remoteFileName_), limits_);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    default:
        break;
    }
}

Outcome FtpClient::prepareUpload() {
    upload_.reset(std::fopen(QFile::encodeName(localFileName_).constData(), "rb"));
    if (!upload_)
        return {errors::kLocalFile,
                QStringLiteral("Cannot open local file %1").arg(localFileName_)};
    const qint64 size = QFileInfo(localFileName_).size();
    CURL* easy = session_.easy();
    session_.prepare(folderUrl(workingFolder_) + encodeUrlPath(remoteFileName_), limits_);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READDATA, upload_.get());
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
    // TYPE on every transfer keeps the server's mode and libcurl's idea of it equal.
    session_.setList(CURLOPT_QUOTE, {typeCommand()});
    return {};
}

// A download of the remote file (Get) or of the folder's names (List) into the local file.
Outcome FtpClient::prepareDownload(Kind kind) {
    download_ = std::make_unique<QSaveFile>(localFileName_);
    downloadFailed_ = false;
    if (!download_->open(QIODevice::WriteOnly)) {
        const QString why = download_->errorString();
        download_.reset();
        return {errors::kLocalFile,
                QStringLiteral("Cannot write local file %1: %2").arg(localFileName_, why)};
    }
    CURL* easy = session_.easy();
    if (kind == Kind::Get) {
        session_.prepare(folderUrl(workingFolder_) + encodeUrlPath(remoteFileName_), limits_);
        session_.setList(CURLOPT_QUOTE, {typeCommand()});
    } else {
        // Log in, list and log out on a connection of its own.
        session_.prepare(folderUrl(remoteFolder_), limits_);
        curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, 1L);
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FtpClient::writeToFile);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    return {};
}

void FtpClient::reportProgress() {
    CURL* easy = session_.easy();
    progress_.restart();
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &FtpClient::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

void FtpClient::finished(Kind kind, CURLcode result) {
    CURL* easy = session_.easy();
    Outcome outcome = session_.outcome(result);
    if (kind == Kind::Quit)
        outcome = replyOutcome(session_.tracker(), "QUIT");
    if (kind == Kind::Dele && outcome.ok())
        outcome = replyOutcome(session_.tracker(), "DELE");
    if (kind == Kind::Get || kind == Kind::List) {
        if (outcome.ok() && downloadFailed_)
            outcome = {errors::kLocalFile,
                       QStringLiteral("Cannot write local file %1").arg(localFileName_)};
        if (outcome.ok() && !download_->commit())
            outcome = {errors::kLocalFile, QStringLiteral("Cannot write local file %1: %2")
                                               .arg(localFileName_, download_->errorString())};
    }
    closeFiles(outcome.ok());
    lastReplyCode_ = session_.tracker().lastReply();
    char* entryPath = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_FTP_ENTRY_PATH, &entryPath) == CURLE_OK && entryPath)
        entryPath_ = QString::fromUtf8(entryPath);
    if (outcome.ok()) {
        if (kind == Kind::Cwd)
            workingFolder_ = requestedFolder_;
        if (kind == Kind::Size) {
            curl_off_t size = -1;
            curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
            if (size >= 0)
                sizeResult_ = size;
        }
    }
    if (kind == Kind::Quit)
        workingFolder_.clear();
    queue_.finishTransfer(outcome);
}

void FtpClient::closeFiles(bool keepDownload) {
    upload_.reset();
    if (download_ && !keepDownload)
        download_->cancelWriting();
    download_.reset();
}

void FtpClient::report(int request, const Outcome& outcome) {
    errorMessage_ = outcome.message;
    emit requestDone(static_cast<FtpRequest>(request), outcome.error);
}

size_t FtpClient::writeToFile(char* data, size_t size, size_t count, void* client) {
    auto* self = static_cast<FtpClient*>(client);
    const qint64 length = static_cast<qint64>(size * count);
    if (!self->download_ || self->download_->write(data, length) != length) {
        self->downloadFailed_ = true;
        return 0;
    }
    return size * count;
}

int FtpClient::onProgress(void* client, curl_off_t, curl_off_t downNow, curl_off_t,
                          curl_off_t upNow) {
    auto* self = static_cast<FtpClient*>(client);
    self->progress_.note(self->running_ == Kind::Put ? upNow : downNow);
    return 0;
}

} // namespace stowline::protocols
