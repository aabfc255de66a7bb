#pragma once

#include <QString>

namespace stowline::protocols {

// The error code a completion carries: 0 for success, the server's reply code when the
// server refused (for example 530 or 550), a five-digit socket error number in the
// Windows numbering the delivery code and its logs use when the connection failed, or
// one of the small client codes below. Socket errors also appear in the error message
// as "#" followed by the five digits.
namespace errors {
inline constexpr int kLocalFile = 1;   // a local file could not be read or written
inline constexpr int kTls = 2;         // TLS negotiation or certificate check failed
inline constexpr int kProtocol = 3;    // any other failure of the exchange
inline constexpr int kRefused = 4;     // the client refused the request (busy, bad settings)
inline constexpr int kAborted = 10004; // ended by Abort
inline constexpr int kConnectionAborted = 10053; // the peer closed the connection
inline constexpr int kConnectionReset = 10054;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
} // namespace errors

// How one request ended.
struct Outcome {
    int error = 0;
    QString message; // empty on success

    bool ok() const { return error == 0; }
    static Outcome refused(const QString& why) { return {errors::kRefused, why}; }
    static Outcome aborted() {
        return {errors::kAborted, QStringLiteral("Socket error #10004 - request aborted")};
    }
    static Outcome timedOut() {
        return {errors::kTimedOut, QStringLiteral("Socket error #10060 - request timed out")};
    }
};

} // namespace stowline::protocols
