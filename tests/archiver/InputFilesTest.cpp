// The list and comment files named on the command line come from outside: stowarc must
// not block on them, read them without bound, or keep more of them than it needs.

#include "ProcessHarness.h"

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace stowline::archiver::testing {
namespace {

struct Ended {
    bool inTime = false;
    int exitCode = -1;
    long maxResidentKiB = 0;
};

// Waits for the child up to `limit`; a child still running then is killed.
Ended awaitChild(pid_t child, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Ended ended;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child) {
            ended.inTime = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ended.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    ended.maxResidentKiB = usage.ru_maxrss;
    return ended;
}

class InputFiles : public ArchiverProcess {
protected:
    Ended run(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{stowarcPath_};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const pid_t child =
            spawn(command, inFolder(root_.string()), path("out.txt"), path("err.txt"));
        return awaitChild(child, std::chrono::seconds(10));
    }
};

TEST_F(InputFiles, PipesDevicesFoldersAndOversizedListsAreRefusedAtOnce) {
    const std::string file = write("src/a.txt", "a");
    const std::string archive = path("old.zip");
    ASSERT_EQ(stowarc({"a", "-ep", archive, file}).exitCode, 0);
    const std::string before = read(archive);

    const std::string pipe = path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Sparse, so the test costs no disk space.
    const std::string tooLarge = write("large.lst", file + "\n");
    fs::resize_file(tooLarge, (std::uintmax_t{64} << 20) + 1);
    std::string manyLines;
    for (int line = 0; line <= 1'000'000; ++line)
        manyLines += "x\n";
    const std::string tooManyLines = write("many.lst", manyLines);

    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"a", "-z" + pipe, archive, file},
         "cannot open the comment file \"" + pipe + "\": not a regular file"},
        {{"a", archive, "@" + pipe},
         "cannot open the list file \"" + pipe + "\": not a regular file"},
        {{"a", "-x@" + pipe, archive, file},
         "cannot open the list file \"" + pipe + "\": not a regular file"},
        {{"a", "-n@" + pipe, archive, file},
         "cannot open the list file \"" + pipe + "\": not a regular file"},
        {{"d", archive, "@" + pipe},
         "cannot open the list file \"" + pipe + "\": not a regular file"},
        {{"t", "-x@" + pipe, archive},
         "cannot open the list file \"" + pipe + "\": not a regular file"},
        {{"a", "-z/dev/zero", archive, file},
         "cannot open the comment file \"/dev/zero\": not a regular file"},
        {{"a", archive, "@/dev/zero"},
         "cannot open the list file \"/dev/zero\": not a regular file"},
        {{"a", archive, "@" + path("src")},
         "cannot open the list file \"" + path("src") + "\": not a regular file"},
        {{"a", archive, "@" + tooLarge},
         "cannot read the list file \"" + tooLarge + "\": larger than 64 MiB"},
        {{"a", "-n@" + tooManyLines, archive, file},
         "cannot read the list file \"" + tooManyLines + "\": more than 1000000 lines"},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        std::vector<std::string> arguments = c.arguments;
        const std::string log = withErrorLog(arguments, index);
        const Ended ended = run(arguments);
        ASSERT_TRUE(ended.inTime) << "case " << index << " did not end";
        EXPECT_EQ(ended.exitCode, 6) << "case " << index << ": " << read(path("err.txt"));
        EXPECT_NE(read(log).find(c.message), std::string::npos)
            << "case " << index << ": " << read(log);
        EXPECT_EQ(read(archive), before) << "case " << index;
    }
    EXPECT_EQ(filesIn(root_.string()),
              (std::set<std::string>{"err.txt", "large.lst", "logs", "many.lst", "old.zip",
                                     "out.txt", "pipe", "src"}))
        << "no work folder is left behind";
}

TEST_F(InputFiles, AHugeCommentKeepsItsFirst65535BytesWithoutReadingTheRest) {
    std::string start;
    for (int index = 0; start.size() < 70000; ++index)
        start += "comment line " + std::to_string(index) + "\r\n";
    const std::string comment = write("huge.cmt", start);
    fs::resize_file(comment, std::uintmax_t{300} << 20); // sparse beyond the text
    const std::string file = write("src/a.txt", "a");
    const std::string archive = path("c.zip");
    const std::string log = path("err.log");

    const Ended ended = run({"a", "-ilog" + log, "-z" + comment, "-ep", archive, file});
    ASSERT_TRUE(ended.inTime);
    EXPECT_EQ(ended.exitCode, 1) << read(path("err.txt"));
    EXPECT_NE(read(log).find("only its first 65535 bytes are kept"), std::string::npos);
    // The comment ends the archive, after its 16-bit length.
    const std::string bytes = read(archive);
    ASSERT_GT(bytes.size(), 65537u);
    EXPECT_EQ(bytes.substr(bytes.size() - 65537), "\xFF\xFF" + start.substr(0, 65535));
    EXPECT_EQ(extracted(archive, "a.txt"), "a");
    // Reading the whole file would take more than 300 MB.
    EXPECT_LT(ended.maxResidentKiB, 150 * 1024);
}

TEST_F(InputFiles, AnErrorLogOnAPipeNobodyReadsDoesNotHangTheRun) {
    const std::string log = path("log");
    ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
    const std::string file = write("src/a.txt", "a");
    const Ended ended = run({"a", "-ilog" + log, path("x.zip"), file, path("missing")});
    ASSERT_TRUE(ended.inTime);
    EXPECT_EQ(ended.exitCode, 1);
    EXPECT_NE(read(path("err.txt")).find("cannot write the error log"), std::string::npos);
    EXPECT_EQ(listed(path("x.zip")), std::set<std::string>{file.substr(1)});
}

} // namespace
} // namespace stowline::archiver::testing
