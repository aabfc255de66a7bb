#pragma once

#include "archiver/CommandLine.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace stowline::archiver {

class PartedInput;
class ProgressPipe;
class Reporter;
class StopRequest;

// The path an archived name is extracted to, relative to the target folder, with "."
// parts and repeated or trailing "/" dropped. Nothing for a name that would leave the
// folder or name nothing: an absolute path, a ".." part, an empty name, a NUL byte.
std::optional<std::string> extractionPath(std::string_view name);

// Whether a symbolic link stored at `path` (an extractionPath) pointing to `target`
// stays inside the target folder.
bool linkStaysInside(std::string_view path, std::string_view target);

struct ExtractionResult {
    std::size_t files = 0;   // regular files written
    std::size_t folders = 0; // folders made or found
    std::size_t links = 0;
};

// Extracts the entries that `wanted` accepts into `folder` (made when missing), with
// their paths. Each file is written under a temporary name beside its place and renamed
// only when complete and checked, so a failure or a stop leaves no partial file. Names
// that would leave the folder, links that point out of it and paths that run through a
// link are refused and reported (exit code 2); existing files are handled as `existing`
// says. Throws ArchiverError(Password) for an encrypted entry without a password or with
// a wrong one, (Checksum) for damaged data.
ExtractionResult extractArchive(const PartedInput& input, const std::string& folder,
                                const std::optional<std::string>& password, ExistingFiles existing,
                                const std::function<bool(std::string_view)>& wanted,
                                Reporter& reporter, StopRequest& stop, ProgressPipe& progress);

} // namespace stowline::archiver
