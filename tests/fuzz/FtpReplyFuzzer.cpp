// The control connection of an FTP or SMTP session as libcurl's debug output shows it:
// the server's replies, and the commands that went out, in pieces of any size.
#include "FuzzSupport.h"

#include "protocols/ReplyTracker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline::protocols;
    ReplyTracker tracker;
    tracker.stepBegan = [](const ReplyTracker::Step&) {};
    tracker.lineSeen = [](const QByteArray&, bool) {};
    // Each piece starts with a byte that says its direction and length.
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t head = data[at++];
        const std::size_t length = std::min<std::size_t>(head & 0x7f, size - at);
        const QByteArrayView piece(reinterpret_cast<const char*>(data + at),
                                   static_cast<qsizetype>(length));
        if (head & 0x80)
            tracker.sent(piece);
        else
            tracker.received(piece);
        at += length;
    }
    (void)tracker.lastReply();
    return 0;
}
