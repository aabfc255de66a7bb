#include "protocols/SmtpClient.h"

#include "core/EventWait.h"
#include "protocols/CurlDriver.h"

#include <QHostInfo>
#include <QUrl>

#include <optional>

namespace stowline::protocols {

namespace {

bool hasLineBreak(const QString& text) {
    return text.contains('\r') || text.contains('\n') || text.contains(QChar(0));
}

QByteArray angleAddress(const QString& address) {
    const QString trimmed = address.trimmed();
    return trimmed.startsWith('<') ? trimmed.toUtf8() : '<' + trimmed.toUtf8() + '>';
}

} // namespace

SmtpClient::SmtpClient(CurlDriver& driver, QObject* parent)
    : QObject(parent), ConnectionSettings(QStringLiteral("smtp"), TransferLimits{30, 0, {}}),
      driver_(driver),
      queue_(this, [this](int request, const Outcome& outcome) { report(request, outcome); }) {
    session_.tracker().stepBegan = [this](const ReplyTracker::Step& step) {
        queue_.commandSent(step.verb);
    };
    session_.tracker().lineSeen = [this](const QByteArray& line, bool outgoing) {
        const QString shown =
            (outgoing ? QStringLiteral("> ") : QStringLiteral("< ")) + QString::fromUtf8(line);
        QMetaObject::invokeMethod(
            this, [this, shown] { emit display(shown); }, Qt::QueuedConnection);
    };
}

SmtpClient::~SmtpClient() {
    driver_.cancel(session_.easy());
}

void SmtpClient::openAsync() {
    request(SmtpRequest::Open);
}
void SmtpClient::connectAsync() {
    request(SmtpRequest::Connect);
}
void SmtpClient::heloAsync() {
    request(SmtpRequest::Helo);
}
void SmtpClient::ehloAsync() {
    request(SmtpRequest::Ehlo);
}
void SmtpClient::authAsync() {
    request(SmtpRequest::Auth);
}
void SmtpClient::mailFromAsync() {
    request(SmtpRequest::MailFrom);
}
void SmtpClient::rcptToAsync() {
    request(SmtpRequest::RcptTo);
}
void SmtpClient::dataAsync() {
    request(SmtpRequest::Data);
}
void SmtpClient::quitAsync() {
    request(SmtpRequest::Quit);
}

bool SmtpClient::open() {
    return waitFor(request(SmtpRequest::Open));
}

bool SmtpClient::mail() {
    const TicketPtr mailFrom = request(SmtpRequest::MailFrom);
    const TicketPtr rcptTo = request(SmtpRequest::RcptTo);
    const TicketPtr data = request(SmtpRequest::Data);
    // A failure of an earlier step fails the later ones of the same transfer as well.
    return waitFor(data) && mailFrom->outcome.ok() && rcptTo->outcome.ok();
}

bool SmtpClient::quit() {
    return waitFor(request(SmtpRequest::Quit));
}

void SmtpClient::abort() {
    stopAll(Outcome::aborted());
}

void SmtpClient::stopAll(const Outcome& why) {
    session_.closeConnections();
    driver_.cancel(session_.easy());
    queue_.abortAll(why);
}

SmtpClient::Transfer SmtpClient::transferFor(SmtpRequest request) {
    const auto stage = [](SmtpRequest answered, QByteArrayList beginVerbs = {},
                          std::optional<SmtpRequest> fallback = std::nullopt) {
        return RequestQueue::Stage{static_cast<int>(answered), std::move(beginVerbs),
                                   fallback ? static_cast<int>(*fallback) : -1};
    };
    switch (request) {
    case SmtpRequest::Open:
        return {Kind::Login, {stage(request)}};
    case SmtpRequest::Connect:
    case SmtpRequest::Helo:
    case SmtpRequest::Ehlo:
    case SmtpRequest::Auth:
        return {Kind::Login,
                {stage(SmtpRequest::Connect),
                 stage(SmtpRequest::Ehlo, {"EHLO", "HELO"}, SmtpRequest::Helo),
                 stage(SmtpRequest::Auth, {"AUTH"})}};
    case SmtpRequest::MailFrom:
    case SmtpRequest::RcptTo:
    case SmtpRequest::Data:
        return {Kind::Mail,
                {stage(SmtpRequest::MailFrom), stage(SmtpRequest::RcptTo, {"RCPT"}),
                 stage(SmtpRequest::Data, {"DATA"})}};
    case SmtpRequest::Quit:
        return {Kind::Quit, {stage(request)}};
    }
    return {Kind::Quit, {stage(request)}};
}

SmtpClient::TicketPtr SmtpClient::request(SmtpRequest request) {
    const int number = static_cast<int>(request);
    const bool running = driver_.isRunning(session_.easy());
    if (auto ticket = queue_.claim(number)) {
        if (request == SmtpRequest::Data && running) {
            if (const Outcome failed = releaseMessage(); !failed.ok()) {
                // The message cannot be sent: the transfer waiting for it ends here.
                session_.closeConnections();
                driver_.cancel(session_.easy());
                queue_.finishTransfer(failed);
            }
        }
        return ticket;
    }
    if (running)
        return queue_.answer(
            number, Outcome::refused(QStringLiteral("Another request is still in progress")));
    if (const Outcome bad = checkSettings(request); !bad.ok())
        return queue_.answer(number, bad);
    if (request == SmtpRequest::Quit && !isConnected())
        return queue_.answer(number, {});

    Transfer transfer = transferFor(request);
    queue_.beginTransfer(std::move(transfer.stages));
    auto ticket = queue_.claim(number);
    if (const Outcome failed = start(transfer.kind, request); !failed.ok())
        queue_.finishTransfer(failed);
    return ticket;
}

bool SmtpClient::waitFor(const TicketPtr& ticket) {
    const auto reported = [&ticket] { return ticket->reported; };
    if (!core::waitUntil(reported, std::chrono::seconds(timeoutSeconds()))) {
        stopAll(Outcome::timedOut());
        core::waitUntil(reported, std::chrono::seconds(1));
    }
    return ticket->reported && ticket->outcome.ok();
}

Outcome SmtpClient::checkSettings(SmtpRequest request) const {
    if (host_.trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("No host name set"));
    if (portNumber() == 0)
        return Outcome::refused(QStringLiteral("Invalid port \"%1\"").arg(port_));
    if (hasLineBreak(host_) || hasLineBreak(userName_) || hasLineBreak(password_) ||
        hasLineBreak(sender_))
        return Outcome::refused(QStringLiteral("Line breaks are not allowed in names"));
    const bool mail = request == SmtpRequest::MailFrom || request == SmtpRequest::RcptTo ||
                      request == SmtpRequest::Data;
    if (mail && recipients_.isEmpty())
        return Outcome::refused(QStringLiteral("No recipient set"));
    for (const QString& recipient : recipients_)
        if (hasLineBreak(recipient))
            return Outcome::refused(QStringLiteral("Line breaks are not allowed in addresses"));
    return {};
}

int SmtpClient::portNumber() const {
    const QString port = port_.trimmed();
    if (port.isEmpty() || port.compare(QLatin1String("smtp"), Qt::CaseInsensitive) == 0)
        return 25;
    if (port.compare(QLatin1String("smtps"), Qt::CaseInsensitive) == 0)
        return 465;
    bool ok = false;
    const int number = port.toInt(&ok);
    return ok && number > 0 && number < 65536 ? number : 0;
}

QByteArray SmtpClient::baseUrl() const {
    const char* scheme = tlsMode_ == SmtpTlsMode::Implicit ? "smtps://" : "smtp://";
    // The URL's path is the name libcurl gives in EHLO.
    QString self = QHostInfo::localHostName();
    if (self.isEmpty())
        self = QStringLiteral("localhost");
    return scheme + urlHost(host_.trimmed()) + ':' + QByteArray::number(portNumber()) + '/' +
           QUrl::toPercentEncoding(self);
}

Outcome SmtpClient::releaseMessage() {
    QString error;
    if (!message_.open(content_, &error))
        return {errors::kLocalFile, error};
    messageReleased_ = true;
    curl_easy_pause(session_.easy(), CURLPAUSE_CONT);
    return {};
}

Outcome SmtpClient::start(Kind kind, SmtpRequest request) {
    CURL* easy = session_.easy();
    if (kind == Kind::Login)
        session_.closeConnections(); // a new log-in is a new connection
    session_.prepare(baseUrl(), limits_);
    if (tlsMode_ != SmtpTlsMode::None)
        curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (auth_ == SmtpAuth::Automatic && !userName_.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, userName_.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password_.toUtf8().constData());
    }
    switch (kind) {
    case Kind::Login:
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "NOOP");
        break;
    case Kind::Quit:
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "QUIT");
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        break;
    case Kind::Mail: {
        curl_easy_setopt(easy, CURLOPT_MAIL_FROM, angleAddress(sender_).constData());
        QList<QByteArray> recipients;
        for (const QString& recipient : recipients_)
            recipients << angleAddress(recipient);
        session_.setList(CURLOPT_MAIL_RCPT, recipients);
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &SmtpClient::readMessage);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
        messageReleased_ = false;
        progress_.restart();
        if (request == SmtpRequest::Data) {
            if (const Outcome failed = releaseMessage(); !failed.ok())
                return failed;
        }
        break;
    }
    }
    driver_.start(easy, [this, kind](CURLcode result) { finished(kind, result); });
    return {};
}

void SmtpClient::finished(Kind kind, CURLcode result) {
    Outcome outcome = session_.outcome(result);
    if (kind == Kind::Quit) {
        // libcurl says QUIT once more when it drops the connection; the first answer counts.
        for (const ReplyTracker::Step& step : session_.tracker().steps()) {
            if (step.verb != "QUIT")
                continue;
            if (step.reply > 0 && step.reply < 400)
                outcome = {};
            break;
        }
    }
    messageReleased_ = false;
    lastReplyCode_ = session_.tracker().lastReply();
    queue_.finishTransfer(outcome);
}

void SmtpClient::report(int request, const Outcome& outcome) {
    errorMessage_ = outcome.message;
    emit requestDone(static_cast<SmtpRequest>(request), outcome.error);
}

size_t SmtpClient::readMessage(char* buffer, size_t size, size_t count, void* client) {
    auto* self = static_cast<SmtpClient*>(client);
    if (!self->messageReleased_)
        return CURL_READFUNC_PAUSE; // until dataAsync()
    const qint64 read = self->message_.read(buffer, static_cast<qint64>(size * count));
    if (read > 0)
        self->progress_.note(self->message_.attachmentBytesRead());
    return read < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(read);
}

} // namespace stowline::protocols
