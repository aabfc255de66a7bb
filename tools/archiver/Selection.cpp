#include "archiver/Selection.h"

#include "archiver/FileIo.h"
#include "archiver/Reporter.h"
#include "archiver/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

namespace stowline::archiver {

namespace {

struct Node {
    std::string disk;     // path to open ("" is the current folder)
    std::string absolute; // cleaned absolute path, for masks and full-path names
    std::string below;    // path below the base folder of the name given, for -ep1
    std::string name;     // last part
};

FileState stateOf(const struct stat& status) {
    FileState state;
    state.mode = status.st_mode;
    state.owner = status.st_uid;
    state.group = status.st_gid;
    state.size = status.st_size;
    state.modified = status.st_mtim.tv_sec;
    state.modifiedNanoseconds = status.st_mtim.tv_nsec;
    state.device = status.st_dev;
    state.inode = status.st_ino;
    return state;
}

// Archive names never climb out of the folder they are extracted into.
std::string withoutRootAndClimbs(const std::string& path) {
    std::string cleaned = normalizePath(path);
    while (!cleaned.empty() && cleaned.front() == '/')
        cleaned.erase(0, 1);
    while (cleaned == ".." || cleaned.compare(0, 3, "../") == 0)
        cleaned.erase(0, cleaned.size() > 2 ? 3 : 2);
    return cleaned;
}

class Walker {
public:
    Walker(const SelectionOptions& options, Reporter& reporter, StopRequest& stop)
        : options_(options), reporter_(reporter), stop_(stop) {}

    void addName(const std::string& given);
    Selection take() { return std::move(selection_); }

private:
    struct Listed {
        std::string name;
        struct stat status;
    };

    Node child(const Node& parent, const std::string& name) const;
    std::string storedName(const Node& node, SourceItem::Kind kind) const;
    bool excluded(const Node& node, bool folder) const {
        return options_.exclude.matches(node.absolute, node.name, folder);
    }
    std::vector<Listed> readFolder(const Node& folder);
    void addFolderTree(const Node& folder, const struct stat& status);
    void addContents(const Node& folder);
    void searchMask(const Node& folder, const std::string& mask);
    void addFile(const Node& node, const struct stat& status, SourceItem::Kind kind);
    void push(SourceItem item);
    void missing(const std::string& what, int error);

