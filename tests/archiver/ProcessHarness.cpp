#include "ProcessHarness.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stowline::archiver::testing {

pid_t spawn(const std::vector<std::string>& command, const SpawnOptions& options,
            const std::string& outFile, const std::string& errFile) {
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment;
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment.push_back(*variable);
    for (const std::string& variable : options.environment)
        environment.push_back(const_cast<char*>(variable.c_str()));
    environment.push_back(nullptr);
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    // In the child: only async-signal-safe calls until exec.
    const int in =
        ::open(options.inputFile.empty() ? "/dev/null" : options.inputFile.c_str(), O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0)
        ::_exit(126);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
        ::_exit(126);
    if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
        ::_exit(126);
    if (options.fileSizeLimit) {
        const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                           static_cast<rlim_t>(*options.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    }
    if (options.passedFd >= 0 && ::fcntl(options.passedFd, F_SETFD, 0) != 0)
        ::_exit(126);
    ::execve(argv[0], argv.data(), environment.data());
    ::_exit(127);
}

int finish(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

void ArchiverProcess::SetUp() {
    ::setenv("STOWLINE_DRY_POWER", "1", 1);
    std::string pattern = (fs::temp_directory_path() / "stowarc-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
}

void ArchiverProcess::TearDown() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string ArchiverProcess::write(const std::string& relative, const std::string& content) const {
    const fs::path file = root_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
}

std::string ArchiverProcess::writeNoise(const std::string& relative, std::size_t size,
                                        unsigned seed) const {
    std::mt19937_64 generator(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t value = generator();
        for (std::size_t j = 0; j < 8 && i + j < size; ++j)
            bytes[i + j] = static_cast<char>(value >> (8 * j));
    }
    return write(relative, bytes);
}

std::string ArchiverProcess::read(const std::string& absolute) const {
    std::ifstream file(absolute, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string ArchiverProcess::writeList(const std::string& relative,
                                       const std::vector<std::string>& lines) const {
    std::string content;
    for (const std::string& line : lines)
        content += line + "\r\n";
    return write(relative, content);
}

std::string ArchiverProcess::withErrorLog(std::vector<std::string>& arguments,
                                          std::size_t index) const {
    fs::create_directories(path("logs"));
    const std::string log = path("logs/" + std::to_string(index) + ".log");
    arguments.insert(arguments.begin() + 1, "-ilog" + log);
    return log;
}

ProcessResult ArchiverProcess::stowarc(const std::vector<std::string>& arguments,
                                       SpawnOptions options) const {
    std::vector<std::string> command{stowarcPath_};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (options.workingFolder.empty())
        options.workingFolder = root_.string();
    const std::string out =
        (fs::temp_directory_path() / (root_.filename().string() + ".out")).string();
    const std::string err =
        (fs::temp_directory_path() / (root_.filename().string() + ".err")).string();
    ProcessResult result;
    result.exitCode = finish(spawn(command, options, out, err));
    result.out = read(out);
    result.err = read(err);
    fs::remove(out);
    fs::remove(err);
    return result;
}

ProcessResult ArchiverProcess::tool(const std::vector<std::string>& command) const {
    const std::string out =
        (fs::temp_directory_path() / (root_.filename().string() + ".tout")).string();
    const std::string err =
        (fs::temp_directory_path() / (root_.filename().string() + ".terr")).string();
    ProcessResult result;
    result.exitCode = finish(spawn(command, inFolder(root_.string()), out, err));
    result.out = read(out);
    result.err = read(err);
    fs::remove(out);
    fs::remove(err);
    return result;
}

std::set<std::string> ArchiverProcess::listed(const std::string& archive,
                                              const std::string& password) const {
    std::vector<std::string> command{"/usr/bin/bsdtar"};
    if (!password.empty())
        command.insert(command.end(), {"--passphrase", password});
    command.insert(command.end(), {"-tf", archive});
    const ProcessResult result = tool(command);
    EXPECT_EQ(result.exitCode, 0) << "bsdtar -tf " << archive << ": " << result.err;
    std::set<std::string> names;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        names.insert(line);
    return names;
}

std::string ArchiverProcess::extracted(const std::string& archive, const std::string& name,
                                       const std::string& password) const {
    std::vector<std::string> command{"/usr/bin/bsdtar"};
    if (!password.empty())
        command.insert(command.end(), {"--passphrase", password});
    command.insert(command.end(), {"-xOf", archive, name});
    const ProcessResult result = tool(command);
    EXPECT_EQ(result.exitCode, 0) << "bsdtar -xOf " << archive << " " << name << ": " << result.err;
    return result.out;
}

std::string ArchiverProcess::streamed(const std::string& archive, const std::string& name) const {
    const std::string out =
        (fs::temp_directory_path() / (root_.filename().string() + ".sout")).string();
    const std::string err =
        (fs::temp_directory_path() / (root_.filename().string() + ".serr")).string();
    const int exitCode = finish(
        spawn({"/usr/bin/bsdtar", "-xOf", "-", name}, inFolder(root_.string(), archive), out, err));
    EXPECT_EQ(exitCode, 0) << "bsdtar -xOf - " << name << " < " << archive << ": " << read(err);
    const std::string content = read(out);
    fs::remove(out);
    fs::remove(err);
    return content;
}

std::set<std::string> ArchiverProcess::filesIn(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace stowline::archiver::testing
