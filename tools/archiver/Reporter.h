#pragma once

#include "archiver/ExitCode.h"

#include <optional>
#include <string>
#include <string_view>

namespace stowline::archiver {

// Collects the outcome of one command: every warning and error goes to standard error
// (unless quiet) and is appended to the error log (when one was named), and the exit
// code becomes the most serious one reported.
class Reporter {
public:
    Reporter(bool quiet, std::optional<std::string> errorLog);

    // Messages name the archive once it is known.
    void setArchive(std::string path);
    void warning(std::string_view message);
    void error(ExitCode code, std::string_view message);
    // A result line on standard output, unless quiet.
    void info(std::string_view message);

    ExitCode exitCode() const { return exitCode_; }

private:
    void record(std::string_view message);

    bool quiet_;
    std::optional<std::string> errorLog_;
    std::string archive_;
    ExitCode exitCode_ = ExitCode::Success;
};

} // namespace stowline::archiver
