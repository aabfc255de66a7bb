#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace stowline::archiver {

// Owns one open file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    // Closes now and reports whether the close succeeded (it can report a late write error).
    bool close();

private:
    int fd_ = -1;
};

std::string errorText(int error);

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path);
std::string lastPart(std::string_view path);
std::string currentFolder();
// `path` made absolute against the current folder and cleaned lexically.
std::string absolutePath(const std::string& path, const std::string& currentFolder);

bool isRegularFile(const std::string& path);
bool pathExists(const std::string& path);

// Creates the folder and every missing parent; false with errno set when that fails.
bool makeFolders(const std::string& path);

// Flushes a folder's entries (after renames) to the disk.
void syncFolder(const std::string& path);

class StopRequest;

// Bounds for the list files (`@list`, `-x@list`, `-n@list`): generous for lists of tens
// of thousands of names, small enough that a wrong or hostile file cannot exhaust memory.
constexpr std::size_t maxListFileBytes = std::size_t{64} << 20;
constexpr std::size_t maxListFileLines = 1'000'000;

// Reads up to `limit` bytes of a regular file named on the command line; `longer` tells
// whether the file holds more (which is then not read). Anything but a regular file
// (a pipe, a device, a folder) is refused before it is opened, so nothing can block.
// Throws ArchiverError(Open) naming `what` and the reason when the file cannot be used,
// and StopRequested when a stop signal arrives while it is read.
std::string readBoundedFile(const std::string& path, std::string_view what, std::size_t limit,
                            bool& longer, StopRequest& stop);

// The lines of a list file: CR LF or LF line ends, a UTF-8 byte order mark dropped, empty
// lines skipped. Throws ArchiverError(Open) when it cannot be read or exceeds the bounds
// above.
std::vector<std::string> readListFile(const std::string& path, StopRequest& stop);

} // namespace stowline::archiver
