#pragma once

#include "archiver/CommandLine.h"
#include "archiver/ExitCode.h"

namespace stowline::archiver {

class ProgressPipe;
class Reporter;
class StopRequest;

// Carries out one command. Nothing is changed until the new archive is complete and
// checked: it is written beside the old one and renamed over it, and archived files are
// only removed (-df, -dw) after that. Every problem goes to `reporter`; the result is
// the exit code. Adding reports how far it has come to `progress`.
ExitCode runCommand(const CommandLine& line, Reporter& reporter, StopRequest& stop,
                    ProgressPipe& progress);

} // namespace stowline::archiver
