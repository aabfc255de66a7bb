#pragma once

#include "archiver/ByteSink.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace stowline::archiver {

class PartedInput;
class StopRequest;

// One file of a ZIP archive as its central directory describes it.
struct ZipEntry {
    std::string name;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localOffset = 0;
    std::string extra; // central extra fields, as stored
    std::string comment;
    // Modification time: exact to the second from the extended time stamp, else from the
    // DOS fields (two-second steps, local time).
    std::time_t modified = 0;
    bool modifiedExact = false;
    // End of the entry's local record (header, data, data descriptor) in the archive.
    std::uint64_t recordEnd = 0;

    bool isFolder() const { return !name.empty() && name.back() == '/'; }
    bool isEncrypted() const { return (flags & 1) != 0; }
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    std::string comment;
};

// Reads and checks the central directory. Throws ArchiverError(Fatal) when the file is
// no ZIP archive, (Checksum) when it is damaged.
ZipDirectory readZipDirectory(const PartedInput& input);

// Writes a ZIP archive from entries copied as they are, compressed and encrypted data
// included, out of other archives; only names and offsets change. This is how an archive
// is updated, or files are deleted from it, without a password and without compressing
// anything again.
class ZipAssembler {
public:
    ZipAssembler(ByteSink& out, StopRequest& stop);

    // Copies one entry, under `newName` when that is not empty.
    void copyEntry(const PartedInput& from, const ZipEntry& entry, std::string_view newName = {});
    // Writes the central directory and the end record with `comment`.
    void finish(std::string_view comment);

private:
    void put(const void* data, std::size_t size);

    ByteSink& out_;
    StopRequest& stop_;
    std::uint64_t offset_ = 0;
    std::vector<ZipEntry> written_;
};

// The archive comment written after the end record. ZIP allows at most 65535 bytes.
constexpr std::size_t maxZipComment = 65535;

// The central records at the start of `block`, up to the first thing that is not one.
std::vector<ZipEntry> parseCentralRecords(std::string_view block);

// Writes the central directory for `entries`, whose local records are already in `out`,
// starting at `offset`, followed by the end records with `comment`.
void writeCentralDirectory(ByteSink& out, std::uint64_t offset,
                           const std::vector<ZipEntry>& entries, std::string_view comment);

} // namespace stowline::archiver