    const SelectionOptions& options_;
    Reporter& reporter_;
    StopRequest& stop_;
    Selection selection_;
    std::map<std::string, std::pair<dev_t, ino_t>> stored_;
};

Node Walker::child(const Node& parent, const std::string& name) const {
    Node node;
    node.disk = parent.disk.empty()         ? name
                : parent.disk.back() == '/' ? parent.disk + name
                                            : parent.disk + "/" + name;
    node.absolute = parent.absolute == "/" ? "/" + name : parent.absolute + "/" + name;
    node.below = parent.below.empty() ? name : parent.below + "/" + name;
    node.name = name;
    return node;
}

std::string Walker::storedName(const Node& node, SourceItem::Kind kind) const {
    const bool folder = kind == SourceItem::Kind::Folder;
    switch (options_.pathMode) {
    case PathMode::NoPaths:
        return folder ? std::string() : node.name;
    case PathMode::BelowBase:
        return withoutRootAndClimbs(node.below);
    case PathMode::Full:
    case PathMode::FullWithDrive:
        return withoutRootAndClimbs(node.absolute);
    case PathMode::AsGiven:
        break;
    }
    return withoutRootAndClimbs(node.disk);
}

void Walker::missing(const std::string& what, int error) {
    reporter_.warning("cannot find \"" + what + "\": " + errorText(error));
    selection_.complete = false;
}

std::vector<Walker::Listed> Walker::readFolder(const Node& folder) {
    stop_.check();
    std::vector<Listed> listed;
    const std::string path = folder.disk.empty() ? "." : folder.disk;
    DIR* handle = ::opendir(path.c_str());
    if (handle == nullptr) {
        reporter_.warning("cannot read the folder \"" + path + "\": " + errorText(errno));
        selection_.complete = false;
        return listed;
    }
    const int descriptor = ::dirfd(handle);
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        Listed item{name, {}};
        if (::fstatat(descriptor, entry->d_name, &item.status, AT_SYMLINK_NOFOLLOW) != 0) {
            reporter_.warning("cannot read \"" + child(folder, name).disk +
                              "\": " + errorText(errno));
            selection_.complete = false;
            continue;
        }
        listed.push_back(std::move(item));
    }
    ::closedir(handle);
    std::sort(listed.begin(), listed.end(),
              [](const Listed& a, const Listed& b) { return a.name < b.name; });
    return listed;
}

void Walker::addName(const std::string& given) {
    if (given.empty())
        return;
    std::string cleaned = given;
    while (cleaned.size() > 1 && cleaned.back() == '/')
        cleaned.pop_back();
    const std::size_t slash = cleaned.rfind('/');
    const std::string leaf = slash == std::string::npos ? cleaned : cleaned.substr(slash + 1);
    // "folder/" (and "." or "..") stand for the folder's contents, not the folder.
    const bool contentsOnly = given.back() == '/' || leaf == "." || leaf == "..";

    Node base;
    base.disk = contentsOnly                 ? cleaned
                : slash == std::string::npos ? std::string()
                                             : cleaned.substr(0, slash + 1);
    base.absolute = absolutePath(base.disk.empty() ? "." : base.disk, options_.currentFolder);
    base.name = lastPart(base.absolute);

    struct stat status {};
    if (contentsOnly) {
        if (::stat(cleaned.c_str(), &status) != 0)
            return missing(given, errno);
        if (!S_ISDIR(status.st_mode))
            return missing(given, ENOTDIR);
        return addContents(base);
    }
    if (hasWildcards(leaf)) {
        const std::string folder = base.disk.empty() ? "." : base.disk;
        if (::stat(folder.c_str(), &status) != 0)
            return missing(folder, errno);
        return searchMask(base, leaf);
    }
    const Node node = child(base, leaf);
    // A name given is followed when it is a symbolic link; links inside folders are not.
    if (::stat(node.disk.c_str(), &status) != 0) {
        const int error = errno;
        if (::lstat(node.disk.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
            return addFile(node, status, SourceItem::Kind::Link);
        return missing(given, error);
    }
    if (S_ISDIR(status.st_mode))
        addFolderTree(node, status);
    else if (S_ISREG(status.st_mode))
        addFile(node, status, SourceItem::Kind::File);
    else
        reporter_.warning("\"" + given + "\" is not a file or folder; left out");
}

void Walker::addFolderTree(const Node& folder, const struct stat& status) {
    if (excluded(folder, true))
        return;
    SourceItem item;
    item.kind = SourceItem::Kind::Folder;
    item.path = folder.disk;
    // With a filter only matching files count; their folders come with their names.
    if (options_.filter.empty())
        item.storedName = storedName(folder, item.kind);
    item.state = stateOf(status);
    item.removable = true;
    push(std::move(item));
    addContents(folder);
}

void Walker::addContents(const Node& folder) {
    for (const Listed& listed : readFolder(folder)) {
        const Node node = child(folder, listed.name);
        if (S_ISDIR(listed.status.st_mode))
            addFolderTree(node, listed.status);
        else if (S_ISREG(listed.status.st_mode))
            addFile(node, listed.status, SourceItem::Kind::File);
        else if (S_ISLNK(listed.status.st_mode))
            addFile(node, listed.status, SourceItem::Kind::Link);
        // Sockets, pipes and devices hold no data to keep.
    }
}

void Walker::searchMask(const Node& folder, const std::string& mask) {
    for (const Listed& listed : readFolder(folder)) {
        const Node node = child(folder, listed.name);
        const bool matched = wildcardMatch(mask, listed.name);
        if (S_ISDIR(listed.status.st_mode)) {
            if (!options_.recurse)
                continue;
            if (matched)
                addFolderTree(node, listed.status);
            else if (!excluded(node, true))
                searchMask(node, mask);
        } else if (matched && S_ISREG(listed.status.st_mode)) {
            addFile(node, listed.status, SourceItem::Kind::File);
        } else if (matched && S_ISLNK(listed.status.st_mode)) {
            addFile(node, listed.status, SourceItem::Kind::Link);
        }
    }
}

void Walker::addFile(const Node& node, const struct stat& status, SourceItem::Kind kind) {
    if (excluded(node, false))
        return;
    if (!options_.filter.empty() && !options_.filter.matches(node.absolute, node.name, false))
        return;
    if (options_.modifiedBefore && status.st_mtim.tv_sec >= *options_.modifiedBefore)
        return;
    if (options_.leaveOut.count({status.st_dev, status.st_ino}))
        return;
    SourceItem item;
    item.kind = kind;
    item.path = node.disk;
    item.storedName = storedName(node, kind);
    item.state = stateOf(status);
    item.removable = true;
    if (item.storedName.empty())
        return;
    push(std::move(item));
}

void Walker::push(SourceItem item) {
    if (!item.storedName.empty()) {
        const std::string key = entryName(item);
        const auto identity = std::make_pair(item.state.device, item.state.inode);
        const auto [found, inserted] = stored_.emplace(key, identity);
        if (!inserted) {
            if (item.kind != SourceItem::Kind::Folder && found->second != identity) {
                reporter_.warning("\"" + item.path + "\" would be stored as \"" + key +
                                  "\" like another file; left out");
                return;
            }
            if (item.kind != SourceItem::Kind::Folder)
                return;              // the same file named twice
            item.storedName.clear(); // the folder entry is there already
        }
    }
    selection_.items.push_back(std::move(item));
}

} // namespace

Selection selectSources(const SelectionOptions& options, Reporter& reporter, StopRequest& stop) {
    Walker walker(options, reporter, stop);
    for (const std::string& name : options.names)
        walker.addName(name);
    return walker.take();
}

} // namespace stowline::archiver
