#pragma once

#include "archiver/ByteSink.h"
#include "archiver/FileIo.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace stowline::archiver {

class StopRequest;

// The files an existing archive is stored in: the archive file itself, or the volumes
// archive.001, archive.002, ... in order. Empty when there is no such archive.
std::vector<std::string> findArchiveFiles(const std::string& archivePath);

// One archive read as one run of bytes, whether it is one file or a set of volumes.
class PartedInput {
public:
    // Throws ArchiverError(Open) when a file cannot be opened.
    explicit PartedInput(const std::vector<std::string>& files);

    std::uint64_t size() const { return size_; }
    // Throws ArchiverError(Checksum) when the bytes are not there, (Open) on read errors.
    void readAt(std::uint64_t offset, void* buffer, std::size_t count) const;
    // Size of the first volume when the archive is a set of several, else 0.
    std::uint64_t volumeSize() const;
    // Device and inode of every file, so that archiving can leave them out.
    std::vector<std::pair<dev_t, ino_t>> identities() const;

private:
    struct Part {
        std::string path;
        FileDescriptor file;
        std::uint64_t start = 0;
        std::uint64_t size = 0;
        dev_t device = 0;
        ino_t inode = 0;
    };
    std::vector<Part> parts_;
    std::uint64_t size_ = 0;
};

// A hidden folder beside the archive that holds everything unfinished. Whatever is still
// in it when it goes away is removed, so a failed or stopped command leaves nothing behind.
class WorkFolder {
public:
    // Throws ArchiverError(Create) when the folder cannot be made.
    explicit WorkFolder(const std::string& besideFolder);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    std::string path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes a byte stream into numbered files of at most `volumeSize` bytes each (0: one
// file), named `prefix`.001, .002, ...
class VolumeWriter final : public PatchableSink {
public:
    VolumeWriter(std::string prefix, std::uint64_t volumeSize, StopRequest& stop);
    void write(const void* data, std::size_t size) override;
    void patch(std::uint64_t offset, const void* data, std::size_t size) override;
    // Closes the last file; with `sync` every file is flushed to the disk first.
    void finish(bool sync);

    const std::vector<std::string>& files() const { return files_; }
    std::uint64_t written() const { return written_; }

private:
    void openNext();

    std::string prefix_;
    std::uint64_t volumeSize_;
    StopRequest& stop_;
    std::vector<std::string> files_;
    FileDescriptor current_;
    std::uint64_t inCurrent_ = 0;
    std::uint64_t written_ = 0;
};

// Puts finished volumes in place of the archive: one file becomes the archive itself,
// several become archive.001, archive.002, ... Each rename replaces its old namesake in
// one step; files of the old set that have no namesake are removed afterwards. Throws
// ArchiverError(Create) when a rename fails.
void replaceArchive(const std::vector<std::string>& newFiles, const std::string& archivePath,
                    const std::vector<std::string>& oldFiles, bool sync);

} // namespace stowline::archiver
