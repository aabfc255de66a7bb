#include "archiver/ZipReader.h"

#include "archiver/ExitCode.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"

#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

namespace stowline::archiver {

la_ssize_t ZipSource::read(archive* handle, void* self, const void** data) {
    auto* source = static_cast<ZipSource*>(self);
    try {
        if (source->position_ >= source->bufferStart_ &&
            source->position_ < source->bufferStart_ + source->bufferFill_) {
            const auto offset = static_cast<std::size_t>(source->position_ - source->bufferStart_);
            const std::size_t count = source->bufferFill_ - offset;
            source->position_ += count;
            *data = source->buffer_.data() + offset;
            return static_cast<la_ssize_t>(count);
        }
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(
            source->buffer_.size(), source->input_.size() - source->position_));
        source->input_.readAt(source->position_, source->buffer_.data(), count);
        source->bufferStart_ = source->position_;
        source->bufferFill_ = count;
        source->position_ += count;
        *data = source->buffer_.data();
        return static_cast<la_ssize_t>(count);
    } catch (const std::exception& error) {
        archive_set_error(handle, EIO, "%s", error.what());
        return -1;
    }
}

la_int64_t ZipSource::skip(archive*, void* self, la_int64_t request) {
    auto* source = static_cast<ZipSource*>(self);
    const std::uint64_t step = std::min<std::uint64_t>(static_cast<std::uint64_t>(request),
                                                       source->input_.size() - source->position_);
    source->position_ += step;
    return static_cast<la_int64_t>(step);
}

la_int64_t ZipSource::seek(archive*, void* self, la_int64_t offset, int whence) {
    auto* source = static_cast<ZipSource*>(self);
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

ReaderHandle openZipReader(ZipSource& source, const std::optional<std::string>& password) {
    ReaderHandle reader(archive_read_new(), &archive_read_free);
    if (!reader)
        throw std::bad_alloc();
    archive_read_support_format_zip_seekable(reader.get());
    if (password)
        archive_read_add_passphrase(reader.get(), password->c_str());
    archive_read_set_seek_callback(reader.get(), &ZipSource::seek);
    if (archive_read_open2(reader.get(), &source, nullptr, &ZipSource::read, &ZipSource::skip,
                           nullptr) != ARCHIVE_OK)
        throw ArchiverError(ExitCode::Checksum, std::string("the archive cannot be read: ") +
                                                    archive_error_string(reader.get()));
    return reader;
}

std::string reasonOf(archive* reader) {
    const char* reason = archive_error_string(reader);
    return reason ? reason : "unknown error";
}

void readEntryBlocks(
    archive* reader, archive_entry* entry, StopRequest& stop,
    const std::function<bool(const void* data, std::size_t size, la_int64_t offset)>& block) {
    const std::string name =
        archive_entry_pathname_utf8(entry) ? archive_entry_pathname_utf8(entry) : "";
    const bool encrypted = archive_entry_is_data_encrypted(entry) > 0;
    bool first = true;
    for (;;) {
        stop.check();
        const void* data = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &data, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        if (status != ARCHIVE_OK) {
            if (encrypted && first)
                throw ArchiverError(ExitCode::Password, "wrong password for \"" + name + "\" (" +
                                                            reasonOf(reader) + ")");
            throw ArchiverError(ExitCode::Checksum,
                                "checksum error in \"" + name + "\": " + reasonOf(reader));
        }
        first = false;
        if (!block(data, size, offset))
            return;
    }
}

} // namespace stowline::archiver
