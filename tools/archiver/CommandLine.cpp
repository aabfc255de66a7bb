#include "archiver/CommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>
#include <string_view>

namespace stowline::archiver {

namespace {

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Switches that tune a RAR archive, its window or its attributes and have no meaning for
// the archives written here. They are accepted so that every command line the program
// produces works, and ignored.
bool isIgnoredSwitch(const std::string& name) {
    static constexpr std::array exact{"s",  "k",  "ibck", "cfg-", "av", "av-", "vd", "os",
                                      "dh", "ma", "ma4",  "ma5",  "ac", "ai",  "ao", "sfx"};
    if (std::find(exact.begin(), exact.end(), name) != exact.end())
        return true;
    // -rr<N>[%|p], -ri<p>[:<s>], -md<size>, -sfx<module>
    for (std::string_view prefix : {"rr", "ri", "md", "sfx"})
        if (startsWith(name, prefix))
            return true;
    // Attribute masks such as -eHS or -e+H (after the -ep switches were taken).
    if (name.size() > 1 && name[0] == 'e')
        return std::all_of(name.begin() + 1, name.end(),
                           [](unsigned char c) { return std::isalnum(c) || c == '+'; });
    return false;
}

bool parseUnsigned(std::string_view text, unsigned& value) {
    if (text.empty())
        return false;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size();
}

// <number>[.<fraction>][k|b|m|M|g|G], as the RAR archivers read it: without a unit the
// number counts thousands of bytes, k, m and g are powers of 1024, M and G powers of 1000.
bool parseVolumeSize(std::string_view text, std::uint64_t& size) {
    std::size_t digits = 0;
    while (digits < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[digits])) || text[digits] == '.'))
        ++digits;
    const std::string_view number = text.substr(0, digits);
    const std::string_view unit = text.substr(digits);
    if (number.empty() || unit.size() > 1 || std::count(number.begin(), number.end(), '.') > 1)
        return false;
    double multiplier = 1000.0;
    if (unit == "b")
        multiplier = 1.0;
    else if (unit == "k")
        multiplier = 1024.0;
    else if (unit == "m")
        multiplier = 1024.0 * 1024.0;
    else if (unit == "M")
        multiplier = 1e6;
    else if (unit == "g")
        multiplier = 1024.0 * 1024.0 * 1024.0;
    else if (unit == "G")
        multiplier = 1e9;
    else if (!unit.empty())
        return false;
    double value = 0;
    const auto [end, status] = std::from_chars(number.data(), number.data() + number.size(), value,
                                               std::chars_format::fixed);
    if (status != std::errc() || end != number.data() + number.size())
        return false;
    const double bytes = value * multiplier;
    if (bytes > 1e18)
        return false;
    size = static_cast<std::uint64_t>(bytes);
    return true;
}

// [<n>d][<n>h][<n>m][<n>s], at least one part, in this order.
bool parsePeriod(std::string_view text, std::int64_t& seconds) {
    static constexpr std::array<std::pair<char, std::int64_t>, 4> units{
        {{'d', 86400}, {'h', 3600}, {'m', 60}, {'s', 1}}};
    seconds = 0;
    std::size_t nextUnit = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = position;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (end == position || end == text.size())
            return false;
        unsigned count = 0;
        if (!parseUnsigned(text.substr(position, end - position), count))
            return false;
        const char unit = static_cast<char>(std::tolower(static_cast<unsigned char>(text[end])));
        while (nextUnit < units.size() && units[nextUnit].first != unit)
            ++nextUnit;
        if (nextUnit == units.size())
            return false;
        seconds += static_cast<std::int64_t>(count) * units[nextUnit].second;
        ++nextUnit;
        position = end + 1;
    }
    return position > 0;
}

constexpr std::uint64_t minimumVolumeSize = 1024;

