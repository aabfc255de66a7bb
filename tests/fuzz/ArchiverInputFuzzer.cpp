// The bundled archiver's untrusted input: its command line (arguments separated by NUL
// bytes), list files, and the central directory of an archive it updates.
#include "archiver/CommandLine.h"
#include "archiver/ExitCode.h"
#include "archiver/FileIo.h"
#include "archiver/StopRequest.h"
#include "archiver/ZipDirectory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {
std::string listFilePath() {
    static const std::string path = [] {
        char pattern[] = "/tmp/stowarc-fuzz-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0)
            std::abort();
        ::close(fd);
        return std::string(pattern);
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline::archiver;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (std::size_t end; (end = input.find('\0', start)) != std::string_view::npos;
         start = end + 1)
        arguments.emplace_back(input.substr(start, end - start));
    arguments.emplace_back(input.substr(start));
    (void)parseCommandLine(arguments);

    // A damaged directory is an ArchiverError the archiver reports; anything else is a
    // fault.
    try {
        (void)parseCentralRecords(input);
    } catch (const ArchiverError&) {
    }

    std::FILE* file = std::fopen(listFilePath().c_str(), "wb");
    if (!file || std::fwrite(input.data(), 1, input.size(), file) != input.size())
        std::abort();
    std::fclose(file);
    // Installs the signal handlers once.
    static StopRequest stop;
    try {
        (void)readListFile(listFilePath(), stop);
    } catch (const ArchiverError&) {
        // A refused list is an answer, not a fault.
    }
    return 0;
}
