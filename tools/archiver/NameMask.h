#pragma once

#include "core/WildcardMatch.h"

#include <string>
#include <string_view>
#include <vector>

namespace stowline::archiver {

// The wildcard rule itself is the program's own: the archiver matches names exactly as
// the program's copy step does.
using core::hasWildcards;
using core::wildcardMatch;

// One mask of an exclude list (-x), a filter list (-n) or of the names given to d and t:
// - a mask that ends in '/' applies to folders only;
// - otherwise a mask with wildcards applies to files only, and one without wildcards to
//   files and folders alike;
// - a mask without '/' is compared with the last part of a name, at any depth;
// - a mask with '/' is compared with the whole path. On disk a relative mask is taken
//   from the current folder, unless it begins with a wildcard ("*/tmp/" matches every
//   folder named tmp).
class PathMask {
public:
    // A mask for files on disk; `currentFolder` makes relative path masks absolute.
    static PathMask forDisk(std::string_view text, std::string_view currentFolder);
    // A mask for names inside an archive. Wildcard masks apply to folders as well, so
    // that "*.*" means every entry.
    static PathMask forArchive(std::string_view text);

    // `path` is the absolute path on disk or the whole name inside the archive; `name`
    // its last part.
    bool matches(std::string_view path, std::string_view name, bool isFolder) const;

private:
    std::string pattern_;
    bool folderOnly_ = false;
    bool filesOnly_ = false;
    bool wholePath_ = false;
};

class MaskList {
public:
    void add(PathMask mask) { masks_.push_back(std::move(mask)); }
    bool empty() const { return masks_.empty(); }
    bool matches(std::string_view path, std::string_view name, bool isFolder) const;

private:
    std::vector<PathMask> masks_;
};

// Lexically cleans a path: repeated '/' and "." parts go, ".." removes the part before
// it where there is one. A trailing '/' is dropped. "" stays "".
std::string normalizePath(std::string_view path);

} // namespace stowline::archiver
