// Times the protocol clients against servers started by run_protocols_bench.sh:
//   stowline_protocols_bench ftp-upload PORT FILE        FtpClient: Connect, TypeSet, Put, Quit
//   stowline_protocols_bench smtp-client PORT FILE COUNT SmtpClient: COUNT messages, one connection
//   stowline_protocols_bench smtp-easy PORT FILE COUNT   the same with a plain curl_easy_perform
//   loop
// Each prints "seconds=<elapsed>" and exits non-zero when a request failed.

#include "core/EventWait.h"
#include "protocols/CurlDriver.h"
#include "protocols/FtpClient.h"
#include "protocols/SmtpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <curl/curl.h>

#include <cstdio>
#include <optional>

using namespace stowline::protocols;

namespace {

int ftpUpload(const QString& port, const QString& file) {
    CurlDriver driver;
    FtpClient client(driver);
    client.setHost("127.0.0.1");
    client.setPort(port);
    client.setUserName("user");
    client.setPassword("secret");
    client.setLocalFileName(file);
    client.setRemoteFileName("client.bin");
    std::optional<int> error;
    QObject::connect(&client, &FtpClient::requestDone, [&](FtpRequest, int code) { error = code; });
    const auto run = [&](void (FtpClient::*request)()) {
        error.reset();
        (client.*request)();
        stowline::core::waitUntil([&] { return error.has_value(); }, std::chrono::minutes(5));
        return error.value_or(-1) == 0;
    };
    QElapsedTimer clock;
    clock.start();
    const bool ok = run(&FtpClient::connectAsync) && run(&FtpClient::typeSetAsync) &&
                    run(&FtpClient::putAsync) && run(&FtpClient::quitAsync);
    std::printf("seconds=%.3f\n", clock.nsecsElapsed() / 1e9);
    return ok ? 0 : 1;
}

int smtpClient(const QString& port, const QString& file, int count) {
    CurlDriver driver;
    SmtpClient client(driver);
    client.setHost("127.0.0.1");
    client.setPort(port);
    client.setTimeoutSeconds(120);
    client.setSender("bench@example.org");
    client.setRecipients({"sink@example.org"});
    client.setHeaderFrom("bench@example.org");
    client.setHeaderTo("sink@example.org");
    client.setAttachments({file});
    QElapsedTimer clock;
    clock.start();
    bool ok = client.open();
    for (int i = 0; ok && i < count; ++i) {
        client.setSubject(QString("message %1").arg(i));
        ok = client.mail();
    }
    ok = client.quit() && ok;
    std::printf("seconds=%.3f\n", clock.nsecsElapsed() / 1e9);
    return ok ? 0 : 1;
}

int smtpEasy(const QString& port, const QString& file, int count) {
    CURL* easy = curl_easy_init();
    const QByteArray url = "smtp://127.0.0.1:" + port.toLatin1() + "/bench";
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_MAIL_FROM, "<bench@example.org>");
    curl_slist* recipients = curl_slist_append(nullptr, "<sink@example.org>");
    curl_easy_setopt(easy, CURLOPT_MAIL_RCPT, recipients);
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        const QByteArray subject = "Subject: message " + QByteArray::number(i);
        curl_slist* headers = curl_slist_append(nullptr, subject.constData());
        headers = curl_slist_append(headers, "From: bench@example.org");
        headers = curl_slist_append(headers, "To: sink@example.org");
        curl_mime* mime = curl_mime_init(easy);
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_filedata(part, QFile::encodeName(file).constData());
        curl_mime_encoder(part, "base64");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime);
        ok = curl_easy_perform(easy) == CURLE_OK;
        curl_mime_free(mime);
        curl_slist_free_all(headers);
    }
    curl_easy_cleanup(easy); // QUIT
    std::printf("seconds=%.3f\n", clock.nsecsElapsed() / 1e9);
    curl_slist_free_all(recipients);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "ftp-upload")
        return ftpUpload(args[2], args[3]);
    if (args.size() >= 5 && args[1] == "smtp-client")
        return smtpClient(args[2], args[3], args[4].toInt());
    if (args.size() >= 5 && args[1] == "smtp-easy")
        return smtpEasy(args[2], args[3], args[4].toInt());
    std::fprintf(stderr, "usage: %s ftp-upload PORT FILE | smtp-client|smtp-easy PORT FILE COUNT\n",
                 argv[0]);
    return 2;
}
