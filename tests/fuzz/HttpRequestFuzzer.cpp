// The head of a request to the remote-control server, as it arrives from the network.
#include "FuzzSupport.h"

#include "protocols/HttpServer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline::protocols;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype end = headEnd(bytes);
    const ParsedHead parsed = parseHead(QByteArrayView(bytes).first(end < 0 ? bytes.size() : end));
    if (parsed.errorStatus == 0) {
        (void)parsed.request.path();
        (void)parsed.request.header("Content-Length");
        (void)HttpServer::reasonPhrase(parsed.errorStatus);
    }
    return 0;
}
