#include "archiver/Extract.h"

#include "archiver/ExitCode.h"
#include "archiver/ProgressPipe.h"
#include "archiver/Reporter.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"
#include "archiver/ZipDirectory.h"
#include "archiver/ZipReader.h"

#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace stowline::archiver {

namespace {

std::vector<std::string_view> partsOf(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

bool lstatOf(const std::string& path, struct stat& info) {
    return ::lstat(path.c_str(), &info) == 0;
}

// A file of the archive being written under a temporary name; removed unless kept.
class PartialFile {
public:
    explicit PartialFile(std::string path) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0)
            throw ArchiverError(ExitCode::Create, systemError("cannot create", path_));
    }
    ~PartialFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_)
            ::unlink(path_.c_str());
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    void writeAt(const void* data, std::size_t size, std::uint64_t offset) {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw ArchiverError(ExitCode::Write, systemError("cannot write", path_));
            bytes += written;
            size -= static_cast<std::size_t>(written);
            offset += static_cast<std::uint64_t>(written);
        }
    }
    // Sets length, mode and time and moves the file to `target`.
    void keepAs(const std::string& target, std::uint64_t size, mode_t mode, std::time_t modified) {
        struct stat info {};
        if (::fstat(fd_, &info) != 0 ||
            (static_cast<std::uint64_t>(info.st_size) != size &&
             ::ftruncate(fd_, static_cast<off_t>(size)) != 0) ||
            ::fchmod(fd_, mode) != 0)
            throw ArchiverError(ExitCode::Write, systemError("cannot write", path_));
        const timespec times[2] = {{0, UTIME_OMIT}, {modified, 0}};
        ::futimens(fd_, times);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw ArchiverError(ExitCode::Write, systemError("cannot write", path_));
        if (::rename(path_.c_str(), target.c_str()) != 0)
            throw ArchiverError(ExitCode::Create, systemError("cannot create", target));
        kept_ = true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
};

class Extraction {
public:
    Extraction(std::string folder, const std::optional<std::string>& password,
               ExistingFiles existing, Reporter& reporter, StopRequest& stop,
               ProgressPipe& progress)
        : folder_(std::move(folder)), password_(password), existing_(existing), reporter_(reporter),
          stop_(stop), progress_(progress) {}

