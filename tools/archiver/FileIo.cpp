#include "archiver/FileIo.h"

#include "archiver/ExitCode.h"
#include "archiver/NameMask.h"

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

std::string readWholeFile(const std::string& path, std::string_view what) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        throw ArchiverError(ExitCode::Open, "cannot open the " + std::string(what) + " \"" + path +
                                                "\": " + errorText(errno));
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw ArchiverError(ExitCode::Open, "cannot read the " + std::string(what) + " \"" +
                                                    path + "\": " + errorText(errno));
        if (count == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

std::vector<std::string> readListFile(const std::string& path) {
    std::string content = readWholeFile(path, "list file");
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
        if (length > 0)
            lines.push_back(content.substr(start, length));
        start = end + 1;
    }
    return lines;
}

} // namespace stowline::archiver
