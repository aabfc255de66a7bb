#pragma once

#include <stdexcept>
#include <string>

namespace stowline::archiver {

// The exit codes the RAR archivers use; callers judge a run by these alone.
enum class ExitCode : int {
    Success = 0,
    Warning = 1,     // something was skipped, the rest is done
    Fatal = 2,       // an error that fits no other code
    Checksum = 3,    // damaged data or a damaged archive
    Write = 5,       // writing the archive failed
    Open = 6,        // an archive, list or comment file cannot be opened
    CommandLine = 7, // wrong command line
    Memory = 8,      // not enough memory
    Create = 9,      // the archive or its folder cannot be created
    NoFiles = 10,    // nothing matched the names, masks and switches
    Password = 11,   // a password is wrong or missing
    UserBreak = 255, // stopped by SIGINT, SIGTERM or SIGHUP
};

// An error that ends the command with its exit code.
class ArchiverError : public std::runtime_error {
public:
    ArchiverError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

} // namespace stowline::archiver