// The switches that are a name alone and set something, by their lower-case name.
using FlagAction = void (*)(CommandLine&);
const std::map<std::string, FlagAction, std::less<>>& flagSwitches() {
    static const std::map<std::string, FlagAction, std::less<>> table{
        {"r", [](CommandLine& line) { line.recurse = true; }},
        {"ep", [](CommandLine& line) { line.pathMode = PathMode::NoPaths; }},
        {"ep1", [](CommandLine& line) { line.pathMode = PathMode::BelowBase; }},
        {"ep2", [](CommandLine& line) { line.pathMode = PathMode::Full; }},
        {"ep3", [](CommandLine& line) { line.pathMode = PathMode::FullWithDrive; }},
        {"u", [](CommandLine& line) { line.onlyNewer = true; }},
        {"f",
         [](CommandLine& line) {
             line.onlyNewer = true;
             line.onlyExisting = true;
         }},
        {"as", [](CommandLine& line) { line.synchronize = true; }},
        {"df",
         [](CommandLine& line) {
             if (line.deletion == SourceDeletion::Keep)
                 line.deletion = SourceDeletion::Delete;
         }},
        {"dw", [](CommandLine& line) { line.deletion = SourceDeletion::Wipe; }},
        {"t", [](CommandLine& line) { line.testAfter = true; }},
        {"o+", [](CommandLine& line) { line.existing = ExistingFiles::Replace; }},
        {"o-", [](CommandLine& line) { line.existing = ExistingFiles::Keep; }},
        // Read by the first pass.
        {"inul", [](CommandLine&) {}},
        // ZIP is the only format written.
        {"afzip", [](CommandLine&) {}},
        // Size detection: a fixed disk offers all its free space, so nothing is split.
        {"v", [](CommandLine& line) { line.volumeSize.reset(); }},
    };
    return table;
}

// What a switch with a value made of: nothing when the switch is not of its kind, an
// empty text when it was read, else the error.
using SwitchOutcome = std::optional<std::string>;
const SwitchOutcome kSwitchRead = std::string();

// The switches that shape the archive written: its log, versions, name stamp, volumes,
// format, level, password and comment.
SwitchOutcome applyArchiveSwitch(const std::string& argument, const std::string& body,
                                 const std::string& name, CommandLine& line) {
    const auto valueAfter = [&](std::size_t length) { return body.substr(length); };
    if (startsWith(name, "ilog"))
        return body.size() == 4 ? "-ilog needs a file name" : kSwitchRead;
    if (startsWith(name, "ver")) {
        line.keepVersions = true;
        if (name.size() > 3 && !parseUnsigned(name.substr(3), line.maxVersions))
            return "wrong version count in " + argument;
        return kSwitchRead;
    }
    if (startsWith(name, "ag")) {
        line.dateMask = body.size() > 2 ? valueAfter(2) : std::string("YYYYMMDDHHMMSS");
        return kSwitchRead;
    }
    if (startsWith(name, "v")) {
        std::uint64_t size = 0;
        if (!parseVolumeSize(valueAfter(1), size))
            return "wrong volume size in " + argument;
        if (size < minimumVolumeSize)
            return "volume size in " + argument + " is below 1024 bytes";
        line.volumeSize = size;
        return kSwitchRead;
    }
    if (startsWith(name, "af"))
        return "only ZIP archives are written, not " + valueAfter(2);
    if (startsWith(name, "mt")) {
        unsigned threads = 0;
        if (!parseUnsigned(name.substr(2), threads) || threads < 1 || threads > maxThreads)
            return "wrong thread count in " + argument + " (1 to " + std::to_string(maxThreads) +
                   ")";
        line.threads = threads;
        return kSwitchRead;
    }
    if (name.size() == 2 && name[0] == 'm' && name[1] >= '0' && name[1] <= '5') {
        line.level = name[1] - '0';
        return kSwitchRead;
    }
    if (startsWith(name, "hp") || startsWith(name, "p")) {
        // There is nobody to ask for a password, so it must be on the line.
        std::string password = valueAfter(name[0] == 'h' ? 2 : 1);
        if (password.empty())
            return "a password must follow " + argument;
        line.password = std::move(password);
        return kSwitchRead;
    }
    if (startsWith(name, "z")) {
        if (body.size() == 1)
            return "-z needs a comment file";
        line.commentFile = valueAfter(1);
        return kSwitchRead;
    }
    return std::nullopt;
}

