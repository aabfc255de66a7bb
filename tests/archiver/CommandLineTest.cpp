#include "archiver/CommandLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace stowline::archiver {
namespace {

std::vector<std::string> split(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// The command lines the program produces, split as the program splits them (the quotes
// only group; none of these paths holds a blank).
TEST(CommandLine, BackupLineOfTheDefaultPreset) {
    const ParsedCommandLine parsed = parseCommandLine(
        split("a -CFG- -ag-YYMMDDHHMMSS -v -m0 -ep1 -s -dh -r -INUL -ILOG/data/winrar.log "
              "-x@/data/presets/Docs.exc /tmp/QWERTYUI/docs @/data/presets/Docs.inc"));
    ASSERT_TRUE(parsed.commandLine) << parsed.error;
    const CommandLine& line = *parsed.commandLine;
    EXPECT_EQ(line.command, Command::Add);
    EXPECT_EQ(line.archive, "/tmp/QWERTYUI/docs");
    EXPECT_EQ(line.nameLists, std::vector<std::string>{"/data/presets/Docs.inc"});
    EXPECT_EQ(line.excludeLists, std::vector<std::string>{"/data/presets/Docs.exc"});
    EXPECT_EQ(line.dateMask, "-YYMMDDHHMMSS");
    EXPECT_FALSE(line.volumeSize);
    EXPECT_EQ(line.level, 0);
    EXPECT_EQ(line.pathMode, PathMode::BelowBase);
    EXPECT_TRUE(line.recurse);
    EXPECT_TRUE(parsed.quiet);
    EXPECT_EQ(parsed.errorLog, "/data/winrar.log");
}

TEST(CommandLine, BackupLineWithDirectArchivingAndEverySideFile) {
    const ParsedCommandLine parsed = parseCommandLine(
        split("a -v100m -u -as -m5 -ma5 -md1024k -ep -hpSecret -k -s -t -df -dw -dh -r -vd -rr3% "
              "-z/p/Docs.cmt -ri8:10 -ILOG/d/winrar.log -os -eHS -n@/p/Docs.flt -x@/p/Docs.exc "
              "/backup/docs @/p/Docs.inc"));
    ASSERT_TRUE(parsed.commandLine) << parsed.error;
    const CommandLine& line = *parsed.commandLine;
    EXPECT_EQ(line.volumeSize, 100u * 1024 * 1024);
    EXPECT_TRUE(line.onlyNewer);
    EXPECT_FALSE(line.onlyExisting);
    EXPECT_TRUE(line.synchronize);
    EXPECT_EQ(line.level, 5);
    EXPECT_EQ(line.pathMode, PathMode::NoPaths);
    EXPECT_EQ(line.password, "Secret");
    EXPECT_TRUE(line.testAfter);
    EXPECT_EQ(line.deletion, SourceDeletion::Wipe);
    EXPECT_EQ(line.commentFile, "/p/Docs.cmt");
    EXPECT_EQ(line.filterLists, std::vector<std::string>{"/p/Docs.flt"});
    EXPECT_FALSE(parsed.quiet);
}

TEST(CommandLine, KeeperRecycleAndCleanLines) {
    const ParsedCommandLine keeper = parseCommandLine(
        split("a -ep3 -m3 -ibck -dh -r -cfg- -hpKey -ver5 /bin/keeper.rar @/data/swlbin-k.txt"));
    ASSERT_TRUE(keeper.commandLine) << keeper.error;
    EXPECT_EQ(keeper.commandLine->pathMode, PathMode::FullWithDrive);
    EXPECT_TRUE(keeper.commandLine->keepVersions);
    EXPECT_EQ(keeper.commandLine->maxVersions, 5u);
    EXPECT_EQ(keeper.commandLine->archive, "/bin/keeper.rar");

    const ParsedCommandLine recycle = parseCommandLine(
        split("a -df -ep3 -m0 -ibck -dh -r -cfg- /bin/recycle.rar @/d/swlbin-r.txt"));
    ASSERT_TRUE(recycle.commandLine) << recycle.error;
    EXPECT_EQ(recycle.commandLine->deletion, SourceDeletion::Delete);

    const ParsedCommandLine clean = parseCommandLine(split("d -to30d /bin/keeper.rar *.*"));
    ASSERT_TRUE(clean.commandLine) << clean.error;
    EXPECT_EQ(clean.commandLine->command, Command::Delete);
    EXPECT_EQ(clean.commandLine->olderThanSeconds, 30 * 86400);
    EXPECT_EQ(clean.commandLine->names, std::vector<std::string>{"*.*"});
}

struct ValueCase {
    const char* line;
    std::function<bool(const CommandLine&)> holds;
};

TEST(CommandLine, SwitchValues) {
    const ValueCase cases[] = {
        {"a -v10 x f", [](const CommandLine& l) { return l.volumeSize == 10000u; }},
        {"a -v1.5k x f", [](const CommandLine& l) { return l.volumeSize == 1536u; }},
        {"a -v2M x f", [](const CommandLine& l) { return l.volumeSize == 2000000u; }},
        {"a -v1g x f", [](const CommandLine& l) { return l.volumeSize == 1024u * 1024 * 1024; }},
        {"a -v4096b x f", [](const CommandLine& l) { return l.volumeSize == 4096u; }},
        {"a -v20k -v x f", [](const CommandLine& l) { return !l.volumeSize; }},
        {"a -ag x f", [](const CommandLine& l) { return l.dateMask == "YYYYMMDDHHMMSS"; }},
        {"a -AG+yyyy{x} x f", [](const CommandLine& l) { return l.dateMask == "+yyyy{x}"; }},
        {"a -ver x f", [](const CommandLine& l) { return l.keepVersions && l.maxVersions == 0; }},
        {"a -f x f", [](const CommandLine& l) { return l.onlyNewer && l.onlyExisting; }},
        {"a -to1d12h x f", [](const CommandLine& l) { return l.olderThanSeconds == 129600; }},
        {"a -to90m x f", [](const CommandLine& l) { return l.olderThanSeconds == 5400; }},
        {"a -dw -df x f", [](const CommandLine& l) { return l.deletion == SourceDeletion::Wipe; }},
        {"a -df -df x f",
         [](const CommandLine& l) { return l.deletion == SourceDeletion::Delete; }},
        {"a -pAbc x f", [](const CommandLine& l) { return l.password == "Abc"; }},
        {"a -MT4 x f", [](const CommandLine& l) { return l.threads == 4u && l.level == 3; }},
        {"a x f", [](const CommandLine& l) { return l.threads == 0u; }},
        {"a -x*.bak -n*.txt x f",
         [](const CommandLine& l) {
             return l.excludeMasks == std::vector<std::string>{"*.bak"} &&
                    l.filterMasks == std::vector<std::string>{"*.txt"};
         }},
        {"a x -r f -- -odd @list",
         [](const CommandLine& l) {
             return l.recurse && l.names == std::vector<std::string>{"f", "-odd"} &&
                    l.nameLists == std::vector<std::string>{"list"};
         }},
        {"T x", [](const CommandLine& l) { return l.command == Command::Test; }},
        {"x arc",
         [](const CommandLine& l) {
             return l.command == Command::Extract && l.destination.empty() && l.names.empty() &&
                    l.existing == ExistingFiles::KeepWithWarning;
         }},
        {"X -o+ -hpSecret arc docs/*.txt /restore/here/",
         [](const CommandLine& l) {
             return l.destination == "/restore/here/" &&
                    l.names == std::vector<std::string>{"docs/*.txt"} &&
                    l.existing == ExistingFiles::Replace && l.password == "Secret";
         }},
        {"x -o- arc f",
         [](const CommandLine& l) {
             return l.existing == ExistingFiles::Keep && l.destination.empty() &&
                    l.names == std::vector<std::string>{"f"};
         }},
        {"a -s -k -ibck -AV -av- -sfx -sfxdefault.sfx -vd -os -ma -ma4 -md64k -ri1 -rr5p "
         "-ac -ai -ao -eH -e+RS -afzip -dh x f",
         [](const CommandLine& l) { return l.level == 3 && l.pathMode == PathMode::AsGiven; }},
    };
    for (const ValueCase& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(split(c.line));
        ASSERT_TRUE(parsed.commandLine) << c.line << ": " << parsed.error;
        EXPECT_TRUE(c.holds(*parsed.commandLine)) << c.line;
    }
}

TEST(CommandLine, WrongLines) {
    const char* cases[] = {
        "",                // no command
        "q arc f",         // unknown command
        "a",               // no archive
        "a arc",           // nothing to add
        "d arc",           // nothing to delete
        "a -vauto arc f",  // the word auto is no size
        "a -v100x arc f",  // unknown unit
        "a -v1000b arc f", // below the smallest volume
        "a -m6 arc f",     // no such level
        "a -afrar arc f",  // only ZIP is written
        "a -hp arc f",     // nobody to ask for the password
        "a -to30 arc f",   // a period needs its unit
        "a -to1h2d arc f", // units in the wrong order
        "a -ver5x arc f",  // not a number
        "a -z arc f",      // no comment file
        "a -ilog arc f",   // no log file
        "a -x@ arc f",     // no list file
        "a -mx4 arc f",    // a switch not understood here
        "a -mt arc f",     // a thread count is needed
        "a -mt0 arc f",    // at least one thread
        "a -mt65 arc f",   // more than the most threads
        "a -mtx arc f",    // not a number
    };
    for (const char* c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(split(c));
        EXPECT_FALSE(parsed.commandLine) << c;
        EXPECT_FALSE(parsed.error.empty()) << c;
    }
}

TEST(CommandLine, ReportingSwitchesAreKnownEvenWhenTheLineIsWrong) {
    const ParsedCommandLine parsed =
        parseCommandLine(split("a -bogus -ILOG/d/err.log -inul arc f"));
    EXPECT_FALSE(parsed.commandLine);
    EXPECT_EQ(parsed.errorLog, "/d/err.log");
    EXPECT_TRUE(parsed.quiet);
}

TEST(CommandLine, HelpAnywhere) {
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"a", "-?", "arc"}).help);
    EXPECT_FALSE(parseCommandLine({"a", "--", "--help", "arc"}).help);
}

} // namespace
} // namespace stowline::archiver
