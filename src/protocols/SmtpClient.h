#pragma once

#include "protocols/ConnectionSettings.h"
#include "protocols/CurlSession.h"
#include "protocols/MimeMessage.h"
#include "protocols/QueuedProgress.h"
#include "protocols/RequestQueue.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace stowline::protocols {

class CurlDriver;

// TLS of the connection; the values are those stored in presets and options.
enum class SmtpTlsMode { None = 0, Implicit = 1, Explicit = 2 };

// No authentication, or AUTH with the best mechanism the server offers.
enum class SmtpAuth { None, Automatic };

// The number a completion carries for each request.
enum class SmtpRequest {
    Connect = 0,
    Helo = 1,
    MailFrom = 2,
    RcptTo = 4,
    Data = 5,
    Quit = 6,
    Open = 8,
    Ehlo = 10,
    Auth = 11,
};

// Asynchronous SMTP client: several messages over one connection, each request ending in
// exactly one requestDone on the event loop, in the order the requests were made (error
// codes as in ProtocolErrors.h). The synchronous forms open(), mail() and quit() make
// the same requests and wait for them, processing events, at most the time-out.
//
// libcurl runs connect, greeting, EHLO, STARTTLS and AUTH as one transfer, and MAIL FROM,
// RCPT TO and DATA as another; the requests of each complete one by one with the outcome
// of their own step. A message transfer waits for dataAsync() before it sends the
// message, so subject and attachments may be set after RCPT TO has completed. libcurl
// always greets with EHLO (HELO only when the server refuses EHLO); heloAsync and
// ehloAsync both complete with the outcome of that greeting.
//
// The port is "smtp" (25) unless set; the time-out is 30 s by default.
class SmtpClient final : public QObject, public ConnectionSettings {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmtpClient)
public:
    explicit SmtpClient(CurlDriver& driver, QObject* parent = nullptr);
    ~SmtpClient() override;

    void setAuth(SmtpAuth auth) { auth_ = auth; }
    void setTlsMode(SmtpTlsMode mode) { tlsMode_ = mode; }

    // The envelope sender (MAIL FROM) and recipients (RCPT TO).
    void setSender(const QString& address) { sender_ = address; }
    void setRecipients(const QStringList& addresses) { recipients_ = addresses; }
    // The message: header From and To, Subject, text lines and attached files.
    void setHeaderFrom(const QString& from) { content_.from = from; }
    void setHeaderTo(const QString& to) { content_.to = to; }
    void setSubject(const QString& subject) { content_.subject = subject; }
    void setTextLines(const QStringList& lines) { content_.textLines = lines; }
    void setAttachments(const QStringList& paths) { content_.attachments = paths; }

    bool isConnected() const { return session_.hasOpenConnection(); }
    int lastReplyCode() const { return lastReplyCode_; }
    // The error text of the completion being reported; empty after a success.
    const QString& errorMessage() const { return errorMessage_; }

    // Connect, greeting, EHLO, STARTTLS in explicit mode and AUTH when set.
    void openAsync();
    void connectAsync();
    void heloAsync();
    void ehloAsync();
    void authAsync();
    void mailFromAsync();
    void rcptToAsync();
    void dataAsync();
    void quitAsync();
    // Ends the pending request at once (reported with errors::kAborted) and closes the
    // connection without a goodbye.
    void abort();

    bool open();
    // MAIL FROM, RCPT TO and DATA of one message.
    bool mail();
    bool quit();

signals:
    void requestDone(stowline::protocols::SmtpRequest request, int errorCode);
    // A line of the conversation: commands (credentials masked) and server replies.
    void display(const QString& line);
    // Bytes of the attached files sent so far in the message under way.
    void progress(qint64 bytes);

private:
    enum class Kind { Login, Mail, Quit };
    using TicketPtr = std::shared_ptr<RequestQueue::Ticket>;

    TicketPtr request(SmtpRequest request);
    // Ends every pending request at once, each reported with `why`.
    void stopAll(const Outcome& why);
    bool waitFor(const TicketPtr& ticket);
    Outcome checkSettings(SmtpRequest request) const;
    // The transfer that carries out `request`: its kind and the requests it answers.
    struct Transfer {
        Kind kind;
        std::vector<RequestQueue::Stage> stages;
    };
    static Transfer transferFor(SmtpRequest request);
    Outcome start(Kind kind, SmtpRequest request);
    Outcome releaseMessage();
    void finished(Kind kind, CURLcode result);
    void report(int request, const Outcome& outcome);
    QByteArray baseUrl() const;
    int portNumber() const;

    static size_t readMessage(char* buffer, size_t size, size_t count, void* client);

    CurlDriver& driver_;
    CurlSession session_;
    RequestQueue queue_;

    SmtpAuth auth_ = SmtpAuth::None;
    SmtpTlsMode tlsMode_ = SmtpTlsMode::None;
    QString sender_;
    QStringList recipients_;
    MimeMessage::Content content_;

    MimeMessage message_;
    bool messageReleased_ = false; // dataAsync came: the message may go out
    int lastReplyCode_ = 0;
    QString errorMessage_;
    QueuedProgress progress_{this, [this](qint64 bytes) { emit progress(bytes); }};
};

} // namespace stowline::protocols
