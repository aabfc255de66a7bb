#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace stowline::archiver {

class PartedInput;
class StopRequest;

// Feeds libarchive's seekable ZIP reader from a PartedInput, the way unzip reads:
// through the central directory.
class ZipSource {
public:
    explicit ZipSource(const PartedInput& input) : input_(input), buffer_(1 << 20) {}

    static la_ssize_t read(archive* handle, void* self, const void** data);
    static la_int64_t skip(archive*, void* self, la_int64_t request);
    static la_int64_t seek(archive*, void* self, la_int64_t offset, int whence);

private:
    const PartedInput& input_;
    std::vector<char> buffer_;
    std::uint64_t position_ = 0;
    // The bytes in buffer_ are those of the archive from bufferStart_ on. The reader
    // seeks to every entry; entries that lie in the bytes already read are served from
    // there instead of reading a whole buffer again for each small file.
    std::uint64_t bufferStart_ = 0;
    std::size_t bufferFill_ = 0;
};

using ReaderHandle = std::unique_ptr<archive, decltype(&archive_read_free)>;

// A libarchive reader of the ZIP archive behind `source`, with `password` for encrypted
// entries. Throws ArchiverError(Checksum) when the archive cannot be read.
ReaderHandle openZipReader(ZipSource& source, const std::optional<std::string>& password);

// libarchive's text for the last error of `reader`.
std::string reasonOf(archive* reader);

// Reads the data of the current entry block by block, handing each to `block`, which
// returns false to stop reading. A failure on the first block of an encrypted entry is
// the password's fault (the password check comes first): ArchiverError(Password); any
// later one is damage: ArchiverError(Checksum).
void readEntryBlocks(
    archive* reader, archive_entry* entry, StopRequest& stop,
    const std::function<bool(const void* data, std::size_t size, la_int64_t offset)>& block);

} // namespace stowline::archiver
