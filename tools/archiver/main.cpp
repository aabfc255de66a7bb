// stowarc: the archiver bundled with Stowline. See README.md for the command line.

#include "archiver/Archiver.h"
#include "archiver/ProgressPipe.h"
#include "archiver/Reporter.h"
#include "archiver/StopRequest.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace stowline::archiver;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    Reporter reporter(parsed.quiet, parsed.errorLog);
    if (!parsed.commandLine) {
        reporter.error(ExitCode::CommandLine, "wrong command line: " + parsed.error);
        return static_cast<int>(reporter.exitCode());
    }
    StopRequest stop;
    ProgressPipe progress(std::getenv(progressVariable));
    return static_cast<int>(runCommand(*parsed.commandLine, reporter, stop, progress));
}