    void entry(archive* reader, archive_entry* entry) {
        const char* stored = archive_entry_pathname_utf8(entry);
        const std::string name = stored ? stored : "";
        const std::optional<std::string> relative = extractionPath(name);
        if (!relative) {
            refuse(name, "its path leads out of the target folder");
            return;
        }
        if (const std::optional<std::string> link = linkInPath(*relative)) {
            refuse(name, "its path runs through the link \"" + *link + "\"");
            return;
        }
        const std::string target = folder_ + "/" + *relative;
        if (archive_entry_hardlink_utf8(entry)) {
            refuse(name, "hard links are not extracted");
            return;
        }
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            makeFolder(target, name, archive_entry_mtime(entry));
            return;
        case AE_IFLNK:
            makeLink(entry, *relative, target, name);
            return;
        case AE_IFREG:
        case 0:
            writeFile(reader, entry, target, name);
            return;
        default:
            reporter_.warning("\"" + name + "\" is no file, folder or link and was skipped");
        }
    }

    void finish() {
        // Writing into a folder changed its time; the archived times are set last, the
        // deepest folders first.
        for (auto it = folderTimes_.rbegin(); it != folderTimes_.rend(); ++it) {
            const timespec times[2] = {{0, UTIME_OMIT}, {it->second, 0}};
            ::utimensat(AT_FDCWD, it->first.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
    }

    ExtractionResult result;

private:
    void refuse(const std::string& name, const std::string& why) {
        reporter_.error(ExitCode::Fatal, "refused \"" + name + "\": " + why);
    }

    // The first part of `relative`'s folders that exists as a link, so that nothing is
    // written through a link to somewhere else.
    std::optional<std::string> linkInPath(const std::string& relative) const {
        std::string path = folder_;
        std::string shown;
        const std::vector<std::string_view> parts = partsOf(relative);
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            path.append("/").append(parts[i]);
            shown.append(shown.empty() ? "" : "/").append(parts[i]);
            if (madeFolders_.count(path))
                continue;
            struct stat info {};
            if (!lstatOf(path, info))
                return std::nullopt;
            if (S_ISLNK(info.st_mode))
                return shown;
        }
        return std::nullopt;
    }

    // Makes the folders above `target`; those this extraction made or found are
    // remembered, so that neither they nor the link check touch the disk again.
    void makeParents(const std::string& target) {
        const std::string parent = std::filesystem::path(target).parent_path().string();
        if (parent == folder_ || madeFolders_.count(parent))
            return;
        std::error_code error;
        std::filesystem::create_directories(parent, error);
        if (error)
            throw ArchiverError(ExitCode::Create, "cannot create the folder of \"" + target +
                                                      "\": " + error.message());
        for (std::string path = parent; path.size() > folder_.size() && !madeFolders_.count(path);
             path = std::filesystem::path(path).parent_path().string())
            madeFolders_.insert(path);
    }

    void makeFolder(const std::string& target, const std::string& name, std::time_t modified) {
        struct stat info {};
        if (lstatOf(target, info) && !S_ISDIR(info.st_mode)) {
            reporter_.error(ExitCode::Create, "\"" + name + "\": a file is in the folder's place");
            return;
        }
        std::error_code error;
        std::filesystem::create_directories(target, error);
        if (error)
            throw ArchiverError(ExitCode::Create,
                                "cannot create \"" + target + "\": " + error.message());
        folderTimes_.emplace_back(target, modified);
        madeFolders_.insert(target);
        ++result.folders;
    }

    // Whether the entry goes to `target`, as far as an existing file there is concerned.
    bool mayWrite(const std::string& target, const std::string& name) {
        struct stat info {};
        if (!lstatOf(target, info))
            return true;
        if (S_ISDIR(info.st_mode)) {
            reporter_.error(ExitCode::Create, "\"" + name + "\": a folder is in the file's place");
            return false;
        }
        switch (existing_) {
        case ExistingFiles::Replace:
            return true;
        case ExistingFiles::Keep:
            reporter_.info(name + ": exists, kept");
            return false;
        case ExistingFiles::KeepWithWarning:
            break;
        }
        reporter_.warning("\"" + name + "\" exists and was kept (-o+ replaces it)");
        return false;
    }

    void makeLink(archive_entry* entry, const std::string& relative, const std::string& target,
                  const std::string& name) {
        const char* stored = archive_entry_symlink_utf8(entry);
        const std::string destination = stored ? stored : "";
        if (!linkStaysInside(relative, destination)) {
            refuse(name, "the link points out of the target folder");
            return;
        }
        if (!mayWrite(target, name))
            return;
        makeParents(target);
        ::unlink(target.c_str());
        if (::symlink(destination.c_str(), target.c_str()) != 0)
            throw ArchiverError(ExitCode::Create, systemError("cannot create", target));
        ++result.links;
    }

    void writeFile(archive* reader, archive_entry* entry, const std::string& target,
                   const std::string& name) {
        if (!mayWrite(target, name))
            return;
        const bool encrypted = archive_entry_is_data_encrypted(entry) > 0;
        if (encrypted && !password_)
            throw ArchiverError(ExitCode::Password,
                                "\"" + name + "\" is encrypted and no password was given");
        makeParents(target);
        const std::filesystem::path place(target);
        PartialFile partial(place.parent_path().string() + "/." + place.filename().string() +
                            ".stowarc-" + std::to_string(::getpid()) + ".part");
        const std::uint64_t planned = archive_entry_size_is_set(entry)
                                          ? static_cast<std::uint64_t>(archive_entry_size(entry))
                                          : 0;
        progress_.beginItem(planned);
        std::uint64_t end = 0;
        readEntryBlocks(reader, entry, stop_,
                        [&](const void* block, std::size_t size, la_int64_t offset) {
                            partial.writeAt(block, size, static_cast<std::uint64_t>(offset));
                            end = std::max(end, static_cast<std::uint64_t>(offset) + size);
                            progress_.advance(size);
                            return true;
                        });
        const mode_t mode = static_cast<mode_t>(archive_entry_perm(entry) & 0777);
        partial.keepAs(target, std::max(end, planned), mode ? mode : 0644,
                       archive_entry_mtime(entry));
        progress_.endItem();
        ++result.files;
    }

    std::string folder_;
    const std::optional<std::string>& password_;
    ExistingFiles existing_;
    Reporter& reporter_;
    StopRequest& stop_;
    ProgressPipe& progress_;
    std::vector<std::pair<std::string, std::time_t>> folderTimes_;
    std::unordered_set<std::string> madeFolders_;
};

} // namespace

std::optional<std::string> extractionPath(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string path;
    for (const std::string_view part : partsOf(name)) {
        if (part == "..")
            return std::nullopt;
        path.append(path.empty() ? "" : "/").append(part);
    }
    if (path.empty())
        return std::nullopt;
    return path;
}

bool linkStaysInside(std::string_view path, std::string_view target) {
    if (target.empty() || target.front() == '/')
        return false;
    // Links resolve from the folder the link is in.
    std::ptrdiff_t depth = static_cast<std::ptrdiff_t>(partsOf(path).size()) - 1;
    for (const std::string_view part : partsOf(target)) {
        depth += part == ".." ? -1 : 1;
        if (depth < 0)
            return false;
    }
    return true;
}

ExtractionResult extractArchive(const PartedInput& input, const std::string& folder,
                                const std::optional<std::string>& password, ExistingFiles existing,
                                const std::function<bool(std::string_view)>& wanted,
                                Reporter& reporter, StopRequest& stop, ProgressPipe& progress) {
    std::uint64_t total = 0;
    if (progress.enabled())
        for (const ZipEntry& entry : readZipDirectory(input).entries)
            if (!entry.isFolder() && wanted(entry.name))
                total += entry.size;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw ArchiverError(ExitCode::Create,
                            "cannot create \"" + folder + "\": " + error.message());

    // libarchive hands out names in the locale's encoding; under the C locale a name
    // beyond ASCII would have none. Archive names are UTF-8, and so are the names written.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    ZipSource source(input);
    ReaderHandle reader = openZipReader(source, password);
    Extraction extraction(folder, password, existing, reporter, stop, progress);
    progress.start(total);
    for (;;) {
        stop.check();
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            throw ArchiverError(ExitCode::Checksum,
                                "the archive is damaged: " + reasonOf(reader.get()));
        const char* name = archive_entry_pathname_utf8(entry);
        if (!wanted(name ? name : ""))
            continue;
        extraction.entry(reader.get(), entry);
    }
    extraction.finish();
    progress.finish();
    return extraction.result;
}

} // namespace stowline::archiver
