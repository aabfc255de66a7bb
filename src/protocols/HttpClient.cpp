#include "protocols/HttpClient.h"

#include "core/EventWait.h"
#include "protocols/CurlDriver.h"

#include <QUrl>

#include <optional>

namespace stowline::protocols {

HttpClient::HttpClient(CurlDriver& driver) : driver_(driver) {}

HttpClient::~HttpClient() {
    driver_.cancel(session_.easy());
}

HttpAnswer HttpClient::post(const QString& url, const QByteArray& body) {
    HttpAnswer answer;
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        answer.error = QStringLiteral("Not an http or https address: %1").arg(url);
        return answer;
    }
    if (driver_.isRunning(session_.easy())) {
        answer.error = QStringLiteral("Another request is still in progress");
        return answer;
    }

    const int seconds = timeoutSeconds_ > 0 ? timeoutSeconds_ : 15;
    session_.prepare(parsed.toEncoded(), {seconds, 0, trustedCertificate_});
    CURL* easy = session_.easy();
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, static_cast<long>(seconds));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpClient::collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    answer_.clear();
    tooLong_ = false;

    std::optional<CURLcode> result;
    driver_.start(easy, [this, &result, &answer](CURLcode code) {
        result = code;
        long status = 0;
        curl_easy_getinfo(session_.easy(), CURLINFO_RESPONSE_CODE, &status);
        answer.status = static_cast<int>(status);
    });
    // libcurl's own time-out ends the transfer; the margin only guards against a stall
    // of the event loop itself.
    if (!core::waitUntil([&result] { return result.has_value(); },
                         std::chrono::seconds(seconds + 2))) {
        driver_.cancel(easy);
        answer.error = QStringLiteral("No answer within %1 seconds").arg(seconds);
        return answer;
    }
    if (tooLong_) {
        answer.error = QStringLiteral("The answer is longer than %1 bytes").arg(maxAnswerBytes_);
        return answer;
    }
    if (*result != CURLE_OK) {
        answer.error = session_.outcome(*result).message;
        return answer;
    }
    answer.body = answer_;
    answer.ok = answer.status >= 200 && answer.status < 300;
    if (!answer.ok)
        answer.error = QStringLiteral("HTTP status %1").arg(answer.status);
    return answer;
}

size_t HttpClient::collect(char* data, size_t size, size_t count, void* client) {
    auto* self = static_cast<HttpClient*>(client);
    const qsizetype length = static_cast<qsizetype>(size * count);
    if (self->answer_.size() + length > self->maxAnswerBytes_) {
        self->tooLong_ = true;
        return 0;
    }
    self->answer_.append(data, length);
    return size * count;
}

} // namespace stowline::protocols
