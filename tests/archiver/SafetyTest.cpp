// What stowarc must never do: delete sources it has not safely archived, leave damaged or
// half-written archives, or report a failure as success.

#include "ProcessHarness.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <regex>
#include <thread>

namespace stowline::archiver::testing {
namespace {

class Safety : public ArchiverProcess {};

TEST_F(Safety, RecycleMovesFilesAndFoldersIntoTheArchive) {
    write("rec/r1/r2/y.txt", "why");
    write("rec/z.txt", "zed");
    write("rec/stays.txt", "not named");
    const std::string list = writeList("data/swlbin-r.txt", {path("rec/r1"), path("rec/z.txt")});
    const std::string recycle = path("bin/recycle.rar");
    const ProcessResult result =
        stowarc({"a", "-df", "-ep3", "-m3", "-ibck", "-dh", "-r", "-cfg-", recycle, "@" + list});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string stored = path("rec").substr(1);
    EXPECT_EQ(listed(recycle), (std::set<std::string>{stored + "/r1/", stored + "/r1/r2/",
                                                      stored + "/r1/r2/y.txt", stored + "/z.txt"}));
    EXPECT_EQ(extracted(recycle, stored + "/r1/r2/y.txt"), "why");
    EXPECT_EQ(filesIn(path("rec")), std::set<std::string>{"stays.txt"});
}

TEST_F(Safety, SourcesStayWhenTheArchiveFails) {
    write("src/a.txt", "a");
    write("blocker", "a file where a folder would have to be");
    const ProcessResult result = stowarc({"a", "-df", path("blocker/sub/arc"), path("src")});
    EXPECT_EQ(result.exitCode, 9) << result.err;
    EXPECT_EQ(read(path("src/a.txt")), "a");
}

TEST_F(Safety, WipeSparesOtherHardLinks) {
    write("w/f.txt", "secret");
    write("w/g.txt", "plain");
    fs::create_directories(path("other"));
    fs::create_hard_link(path("w/f.txt"), path("other/f2.txt"));
    const std::string archive = path("wiped.zip");
    ASSERT_EQ(stowarc({"a", "-dw", "-ep", archive, path("w/f.txt"), path("w/g.txt")}).exitCode, 0);
    EXPECT_FALSE(fs::exists(path("w/f.txt")));
    EXPECT_FALSE(fs::exists(path("w/g.txt")));
    EXPECT_EQ(read(path("other/f2.txt")), "secret");
    EXPECT_EQ(extracted(archive, "f.txt"), "secret");
    EXPECT_EQ(extracted(archive, "g.txt"), "plain");
}

TEST_F(Safety, StopRemovesTheUnfinishedArchiveAndKeepsEverySource) {
    write("src/small.txt", "small");
    const std::string archive = path("out/arc.zip");
    ASSERT_EQ(stowarc({"a", "-ep1", archive, path("src/small.txt")}).exitCode, 0);
    const std::string before = read(archive);
    const std::string big = writeNoise("src/big.bin", 48 << 20);
    const std::string log = path("err.log");

    const pid_t child =
        spawn({stowarcPath_, "a", "-m5", "-df", "-ep1", "-ilog" + log, archive, big},
              inFolder(root_.string()), path("o.txt"), path("e.txt"));
    // Wait until the new archive is being written, then stop it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : filesIn(path("out")))
            if (name.rfind(".stowarc-", 0) == 0 && !filesIn(path("out/" + name)).empty())
                writing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(writing);
    ::kill(child, SIGTERM);
    EXPECT_EQ(finish(child), 255);

    EXPECT_EQ(read(archive), before) << "the old archive is untouched";
    EXPECT_EQ(filesIn(path("out")), std::set<std::string>{"arc.zip"})
        << "nothing unfinished is left";
    EXPECT_EQ(fs::file_size(big), 48u << 20) << "no source is deleted";
    EXPECT_NE(read(log).find("stopped by the user"), std::string::npos);
}

TEST_F(Safety, ErrorsGiveTheirExitCodeAndALogLine) {
    const std::string file = write("src/a.txt", "hello hello hello hello");
    const std::string stored = path("stored.zip");
    ASSERT_EQ(stowarc({"a", "-m0", "-ep", stored, file}).exitCode, 0);
    std::string damaged = read(stored);
    damaged[damaged.find("hello")] = 'j';
    const std::string corrupt = write("corrupt.zip", damaged);
    const std::string encrypted = path("enc.zip");
    ASSERT_EQ(stowarc({"a", "-hpright", "-ep", encrypted, file}).exitCode, 0);
    const std::string foreign = write("bin/keeper.rar", "Rar!\x1a\x07\x01 not a zip archive");
    writeNoise("src/noise.bin", 300000);

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string logText;
        SpawnOptions options = {};
    };
    const std::vector<Case> cases{
        {{"a", "-bogus", path("x.zip"), file}, 7, "unknown switch -bogus"},
        {{"a", path("x.zip"), "@" + path("missing.lst")}, 6, "cannot open the list file"},
        {{"a", "-z" + path("missing.cmt"), path("x.zip"), file}, 6, "comment file"},
        {{"a", path("x.zip"), path("nothing-here")}, 10, "no files to archive"},
        {{"a", "-ep", path("partial.zip"), file, path("missing.txt")}, 1, "cannot find"},
        {{"t", corrupt}, 3, "checksum error"},
        {{"t", "-hpwrong", encrypted}, 11, "wrong password"},
        {{"d", path("absent.zip"), "*.*"}, 6, "cannot find the archive"},
        {{"a", foreign, file}, 2, "not a ZIP archive"},
        {{"a", path("src/a.txt/arc.zip"), file}, 9, "cannot create"},
        {{"a", "-m0", path("big.zip"), path("src/noise.bin")},
         5,
         "cannot write",
         {"", "", 65536, {}, -1}},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        std::vector<std::string> arguments = c.arguments;
        const std::string log = withErrorLog(arguments, index);
        const ProcessResult result = stowarc(arguments, c.options);
        EXPECT_EQ(result.exitCode, c.exitCode) << "case " << index << ": " << result.err;
        const std::string text = read(log);
        EXPECT_NE(text.find(c.logText), std::string::npos) << "case " << index << ": " << text;
        EXPECT_TRUE(
            std::regex_search(text, std::regex(R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d .+\r\n)")))
            << "case " << index << ": " << text;
    }
    EXPECT_EQ(read(foreign), std::string("Rar!\x1a\x07\x01 not a zip archive"));
    EXPECT_EQ(listed(path("partial.zip")), std::set<std::string>{"a.txt"});
    EXPECT_EQ(filesIn(root_.string()).count("big.zip"), 0u);
    EXPECT_EQ(filesIn(root_.string()).count("x.zip"), 0u);
}

} // namespace
} // namespace stowline::archiver::testing