// The switches that choose which files are taken: age, exclusions and filters.
SwitchOutcome applySelectionSwitch(const std::string& argument, const std::string& body,
                                   const std::string& name, CommandLine& line) {
    if (startsWith(name, "to")) {
        std::int64_t seconds = 0;
        if (!parsePeriod(name.substr(2), seconds))
            return "wrong period in " + argument + " (use for example -to30d or -to1d12h)";
        line.olderThanSeconds = seconds;
        return kSwitchRead;
    }
    const bool excludes = name[0] == 'x';
    if (startsWith(name, "x@") || startsWith(name, "n@")) {
        if (body.size() == 2)
            return argument + " needs a list file";
        (excludes ? line.excludeLists : line.filterLists).push_back(body.substr(2));
        return kSwitchRead;
    }
    if (startsWith(name, "x") || startsWith(name, "n")) {
        if (body.size() == 1)
            return argument + " needs a mask";
        (excludes ? line.excludeMasks : line.filterMasks).push_back(body.substr(1));
        return kSwitchRead;
    }
    return std::nullopt;
}

// Reads one switch into `line`; returns an error text when it is wrong.
std::string applySwitch(const std::string& argument, CommandLine& line) {
    const std::string body = argument.substr(1);
    const std::string name = lowerCase(body);
    if (const auto flag = flagSwitches().find(name); flag != flagSwitches().end()) {
        flag->second(line);
        return {};
    }
    // Accepted for the command lines that carry it; no meaning here.
    if (isIgnoredSwitch(name))
        return {};
    if (SwitchOutcome outcome = applyArchiveSwitch(argument, body, name, line))
        return std::move(*outcome);
    if (SwitchOutcome outcome = applySelectionSwitch(argument, body, name, line))
        return std::move(*outcome);
    return "unknown switch " + argument;
}

} // namespace

namespace {
// The first pass: the switches that say how to report, and help, wherever they stand.
void readReportingSwitches(const std::vector<std::string>& arguments, ParsedCommandLine& parsed) {
    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        const std::string lower = lowerCase(argument);
        if (lower == "--help" || lower == "-?")
            parsed.help = true;
        else if (lower == "-inul")
            parsed.quiet = true;
        else if (startsWith(lower, "-ilog") && argument.size() > 5)
            parsed.errorLog = argument.substr(5);
    }
}

std::optional<Command> commandNamed(const std::string& word) {
    const std::string command = lowerCase(word);
    if (command == "a")
        return Command::Add;
    if (command == "d")
        return Command::Delete;
    if (command == "t")
        return Command::Test;
    if (command == "x")
        return Command::Extract;
    return std::nullopt;
}

