#include "archiver/Reporter.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace stowline::archiver {

namespace {
std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y.%m.%d %H:%M:%S", &local);
    return text;
}
} // namespace

Reporter::Reporter(bool quiet, std::optional<std::string> errorLog)
    : quiet_(quiet), errorLog_(std::move(errorLog)) {}

void Reporter::setArchive(std::string path) {
    archive_ = std::move(path);
}

void Reporter::warning(std::string_view message) {
    if (exitCode_ == ExitCode::Success)
        exitCode_ = ExitCode::Warning;
    record(std::string("warning: ").append(message));
}

void Reporter::error(ExitCode code, std::string_view message) {
    // The first error decides the code: later ones are usually its consequences.
    if (exitCode_ == ExitCode::Success || exitCode_ == ExitCode::Warning)
        exitCode_ = code;
    record(std::string("error: ").append(message));
}

void Reporter::info(std::string_view message) {
    if (!quiet_)
        std::fprintf(stdout, "%.*s\n", static_cast<int>(message.size()), message.data());
}

void Reporter::record(std::string_view message) {
    const std::string context = archive_.empty() ? std::string("stowarc") : archive_;
    if (!quiet_)
        std::fprintf(stderr, "%s: %.*s\n", context.c_str(), static_cast<int>(message.size()),
                     message.data());
    if (!errorLog_)
        return;
    // Appended line by line, CR LF like every text file of the program, so that the log
    // can be read while runs keep adding to it. Opened without blocking: a log named on a
    // pipe that nobody reads must not hang the run, where stop signals are only looked at
    // between steps.
    const int fd = ::open(errorLog_->c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    std::FILE* log = fd >= 0 ? ::fdopen(fd, "ab") : nullptr;
    if (fd >= 0 && log == nullptr)
        ::close(fd);
    if (log != nullptr) {
        std::fprintf(log, "%s %s: %.*s\r\n", timeStamp().c_str(), context.c_str(),
                     static_cast<int>(message.size()), message.data());
        std::fclose(log);
    } else if (!quiet_) {
        std::fprintf(stderr, "stowarc: cannot write the error log %s\n", errorLog_->c_str());
    }
}

} // namespace stowline::archiver
