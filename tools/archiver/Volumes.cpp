#include "archiver/Volumes.h"

#include "archiver/ArchiveName.h"
#include "archiver/ExitCode.h"
#include "archiver/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::archiver {

std::vector<std::string> findArchiveFiles(const std::string& archivePath) {
    if (isRegularFile(archivePath))
        return {archivePath};
    std::vector<std::string> files;
    for (unsigned index = 1; isRegularFile(volumeName(archivePath, index)); ++index)
        files.push_back(volumeName(archivePath, index));
    return files;
}

PartedInput::PartedInput(const std::vector<std::string>& files) {
    for (const std::string& path : files) {
        Part part;
        part.path = path;
        part.file = FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat status {};
        if (!part.file.valid() || ::fstat(part.file.get(), &status) != 0)
            throw ArchiverError(ExitCode::Open,
                                "cannot open the archive \"" + path + "\": " + errorText(errno));
        part.start = size_;
        part.size = static_cast<std::uint64_t>(status.st_size);
        part.device = status.st_dev;
        part.inode = status.st_ino;
        size_ += part.size;
        parts_.push_back(std::move(part));
    }
}

void PartedInput::readAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (offset > size_ || count > size_ - offset)
        throw ArchiverError(ExitCode::Checksum, "the archive is damaged: it ends too early");
    auto* target = static_cast<char*>(buffer);
    auto part =
        std::upper_bound(parts_.begin(), parts_.end(), offset,
                         [](std::uint64_t value, const Part& p) { return value < p.start; });
    --part;
    while (count > 0) {
        const std::uint64_t inPart = offset - part->start;
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, part->size - inPart));
        std::size_t done = 0;
        while (done < chunk) {
            const ssize_t got = ::pread(part->file.get(), target + done, chunk - done,
                                        static_cast<off_t>(inPart + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                throw ArchiverError(
                    got == 0 ? ExitCode::Checksum : ExitCode::Open,
                    "cannot read the archive \"" + part->path +
                        "\": " + (got == 0 ? "it is shorter than expected" : errorText(errno)));
            done += static_cast<std::size_t>(got);
        }
        target += chunk;
        offset += chunk;
        count -= chunk;
        ++part;
    }
}

std::uint64_t PartedInput::volumeSize() const {
    return parts_.size() > 1 ? parts_.front().size : 0;
}

std::vector<std::pair<dev_t, ino_t>> PartedInput::identities() const {
    std::vector<std::pair<dev_t, ino_t>> result;
    for (const Part& part : parts_)
        result.emplace_back(part.device, part.inode);
    return result;
}

WorkFolder::WorkFolder(const std::string& besideFolder) {
    std::string pattern = besideFolder + "/.stowarc-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw ArchiverError(ExitCode::Create, "cannot create a work folder in \"" + besideFolder +
                                                  "\": " + errorText(errno));
    path_ = std::move(pattern);
}

WorkFolder::~WorkFolder() {
    if (DIR* folder = ::opendir(path_.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(folder);
        for (const std::string& name : names)
            ::unlink(path(name).c_str());
    }
    ::rmdir(path_.c_str());
}

VolumeWriter::VolumeWriter(std::string prefix, std::uint64_t volumeSize, StopRequest& stop)
    : prefix_(std::move(prefix)), volumeSize_(volumeSize), stop_(stop) {}

void VolumeWriter::openNext() {
    if (current_.valid() && !current_.close())
        throw ArchiverError(ExitCode::Write,
                            "cannot write \"" + files_.back() + "\": " + errorText(errno));
    const std::string path = volumeName(prefix_, static_cast<unsigned>(files_.size() + 1));
    current_ = FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!current_.valid())
        throw ArchiverError(ExitCode::Create,
                            "cannot create \"" + path + "\": " + errorText(errno));
    files_.push_back(path);
    inCurrent_ = 0;
}

void VolumeWriter::write(const void* data, std::size_t size) {
    stop_.check();
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (!current_.valid() || (volumeSize_ > 0 && inCurrent_ == volumeSize_))
            openNext();
        std::size_t chunk = size;
        if (volumeSize_ > 0)
            chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk, volumeSize_ - inCurrent_));
        const ssize_t done = ::write(current_.get(), bytes, chunk);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            throw ArchiverError(ExitCode::Write, "cannot write \"" + files_.back() +
                                                     "\": " + errorText(done < 0 ? errno : ENOSPC));
        bytes += done;
        size -= static_cast<std::size_t>(done);
        inCurrent_ += static_cast<std::uint64_t>(done);
        written_ += static_cast<std::uint64_t>(done);
    }
}

void VolumeWriter::patch(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const std::size_t index =
            volumeSize_ > 0 ? static_cast<std::size_t>(offset / volumeSize_) : 0;
        const std::uint64_t inFile = volumeSize_ > 0 ? offset % volumeSize_ : offset;
        std::size_t chunk = size;
        if (volumeSize_ > 0)
            chunk = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, volumeSize_ - inFile));
        if (index >= files_.size() || offset + chunk > written_)
            throw ArchiverError(ExitCode::Fatal, "a patch lies beyond what was written");
        const bool current = index + 1 == files_.size() && current_.valid();
        FileDescriptor other;
        if (!current)
            other = FileDescriptor(::open(files_[index].c_str(), O_WRONLY | O_CLOEXEC));
        const int descriptor = current ? current_.get() : other.get();
        if (descriptor < 0 || ::pwrite(descriptor, bytes, chunk, static_cast<off_t>(inFile)) !=
                                  static_cast<ssize_t>(chunk))
            throw ArchiverError(ExitCode::Write,
                                "cannot write \"" + files_[index] + "\": " + errorText(errno));
        bytes += chunk;
        offset += chunk;
        size -= chunk;
    }
}

void VolumeWriter::finish(bool sync) {
    if (!current_.valid() && files_.empty())
        openNext(); // an empty stream is still one (empty) file
    if (!current_.valid())
        return;
    if (sync) {
        for (std::size_t index = 0; index + 1 < files_.size(); ++index) {
            const FileDescriptor earlier(::open(files_[index].c_str(), O_RDONLY | O_CLOEXEC));
            if (!earlier.valid() || ::fsync(earlier.get()) != 0)
                throw ArchiverError(ExitCode::Write,
                                    "cannot flush \"" + files_[index] + "\": " + errorText(errno));
        }
        if (::fsync(current_.get()) != 0)
            throw ArchiverError(ExitCode::Write,
                                "cannot flush \"" + files_.back() + "\": " + errorText(errno));
    }
    if (!current_.close())
        throw ArchiverError(ExitCode::Write,
                            "cannot write \"" + files_.back() + "\": " + errorText(errno));
}

void replaceArchive(const std::vector<std::string>& newFiles, const std::string& archivePath,
                    const std::vector<std::string>& oldFiles, bool sync) {
    std::vector<std::string> finalNames;
    if (newFiles.size() == 1)
        finalNames.push_back(archivePath);
    else
        for (unsigned index = 1; index <= newFiles.size(); ++index)
            finalNames.push_back(volumeName(archivePath, index));
    for (std::size_t index = 0; index < newFiles.size(); ++index)
        if (::rename(newFiles[index].c_str(), finalNames[index].c_str()) != 0)
            throw ArchiverError(ExitCode::Create,
                                "cannot create \"" + finalNames[index] + "\": " + errorText(errno));
    for (const std::string& old : oldFiles)
        if (std::find(finalNames.begin(), finalNames.end(), old) == finalNames.end())
            ::unlink(old.c_str());
    if (sync)
        syncFolder(folderOf(archivePath));
}

} // namespace stowline::archiver