// Reads the switches, the archive and the names that follow the command; returns an
// error text when one is wrong.
std::string readArguments(const std::vector<std::string>& arguments, CommandLine& line) {
    bool switchesEnded = false;
    bool archiveSeen = false;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (!switchesEnded && argument == "--") {
            switchesEnded = true;
        } else if (!switchesEnded && argument.size() > 1 && argument[0] == '-') {
            std::string error = applySwitch(argument, line);
            if (!error.empty())
                return error;
        } else if (argument.empty()) {
            // An empty argument names nothing.
        } else if (!archiveSeen) {
            line.archive = argument;
            archiveSeen = true;
        } else if (argument.size() > 1 && argument[0] == '@') {
            line.nameLists.push_back(argument.substr(1));
        } else {
            line.names.push_back(argument);
        }
    }
    if (!archiveSeen)
        return "no archive named";
    if (line.command == Command::Extract && !line.names.empty() && line.names.back().size() > 1 &&
        line.names.back().back() == '/') {
        line.destination = line.names.back();
        line.names.pop_back();
    }
    if (line.command != Command::Test && line.command != Command::Extract && line.names.empty() &&
        line.nameLists.empty())
        return line.command == Command::Add ? "no files or list files named"
                                            : "no names to delete (use *.* for all)";
    return {};
}
} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    readReportingSwitches(arguments, parsed);
    if (parsed.help)
        return parsed;
    if (arguments.empty()) {
        parsed.error = "no command given (see stowarc --help)";
        return parsed;
    }
    const std::optional<Command> command = commandNamed(arguments.front());
    if (!command) {
        parsed.error = "unknown command " + arguments.front() + " (use a, d or t)";
        return parsed;
    }
    CommandLine line;
    line.command = *command;
    parsed.error = readArguments(arguments, line);
    if (parsed.error.empty())
        parsed.commandLine = std::move(line);
    return parsed;
}

const char* usageText() {
    return R"(stowarc - the archiver bundled with Stowline; writes ZIP archives.

Usage:
  stowarc <command> [<switches>...] <archive> [<names>...] [@<listfile>...]

Switches may stand anywhere before "--"; after it every argument is a name. Switch
names are not case-sensitive, their values are.

Commands:
  a   add files to the archive (creating it), replacing files of the same name
  d   delete files from the archive; names are masks such as *.*
  t   test the archive (all files, or those matching the names)
  x   extract with full paths into the folder named last with a trailing /
      (default: the current folder); -o+ replaces existing files, -o- keeps them

Switches honoured:
  -r              recurse into subfolders for masks (named folders are always whole)
  -x<mask>        exclude files or folders; -x@<list> reads masks from a list file
  -n<mask>        archive only files matching; -n@<list> reads masks from a list file
  -ep             store file names only
  -ep1            store paths below the folder part of each name given
  -ep2, -ep3      store full paths (without the leading /)
  -ag[<mask>]     add the date and time to the archive name (default YYYYMMDDHHMMSS)
  -v<size>[k|m|g|b|M|G]  split into volumes of that size (no unit: thousands of bytes)
  -v              size detection: the archive is not split
  -afzip          write a ZIP archive (always done)
  -m0 .. -m5      store .. best compression (default -m3)
  -mt<n>          compress on n threads (default: one per core)
  -hp<password>   encrypt file contents with AES-256 (-p<password> does the same)
  -z<file>        set the archive comment from a file
  -df             delete archived files and folders once the archive is written and tested
  -dw             as -df, overwriting file contents with zeros first
  -u              add new files and files newer than their archived copy
  -f              only refresh archived files that are older than the files
  -as             remove archived files that are no longer among the names given
  -ver[<N>]       keep up to N older versions of a replaced file, as name;1, name;2 ...
  -t              test the archive after writing it
  -o+, -o-        x: replace, or keep, files that exist (default: keep, with a warning)
  -to<period>     only files older than <period>: [<n>d][<n>h][<n>m][<n>s]
  -ilog<file>     append every warning and error to <file>
  -inul           print nothing
  -dh             read files open for writing (always done here)

Accepted and ignored (they tune RAR archives or Windows behaviour):
  -s -k -rr<N>[%|p] -ma -ma4 -ma5 -md<size> -ri<p>[:<s>] -ibck -cfg- -av -av-
  -sfx[<module>] -vd -os -ac -ai -ao -e<attributes>

Volumes are numbered files archive.zip.001, archive.zip.002, ...; joined in order they
give the ZIP archive back (cat archive.zip.0* > archive.zip). A set that fits in one
volume is written as archive.zip.

Exit codes: 0 success, 1 warning, 2 fatal error, 3 checksum error, 5 write error,
6 open error, 7 wrong command line, 8 not enough memory, 9 cannot create,
10 no files to archive, 11 wrong password, 255 stopped by the user.
)";
}

} // namespace stowline::archiver
