#include "archiver/ProgressPipe.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::archiver {

namespace {
constexpr std::chrono::milliseconds sendInterval{100};

// A descriptor number passed down to this program, or -1.
int passedDescriptor(const char* text) {
    if (text == nullptr)
        return -1;
    int fd = -1;
    const char* end = text + std::strlen(text);
    const auto [stop, status] = std::from_chars(text, end, fd);
    if (status != std::errc() || stop != end || fd <= STDERR_FILENO)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return -1;
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}
} // namespace

ProgressPipe::ProgressPipe(const char* descriptorText) : fd_(passedDescriptor(descriptorText)) {}

ProgressPipe::~ProgressPipe() {
    close();
}

void ProgressPipe::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::uint64_t ProgressPipe::done() const {
    return std::min(total_, committed_ + std::min(inItem_, planned_));
}

void ProgressPipe::start(std::uint64_t total) {
    if (fd_ < 0)
        return;
    total_ = total;
    send();
}

void ProgressPipe::beginItem(std::uint64_t plannedSize) {
    planned_ = plannedSize;
    inItem_ = 0;
}

void ProgressPipe::endItem() {
    committed_ += planned_;
    planned_ = 0;
    inItem_ = 0;
    if (fd_ >= 0)
        sendWhenDue();
}

void ProgressPipe::finish() {
    if (fd_ < 0)
        return;
    committed_ = total_;
    planned_ = 0;
    inItem_ = 0;
    if (!sentAny_ || lastSent_ != total_)
        send();
}

void ProgressPipe::sendWhenDue() {
    const std::uint64_t now = done();
    if (now == lastSent_ || std::chrono::steady_clock::now() - lastSentAt_ < sendInterval)
        return;
    send();
}

void ProgressPipe::send() {
    lastSent_ = done();
    lastSentAt_ = std::chrono::steady_clock::now();
    sentAny_ = true;
    char line[48];
    const int length =
        std::snprintf(line, sizeof line, "%llu %llu\n", static_cast<unsigned long long>(lastSent_),
                      static_cast<unsigned long long>(total_));
    // A write to a pipe whose reader is gone raises SIGPIPE, which would end the program:
    // it is held back for the write and taken off again if it came.
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    ssize_t written = 0;
    do
        written = ::write(fd_, line, static_cast<std::size_t>(length));
    while (written < 0 && errno == EINTR);
    const int error = written < 0 ? errno : 0;
    if (error == EPIPE) {
        const timespec noWait{0, 0};
        ::sigtimedwait(&pipeSignal, nullptr, &noWait);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // A full pipe loses this line only; any other failure ends the reporting.
    if (error != 0 && error != EAGAIN)
        close();
}

} // namespace stowline::archiver
