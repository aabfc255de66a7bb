#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stowline::archiver {

enum class Command { Add, Delete, Test, Extract };

// How the names of archived files are formed from the names given (-ep switches).
enum class PathMode {
    AsGiven,       // no switch: the path as given, without its root
    NoPaths,       // -ep: the file name only
    BelowBase,     // -ep1: the path below the folder part of the name given
    Full,          // -ep2: the full path, without its root
    FullWithDrive, // -ep3: the same here (there are no drive letters)
};

enum class SourceDeletion { Keep, Delete, Wipe };

// What extracting does with a file that already exists (-o+, -o-). Without a switch
// there is nobody to ask: the file is kept and a warning says so.
enum class ExistingFiles { KeepWithWarning, Replace, Keep };

struct CommandLine {
    Command command = Command::Add;
    std::string archive;
    std::vector<std::string> names;     // names and masks given as arguments
    std::vector<std::string> nameLists; // @list files
    std::vector<std::string> excludeMasks;
    std::vector<std::string> excludeLists;
    std::vector<std::string> filterMasks;
    std::vector<std::string> filterLists;
    bool recurse = false;
    PathMode pathMode = PathMode::AsGiven;
    std::optional<std::string> dateMask;     // -ag, the default mask when given bare
    std::optional<std::uint64_t> volumeSize; // -v<size>; a bare -v splits nothing
    int level = 3;                           // -m0 .. -m5
    unsigned threads = 0;                    // -mt<n>; 0: one per core
    std::optional<std::string> password;     // -hp, -p
    std::optional<std::string> commentFile;  // -z
    SourceDeletion deletion = SourceDeletion::Keep;
    bool onlyNewer = false;                                  // -u, -f
    bool onlyExisting = false;                               // -f
    bool synchronize = false;                                // -as
    bool keepVersions = false;                               // -ver
    unsigned maxVersions = 0;                                // -ver<N>; 0: no limit
    bool testAfter = false;                                  // -t
    std::optional<std::int64_t> olderThanSeconds;            // -to<period>
    ExistingFiles existing = ExistingFiles::KeepWithWarning; // x: -o+, -o-
    // x: where the files go, the last name that ends in "/"; empty: the current folder.
    std::string destination;
};

// The most compression threads -mt<n> asks for.
inline constexpr unsigned maxThreads = 64;

struct ParsedCommandLine {
    std::optional<CommandLine> commandLine; // empty when the line is wrong or help was asked
    std::string error;                      // why the line is wrong
    bool help = false;
    // Known even when the rest of the line is wrong, so that the error can be reported
    // the way the caller asked.
    std::optional<std::string> errorLog;
    bool quiet = false;
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help: grammar, switches honoured, switches accepted and ignored.
const char* usageText();

} // namespace stowline::archiver
