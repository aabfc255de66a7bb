#pragma once

#include <archive.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace stowline::archiver {

class PartedInput;

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

} // namespace stowline::archiver
