#pragma once

#include <chrono>
#include <cstdint>

namespace stowline::archiver {

// The environment variable that names the descriptor progress lines go to.
inline constexpr const char* progressVariable = "STOWLINE_PROGRESS_FD";

// Tells the program that started the archiver how far adding has come: "done total\n"
// lines, in bytes of the files being packed, at most one every 100 ms and a last one with
// done == total once the archive is in place. done never goes back.
//
// The descriptor is one the starting program passed down: it must be a pipe or a socket
// and not a standard stream. Anything else, a number that is not open, or no number
// leaves the pipe off and the archiver works as it does without it. A reader that went
// away or stopped reading costs nothing but the lines: writes never block, and the
// SIGPIPE of a closed pipe is held back and dropped instead of ending the archiver.
class ProgressPipe {
public:
    // Off.
    ProgressPipe() = default;
    // `descriptorText` is the variable's value (nullptr when it is not set).
    explicit ProgressPipe(const char* descriptorText);
    ~ProgressPipe();
    ProgressPipe(const ProgressPipe&) = delete;
    ProgressPipe& operator=(const ProgressPipe&) = delete;

    bool enabled() const { return fd_ >= 0; }

    // The bytes to pack are known; the first line goes out at once.
    void start(std::uint64_t total);
    // One file of `plannedSize` bytes (its size when it was selected) is being packed.
    // Bytes beyond that count as nothing, and a file that ends short counts whole when
    // it is done, so the total is reached exactly.
    void beginItem(std::uint64_t plannedSize);
    void advance(std::uint64_t bytes) {
        if (fd_ < 0)
            return;
        inItem_ += bytes;
        sendWhenDue();
    }
    void endItem();
    // The work is complete: done == total.
    void finish();

private:
    std::uint64_t done() const;
    void sendWhenDue();
    void send();
    void close();

    int fd_ = -1;
    std::uint64_t total_ = 0;
    std::uint64_t committed_ = 0; // planned bytes of the files already done
    std::uint64_t planned_ = 0;   // of the file being packed
    std::uint64_t inItem_ = 0;    // read of the file being packed
    std::uint64_t lastSent_ = 0;
    bool sentAny_ = false;
    std::chrono::steady_clock::time_point lastSentAt_{};
};

} // namespace stowline::archiver
