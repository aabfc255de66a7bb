#include "archiver/NameMask.h"

#include <algorithm>

namespace stowline::archiver {

namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Classic backtracking match: on a mismatch the last '*' takes one more character.
bool matchPlain(std::string_view mask, std::string_view text) {
    std::size_t m = 0;
    std::size_t t = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starText = t;
        } else if (m < mask.size() && mask[m] == '?') {
            // One character, however many bytes UTF-8 uses for it.
            ++m;
            ++t;
            while (t < text.size() && isContinuationByte(text[t]))
                ++t;
        } else if (m < mask.size() && mask[m] == text[t]) {
            ++m;
            ++t;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool wildcardMatch(std::string_view mask, std::string_view text) {
    if (matchPlain(mask, text))
        return true;
    // "*.*" is every name, with or without a dot.
    if (mask.size() >= 3 && mask.substr(mask.size() - 3) == "*.*")
        return matchPlain(mask.substr(0, mask.size() - 2), text);
    return false;
}

bool hasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

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
