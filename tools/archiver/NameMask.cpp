#include "archiver/NameMask.h"

#include <algorithm>

namespace stowline::archiver {

std::string normalizePath(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == ".") {
            // nothing
        } else if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (part == ".." && absolute) {
            // Above the root is the root.
        } else {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += '/';
        result += parts[i];
    }
    return result;
}

PathMask PathMask::forDisk(std::string_view text, std::string_view currentFolder) {
    PathMask mask;
    std::string pattern(text);
    mask.folderOnly_ = pattern.size() > 1 && pattern.back() == '/';
    if (mask.folderOnly_)
        pattern.pop_back();
    const bool wildcards = hasWildcards(pattern);
    mask.filesOnly_ = wildcards && !mask.folderOnly_;
    mask.wholePath_ = pattern.find('/') != std::string::npos;
    if (mask.wholePath_) {
        const bool leadingWildcard = pattern.front() == '*' || pattern.front() == '?';
        if (pattern.front() != '/' && !leadingWildcard)
            pattern = std::string(currentFolder) + "/" + pattern;
        pattern = normalizePath(pattern);
    }
    mask.pattern_ = std::move(pattern);
    return mask;
}

PathMask PathMask::forArchive(std::string_view text) {
    PathMask mask;
    std::string pattern(text);
    mask.folderOnly_ = pattern.size() > 1 && pattern.back() == '/';
    if (mask.folderOnly_)
        pattern.pop_back();
    mask.wholePath_ = pattern.find('/') != std::string::npos;
    mask.pattern_ = std::move(pattern);
    return mask;
}

bool PathMask::matches(std::string_view path, std::string_view name, bool isFolder) const {
    if ((folderOnly_ && !isFolder) || (filesOnly_ && isFolder))
        return false;
    return wildcardMatch(pattern_, wholePath_ ? path : name);
}

bool MaskList::matches(std::string_view path, std::string_view name, bool isFolder) const {
    return std::any_of(masks_.begin(), masks_.end(),
                       [&](const PathMask& mask) { return mask.matches(path, name, isFolder); });
}

} // namespace stowline::archiver
