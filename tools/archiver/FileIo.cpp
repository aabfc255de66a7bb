#include "archiver/FileIo.h"

#include "archiver/ExitCode.h"
#include "archiver/NameMask.h"
#include "archiver/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::archiver {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileDescriptor::close() {
    if (fd_ < 0)
        return true;
    return ::close(release()) == 0;
}

std::string errorText(int error) {
    return std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string lastPart(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string currentFolder() {
    std::string folder(4096, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE)
            return "/";
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder;
}

std::string absolutePath(const std::string& path, const std::string& currentFolder) {
    if (!path.empty() && path.front() == '/')
        return normalizePath(path);
    return normalizePath(currentFolder + "/" + path);
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

bool makeFolders(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::string parent = folderOf(path);
    if (parent != path && parent != "." && parent != "/" && !makeFolders(parent))
        return false;
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

void syncFolder(const std::string& path) {
    const FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
}

namespace {

[[noreturn]] void refuseFile(std::string_view verb, std::string_view what, const std::string& path,
                             const std::string& reason) {
    throw ArchiverError(ExitCode::Open, "cannot " + std::string(verb) + " the " +
                                            std::string(what) + " \"" + path + "\": " + reason);
}

} // namespace

std::string readBoundedFile(const std::string& path, std::string_view what, std::size_t limit,
                            bool& longer, StopRequest& stop) {
    // Looking first keeps a device from being opened at all (opening one can have effects).
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        refuseFile("open", what, path, errorText(errno));
    if (!S_ISREG(status.st_mode))
        refuseFile("open", what, path, "not a regular file");
    // The name can be swapped for a pipe between the look and the open: opening without
    // blocking and looking again at what was opened closes that gap.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        refuseFile("open", what, path, errorText(errno));
    if (::fstat(file.get(), &status) != 0)
        refuseFile("open", what, path, errorText(errno));
    if (!S_ISREG(status.st_mode))
        refuseFile("open", what, path, "not a regular file");
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        refuseFile("open", what, path, errorText(errno));

    // One byte past the limit tells whether there is more, without reading the rest.
    const std::size_t wanted = limit + 1;
    std::string content;
    content.reserve(std::min<std::size_t>(wanted, static_cast<std::size_t>(status.st_size) + 1));
    char buffer[65536];
    while (content.size() < wanted) {
        stop.check();
        const std::size_t chunk = std::min(sizeof buffer, wanted - content.size());
        const ssize_t count = ::read(file.get(), buffer, chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            refuseFile("read", what, path, errorText(errno));
        if (count == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    stop.check();
    longer = content.size() > limit;
    if (longer)
        content.resize(limit);
    return content;
}

std::vector<std::string> readListFile(const std::string& path, StopRequest& stop) {
    bool longer = false;
    std::string content = readBoundedFile(path, "list file", maxListFileBytes, longer, stop);
    if (longer)
        refuseFile("read", "list file", path,
                   "larger than " + std::to_string(maxListFileBytes >> 20) + " MiB");
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::size_t length = end - start;
        if (length > 0 && content[start + length - 1] == '\r')
            --length;
        if (length > 0) {
            if (lines.size() == maxListFileLines)
                refuseFile("read", "list file", path,
                           "more than " + std::to_string(maxListFileLines) + " lines");
            lines.push_back(content.substr(start, length));
        }
        start = end + 1;
    }
    return lines;
}

} // namespace stowline::archiver
