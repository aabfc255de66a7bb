#pragma once

#include <QString>

#include <optional>

namespace stowline::protocols {
class HttpClient;
}

namespace stowline::net {

// The FTP host named by an HTTP script: the text after the first "?" of `address` is
// POSTed to the address before it, and the first line of the answer, trimmed, is the
// host. Only a host name or address, optionally with ":" and a port, is accepted; any
// failure of the request, an empty answer or any other first line gives nothing. The
// client's time-out and answer limit bound the request.
std::optional<QString> ResolveFtpHost(protocols::HttpClient& http, const QString& address);

// A host name or IPv4 address of at most 253 characters, optionally followed by ":"
// and a port from 1 to 65535.
bool isFtpHostLine(const QString& text);

} // namespace stowline::net
