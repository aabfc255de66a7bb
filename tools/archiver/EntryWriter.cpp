#include "archiver/EntryWriter.h"

#include "archiver/ExitCode.h"
#include "archiver/FileIo.h"
#include "archiver/Reporter.h"
#include "archiver/Selection.h"
#include "archiver/StopRequest.h"

#include <archive.h>
#include <archive_entry.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace stowline::archiver {

namespace {

constexpr std::size_t readBlock = 1 << 20;

// zlib levels for -m1 (fastest) to -m5 (best); -m3 is zlib's own default.
constexpr std::array<const char*, 6> deflateLevels{"0", "1", "3", "6", "8", "9"};

int openForReading(const std::string& path) {
    // Reading for a backup should not touch access times; only the owner may ask that.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME | O_NOFOLLOW);
    if (descriptor < 0 && errno == EPERM)
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return descriptor;
}

} // namespace

EntryWriter::EntryWriter(ByteSink& out, int level, const std::optional<std::string>& password,
                         Reporter& reporter, StopRequest& stop)
    : out_(out), reporter_(reporter), stop_(stop), buffer_(readBlock) {
    archive_ = archive_write_new();
    entry_ = archive_entry_new();
    if (archive_ == nullptr || entry_ == nullptr)
        throw std::bad_alloc();
    check(archive_write_set_format_zip(archive_), "ZIP format");
    check(archive_write_set_format_option(archive_, "zip", "hdrcharset", "UTF-8"), "name encoding");
    if (level == 0) {
        check(archive_write_set_format_option(archive_, "zip", "compression", "store"), "compression");
    } else {
        check(archive_write_set_format_option(archive_, "zip", "compression", "deflate"), "compression");
        check(archive_write_set_format_option(archive_, "zip", "compression-level",
                                              deflateLevels[static_cast<std::size_t>(level)]),
              "compression level");
    }
    if (password) {
        // Set before anything is written: a missing passphrase would only fail at the
        // first entry and leave a half-written archive.
        check(archive_write_set_format_option(archive_, "zip", "encryption", "aes256"), "encryption");
        check(archive_write_set_passphrase(archive_, password->c_str()), "password");
    }
    check(archive_write_set_bytes_per_block(archive_, readBlock), "block size");
    check(archive_write_set_bytes_in_last_block(archive_, 1), "block size");
    check(archive_write_open2(archive_, this, nullptr, &EntryWriter::writeCallback, nullptr, nullptr),
          "archive");
}

EntryWriter::~EntryWriter() {
    // An unfinished stream is abandoned: nothing more may be written to the sink.
    if (!finished_)
        archive_write_fail(archive_);
    archive_write_free(archive_);
    archive_entry_free(entry_);
}

long EntryWriter::writeCallback(archive* handle, void* self, const void* data, std::size_t size) {
    auto* writer = static_cast<EntryWriter*>(self);
    try {
        writer->out_.write(data, size);
        return static_cast<long>(size);
    } catch (...) {
        // Exceptions must not cross libarchive's C frames: keep it and rethrow later.
        writer->sinkError_ = std::current_exception();
        archive_set_error(handle, EIO, "write failed");
        return -1;
    }
}

void EntryWriter::fail(const std::string& what) {
    if (sinkError_)
        std::rethrow_exception(sinkError_);
    if (archive_errno(archive_) == ENOMEM)
        throw std::bad_alloc();
    const char* reason = archive_error_string(archive_);
    throw ArchiverError(ExitCode::Fatal, what + ": " + (reason ? reason : "libarchive failed"));
}

void EntryWriter::check(int status, const std::string& what) {
    if (status < ARCHIVE_WARN)
        fail(what);
}

AddResult EntryWriter::add(const SourceItem& item) {
    stop_.check();
    FileDescriptor file;
    FileState state = item.state;
    std::string linkTarget;
    if (item.kind == SourceItem::Kind::File) {
        file = FileDescriptor(openForReading(item.path));
        struct stat status {};
        if (!file.valid() || ::fstat(file.get(), &status) != 0) {
            reporter_.warning("cannot open \"" + item.path + "\": " + errorText(errno) + "; left out");
            return AddResult::Skipped;
        }
        if (!S_ISREG(status.st_mode)) {
            reporter_.warning("\"" + item.path + "\" is no longer a file; left out");
            return AddResult::Skipped;
        }
        state.size = status.st_size;
        state.modified = status.st_mtim.tv_sec;
        state.modifiedNanoseconds = status.st_mtim.tv_nsec;
    } else if (item.kind == SourceItem::Kind::Link) {
        linkTarget.resize(4096);
        const ssize_t length = ::readlink(item.path.c_str(), linkTarget.data(), linkTarget.size());
        if (length < 0) {
            reporter_.warning("cannot read the link \"" + item.path + "\": " + errorText(errno) +
                              "; left out");
            return AddResult::Skipped;
        }
        linkTarget.resize(static_cast<std::size_t>(length));
    }

    archive_entry_clear(entry_);
    archive_entry_set_pathname_utf8(entry_, item.storedName.c_str());
    archive_entry_set_mode(entry_, state.mode);
    archive_entry_set_uid(entry_, state.owner);
    archive_entry_set_gid(entry_, state.group);
    archive_entry_set_mtime(entry_, state.modified, state.modifiedNanoseconds);
    if (item.kind == SourceItem::Kind::File)
        archive_entry_set_size(entry_, state.size);
    else
        archive_entry_set_size(entry_, 0);
    if (item.kind == SourceItem::Kind::Link)
        archive_entry_set_symlink_utf8(entry_, linkTarget.c_str());
    check(archive_write_header(archive_, entry_), "cannot add \"" + item.path + "\"");

    AddResult result = AddResult::Written;
    if (item.kind == SourceItem::Kind::File)
        result = writeFileData(item, file.get());
    check(archive_write_finish_entry(archive_), "cannot add \"" + item.path + "\"");
    return result;
}

AddResult EntryWriter::writeFileData(const SourceItem& item, int descriptor) {
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    struct stat before {};
    ::fstat(descriptor, &before);
    const std::int64_t declared = before.st_size;
    std::int64_t done = 0;
    std::string problem;
    while (done < declared) {
        stop_.check();
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::int64_t>(declared - done, static_cast<std::int64_t>(buffer_.size())));
        const ssize_t got = ::read(descriptor, buffer_.data(), wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            problem = got < 0 ? errorText(errno) : "the file became shorter while it was read";
            break;
        }
        if (archive_write_data(archive_, buffer_.data(), static_cast<std::size_t>(got)) < 0)
            fail("cannot add \"" + item.path + "\"");
        done += got;
    }
    if (!problem.empty()) {
        // The header promised `declared` bytes; the entry is filled up with zeros so the
        // archive stays sound, and the damage is reported.
        std::memset(buffer_.data(), 0, buffer_.size());
        while (done < declared) {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::int64_t>(declared - done, static_cast<std::int64_t>(buffer_.size())));
            if (archive_write_data(archive_, buffer_.data(), chunk) < 0)
                fail("cannot add \"" + item.path + "\"");
            done += static_cast<std::int64_t>(chunk);
        }
        reporter_.warning("\"" + item.path + "\" could not be read whole (" + problem +
                          "); its archived copy is incomplete");
        return AddResult::Changed;
    }
    struct stat after {};
    if (::fstat(descriptor, &after) != 0 || after.st_size != before.st_size ||
        after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)
        return AddResult::Changed;
    return AddResult::Written;
}

void EntryWriter::finish() {
    check(archive_write_close(archive_), "cannot finish the archive");
    finished_ = true;
}

} // namespace stowline::archiver
