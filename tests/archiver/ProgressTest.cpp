// The "done total" lines stowarc writes to a descriptor named in STOWLINE_PROGRESS_FD,
// and that nothing else changes when the descriptor is missing or unusable.

#include "ProcessHarness.h"

#include <cerrno>
#include <fcntl.h>
#include <regex>
#include <unistd.h>

namespace stowline::archiver::testing {
namespace {

struct ProgressLine {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

// Every line must be two numbers.
std::vector<ProgressLine> parseLines(const std::string& text) {
    static const std::regex shape("([0-9]+) ([0-9]+)");
    std::vector<ProgressLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unfinished line: " << text.substr(start);
            break;
        }
        const std::string line = text.substr(start, end - start);
        std::smatch match;
        if (std::regex_match(line, match, shape))
            lines.push_back({std::stoull(match[1]), std::stoull(match[2])});
        else
            ADD_FAILURE() << "not a progress line: " << line;
        start = end + 1;
    }
    return lines;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

// A pipe whose ends close with it; only a child it is passed to inherits the write end.
struct Pipe {
    Pipe() { EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0); }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (ends[0] >= 0)
            ::close(ends[0]);
        ends[0] = -1;
    }
    void closeWrite() {
        if (ends[1] >= 0)
            ::close(ends[1]);
        ends[1] = -1;
    }
    int ends[2] = {-1, -1};
};

SpawnOptions passing(int fd, const std::string& value) {
    SpawnOptions options;
    options.environment = {"STOWLINE_PROGRESS_FD=" + value};
    options.passedFd = fd;
    return options;
}

class Progress : public ArchiverProcess {};

TEST_F(Progress, LinesClimbToTheBytesOfTheFilesPacked) {
    writeNoise("src/a.bin", 20 << 20, 1);
    writeNoise("src/sub/b.bin", 12 << 20, 2);
    write("src/c.txt", "small");
    write("src/empty", "");
    const std::uint64_t total = (32u << 20) + 5;
    const std::string archive = path("out/arc.zip");
    Pipe pipe;

    const ProcessResult result = stowarc({"a", "-m5", "-r", "-inul", archive, path("src")},
                                         passing(pipe.ends[1], std::to_string(pipe.ends[1])));
    pipe.closeWrite();
    const std::vector<ProgressLine> lines = parseLines(readAll(pipe.ends[0]));

    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().done, 0u);
    bool between = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].total, total) << "line " << i;
        if (i > 0) {
            EXPECT_GE(lines[i].done, lines[i - 1].done) << "line " << i;
        }
        between = between || (lines[i].done > 0 && lines[i].done < total);
    }
    EXPECT_TRUE(between) << "no line while the files were packed";
    EXPECT_EQ(lines.back().done, total);
    const std::string stored = path("src").substr(1);
    EXPECT_EQ(listed(archive).count(stored + "/sub/b.bin"), 1u);
}

TEST_F(Progress, AnUpToDateArchiveEndsWithAnEmptyTotal) {
    write("src/c.txt", "small");
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-u", archive, path("src")}).exitCode, 0);
    Pipe pipe;
    const ProcessResult result = stowarc({"a", "-u", "-inul", archive, path("src")},
                                         passing(pipe.ends[1], std::to_string(pipe.ends[1])));
    pipe.closeWrite();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<ProgressLine> lines = parseLines(readAll(pipe.ends[0]));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].done, 0u);
    EXPECT_EQ(lines[0].total, 0u);
}

// How the variable and the descriptor are set up for one run.
enum class Setup { Unset, NotANumber, NotOpen, StandardError, RegularFile, ReaderGone };

struct UnusableCase {
    const char* name;
    Setup setup;
};

void PrintTo(const UnusableCase& c, std::ostream* out) {
    *out << c.name;
}

class UnusableDescriptor : public ArchiverProcess,
                           public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusableDescriptor, ArchivesAndReportsExactlyAsWithoutIt) {
    write("src/a.txt", "alpha");
    writeNoise("src/b.bin", 300000);
    const std::string archive = path("arc.zip");
    const std::vector<std::string> arguments{"a", "-ep1", archive, path("src")};
    const ProcessResult plain = stowarc(arguments);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const std::set<std::string> plainNames = listed(archive);
    fs::remove(archive);

    Pipe pipe;
    const std::string regular = path("regular");
    const int regularFd = ::open(regular.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(regularFd, 0);
    SpawnOptions options;
    switch (GetParam().setup) {
    case Setup::Unset:
        break;
    case Setup::NotANumber:
        options = passing(pipe.ends[1], "x" + std::to_string(pipe.ends[1]));
        break;
    case Setup::NotOpen:
        options.environment = {"STOWLINE_PROGRESS_FD=250"};
        break;
    case Setup::StandardError:
        options.environment = {"STOWLINE_PROGRESS_FD=2"};
        break;
    case Setup::RegularFile:
        options = passing(regularFd, std::to_string(regularFd));
        break;
    case Setup::ReaderGone:
        pipe.closeRead();
        options = passing(pipe.ends[1], std::to_string(pipe.ends[1]));
        break;
    }
    const ProcessResult result = stowarc(arguments, options);
    ::close(regularFd);

    EXPECT_EQ(result.exitCode, 0) << "(1013: ended by SIGPIPE) " << result.err;
    EXPECT_EQ(result.out, plain.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(listed(archive), plainNames);
    EXPECT_EQ(read(regular), "") << "written to a file that is no pipe";
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableDescriptor,
                         ::testing::Values(UnusableCase{"unset", Setup::Unset},
                                           UnusableCase{"not_a_number", Setup::NotANumber},
                                           UnusableCase{"not_open", Setup::NotOpen},
                                           UnusableCase{"standard_error", Setup::StandardError},
                                           UnusableCase{"regular_file", Setup::RegularFile},
                                           UnusableCase{"reader_gone", Setup::ReaderGone}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stowline::archiver::testing
