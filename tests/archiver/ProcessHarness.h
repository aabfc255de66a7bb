#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace stowline::archiver::testing {

namespace fs = std::filesystem;

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct SpawnOptions {
    std::string workingFolder;
    std::string inputFile;                // standard input; empty: none
    std::optional<long> fileSizeLimit;    // RLIMIT_FSIZE for the child, with SIGXFSZ ignored
    std::vector<std::string> environment; // "NAME=value" added to the child's environment
    int passedFd = -1;                    // a close-on-exec descriptor the child inherits
};

// Runs in `folder`, standard input from `inputFile` (empty: none).
inline SpawnOptions inFolder(const std::string& folder, const std::string& inputFile = {}) {
    SpawnOptions options;
    options.workingFolder = folder;
    options.inputFile = inputFile;
    return options;
}

// Starts a program; the caller waits for it with finish().
pid_t spawn(const std::vector<std::string>& command, const SpawnOptions& options,
            const std::string& outFile, const std::string& errFile);
int finish(pid_t child);

// A temporary folder per test and helpers to run stowarc and the peer tools in it.
class ArchiverProcess : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& relative) const { return (root_ / relative).string(); }
    // Writes a file (parents included) and returns its path.
    std::string write(const std::string& relative, const std::string& content) const;
    // A file of pseudo-random, incompressible bytes.
    std::string writeNoise(const std::string& relative, std::size_t size, unsigned seed = 1) const;
    std::string read(const std::string& absolute) const;
    // A list file with CR LF line ends, as the program writes them.
    std::string writeList(const std::string& relative, const std::vector<std::string>& lines) const;

    // Puts "-ilog<file>" behind the command word of `arguments` and returns the file:
    // logs/<index>.log, one per case of a table.
    std::string withErrorLog(std::vector<std::string>& arguments, std::size_t index) const;
    ProcessResult stowarc(const std::vector<std::string>& arguments,
                          SpawnOptions options = {}) const;
    ProcessResult tool(const std::vector<std::string>& command) const;
    // Names in the archive as bsdtar lists them.
    std::set<std::string> listed(const std::string& archive,
                                 const std::string& password = {}) const;
    // One file's contents as bsdtar extracts it.
    std::string extracted(const std::string& archive, const std::string& name,
                          const std::string& password = {}) const;
    // The same, with the archive read as a stream from standard input: bsdtar then goes
    // by the local headers alone, not by the central directory.
    std::string streamed(const std::string& archive, const std::string& name) const;
    // Files of a folder (not recursive), hidden ones included.
    std::set<std::string> filesIn(const std::string& folder) const;

    fs::path root_;
    std::string stowarcPath_ = STOWARC_PATH;
};

} // namespace stowline::archiver::testing
