#pragma once

#include "archiver/CommandLine.h"
#include "archiver/NameMask.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace stowline::archiver {

class Reporter;
class StopRequest;

// What was seen of a file on disk when it was selected.
struct FileState {
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    std::int64_t size = 0;
    std::time_t modified = 0;
    long modifiedNanoseconds = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

struct SourceItem {
    enum class Kind { File, Folder, Link };
    Kind kind = Kind::File;
    std::string path;       // as it is opened on disk
    std::string storedName; // its name in the archive; empty: not stored (folders only)
    FileState state;
    // Removed after archiving with -df/-dw: every file, and the folders that were named
    // or matched whole (not the folders a mask was searched in).
    bool removable = false;
};

struct SelectionOptions {
    std::vector<std::string> names;
    PathMode pathMode = PathMode::AsGiven;
    bool recurse = false;
    MaskList exclude;
    MaskList filter;
    std::optional<std::time_t> modifiedBefore; // -to: only files modified before this
    std::string currentFolder;
    std::set<std::pair<dev_t, ino_t>> leaveOut; // the archive's own files
};

struct Selection {
    std::vector<SourceItem> items; // folders before their contents
    // False when a name found nothing or a folder could not be read: then the selection
    // may lack files that still exist, and -as must not remove their archived copies.
    bool complete = true;
};

// Walks the names given and returns what is to be archived, each with its archive name.
// Missing names and unreadable folders are warnings.
Selection selectSources(const SelectionOptions& options, Reporter& reporter, StopRequest& stop);

// The archive name of a folder entry ends in '/'.
inline std::string entryName(const SourceItem& item) {
    return item.kind == SourceItem::Kind::Folder ? item.storedName + "/" : item.storedName;
}

} // namespace stowline::archiver
