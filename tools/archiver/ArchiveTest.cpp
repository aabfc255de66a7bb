#include "archiver/ArchiveTest.h"

#include "archiver/ExitCode.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <vector>

namespace stowline::archiver {

namespace {

// Feeds libarchive's seekable ZIP reader from a PartedInput, the way unzip reads:
// through the central directory.
class Source {
public:
    explicit Source(const PartedInput& input) : input_(input), buffer_(1 << 20) {}

    static la_ssize_t read(archive* handle, void* self, const void** data) {
        auto* source = static_cast<Source*>(self);
        try {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(
                source->buffer_.size(), source->input_.size() - source->position_));
            source->input_.readAt(source->position_, source->buffer_.data(), count);
            source->position_ += count;
            *data = source->buffer_.data();
            return static_cast<la_ssize_t>(count);
        } catch (const std::exception& error) {
            archive_set_error(handle, EIO, "%s", error.what());
            return -1;
        }
    }
    static la_int64_t skip(archive*, void* self, la_int64_t request) {
        auto* source = static_cast<Source*>(self);
        const std::uint64_t step = std::min<std::uint64_t>(
            static_cast<std::uint64_t>(request), source->input_.size() - source->position_);
        source->position_ += step;
        return static_cast<la_int64_t>(step);
    }
    static la_int64_t seek(archive*, void* self, la_int64_t offset, int whence) {
        auto* source = static_cast<Source*>(self);
        const auto size = static_cast<la_int64_t>(source->input_.size());
        la_int64_t target = offset;
        if (whence == SEEK_CUR)
            target += static_cast<la_int64_t>(source->position_);
        else if (whence == SEEK_END)
            target += size;
        if (target < 0)
            return ARCHIVE_FATAL;
        source->position_ = static_cast<std::uint64_t>(std::min(target, size));
        return static_cast<la_int64_t>(source->position_);
    }

private:
    const PartedInput& input_;
    std::vector<char> buffer_;
    std::uint64_t position_ = 0;
};

using ReaderHandle = std::unique_ptr<archive, decltype(&archive_read_free)>;

ReaderHandle openReader(Source& source, const std::optional<std::string>& password) {
    ReaderHandle reader(archive_read_new(), &archive_read_free);
    if (!reader)
        throw std::bad_alloc();
    archive_read_support_format_zip_seekable(reader.get());
    if (password)
        archive_read_add_passphrase(reader.get(), password->c_str());
    archive_read_set_seek_callback(reader.get(), &Source::seek);
    if (archive_read_open2(reader.get(), &source, nullptr, &Source::read, &Source::skip, nullptr) !=
        ARCHIVE_OK)
        throw ArchiverError(ExitCode::Checksum, std::string("the archive cannot be read: ") +
                                                    archive_error_string(reader.get()));
    return reader;
}

std::string reasonOf(archive* reader) {
    const char* reason = archive_error_string(reader);
    return reason ? reason : "unknown error";
}

// Reads the current entry's data. A failure on the first block of an encrypted entry is
// the password's fault (the password check comes first); any later one is damage.
void readEntryData(archive* reader, archive_entry* entry, bool firstBlockOnly, StopRequest& stop) {
    const std::string name =
        archive_entry_pathname_utf8(entry) ? archive_entry_pathname_utf8(entry) : "";
    const bool encrypted = archive_entry_is_data_encrypted(entry) > 0;
    bool first = true;
    for (;;) {
        stop.check();
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        if (status != ARCHIVE_OK) {
            if (encrypted && first)
                throw ArchiverError(ExitCode::Password, "wrong password for \"" + name + "\" (" +
                                                            reasonOf(reader) + ")");
            throw ArchiverError(ExitCode::Checksum,
                                "checksum error in \"" + name + "\": " + reasonOf(reader));
        }
        if (firstBlockOnly)
            return;
        first = false;
    }
}

} // namespace

std::size_t testArchive(const PartedInput& input, const std::optional<std::string>& password,
                        const std::function<bool(std::string_view)>& wanted, StopRequest& stop) {
    Source source(input);
    ReaderHandle reader = openReader(source, password);
    std::size_t tested = 0;
    for (;;) {
        stop.check();
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return tested;
        if (status < ARCHIVE_WARN)
            throw ArchiverError(ExitCode::Checksum,
                                "the archive is damaged: " + reasonOf(reader.get()));
        const char* name = archive_entry_pathname_utf8(entry);
        if (!wanted(name ? name : ""))
            continue;
        if (archive_entry_is_data_encrypted(entry) > 0 && !password)
            throw ArchiverError(ExitCode::Password,
                                std::string("\"") + (name ? name : "") +
                                    "\" is encrypted and no password was given");
        readEntryData(reader.get(), entry, false, stop);
        ++tested;
    }
}

bool passwordOpens(const PartedInput& input, const std::string& password, const std::string& name,
                   StopRequest& stop) {
    Source source(input);
    ReaderHandle reader = openReader(source, password);
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return true;
        if (status < ARCHIVE_WARN)
            throw ArchiverError(ExitCode::Checksum,
                                "the archive is damaged: " + reasonOf(reader.get()));
        const char* entryName = archive_entry_pathname_utf8(entry);
        if (!entryName || name != entryName)
            continue;
        try {
            readEntryData(reader.get(), entry, true, stop);
            return true;
        } catch (const ArchiverError& error) {
            if (error.code() == ExitCode::Password)
                return false;
            throw;
        }
    }
}

} // namespace stowline::archiver
