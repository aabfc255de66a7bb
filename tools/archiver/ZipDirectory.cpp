#include "archiver/ZipDirectory.h"

#include "archiver/ExitCode.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace stowline::archiver {

namespace {

constexpr std::uint32_t localSignature = 0x04034b50;
constexpr std::uint32_t centralSignature = 0x02014b50;
constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t centralHeaderSize = 46;
constexpr std::size_t endRecordSize = 22;
constexpr std::size_t zip64EndSize = 56;
constexpr std::size_t zip64LocatorSize = 20;
constexpr std::uint16_t zip64ExtraId = 0x0001;
constexpr std::uint16_t timeExtraId = 0x5455;
constexpr std::uint16_t unicodePathExtraId = 0x7075;
constexpr std::uint32_t max32 = 0xFFFFFFFF;
constexpr std::uint16_t max16 = 0xFFFF;

std::uint16_t get16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}
std::uint32_t get32(const char* p) {
    return get16(p) | static_cast<std::uint32_t>(get16(p + 2)) << 16;
}
std::uint64_t get64(const char* p) {
    return get32(p) | static_cast<std::uint64_t>(get32(p + 4)) << 32;
}

void put16(std::string& out, std::uint64_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& out, std::uint64_t value) {
    put16(out, value & 0xFFFF);
    put16(out, (value >> 16) & 0xFFFF);
}
void put64(std::string& out, std::uint64_t value) {
    put32(out, value & max32);
    put32(out, value >> 32);
}

[[noreturn]] void damaged(const std::string& what) {
    throw ArchiverError(ExitCode::Checksum, "the archive is damaged: " + what);
}

struct ExtraField {
    std::uint16_t id;
    std::string_view data;
};

std::vector<ExtraField> splitExtra(std::string_view extra) {
    std::vector<ExtraField> fields;
    while (extra.size() >= 4) {
        const std::uint16_t id = get16(extra.data());
        const std::size_t size = get16(extra.data() + 2);
        if (size > extra.size() - 4)
            break; // a damaged tail is dropped
        fields.push_back({id, extra.substr(4, size)});
        extra.remove_prefix(4 + size);
    }
    return fields;
}

std::string withoutFields(std::string_view extra, std::initializer_list<std::uint16_t> ids) {
    std::string kept;
    for (const ExtraField& field : splitExtra(extra)) {
        if (std::find(ids.begin(), ids.end(), field.id) != ids.end())
            continue;
        put16(kept, field.id);
        put16(kept, field.data.size());
        kept += field.data;
    }
    return kept;
}

std::time_t fromDosTime(std::uint16_t time, std::uint16_t date) {
    std::tm local{};
    local.tm_sec = (time & 31) * 2;
    local.tm_min = (time >> 5) & 63;
    local.tm_hour = time >> 11;
    local.tm_mday = date & 31;
    local.tm_mon = ((date >> 5) & 15) - 1;
    local.tm_year = (date >> 9) + 80;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// Reads one central record at `position` of `block`; returns its length.
std::size_t parseCentralRecord(std::string_view block, std::size_t position, ZipEntry& entry) {
    if (block.size() - position < centralHeaderSize ||
        get32(block.data() + position) != centralSignature)
        damaged("a central directory record is missing");
    const char* p = block.data() + position;
    entry.versionMadeBy = get16(p + 4);
    entry.versionNeeded = get16(p + 6);
    entry.flags = get16(p + 8);
    entry.method = get16(p + 10);
    entry.dosTime = get16(p + 12);
    entry.dosDate = get16(p + 14);
    entry.crc = get32(p + 16);
    entry.compressedSize = get32(p + 20);
    entry.size = get32(p + 24);
    const std::size_t nameLength = get16(p + 28);
    const std::size_t extraLength = get16(p + 30);
    const std::size_t commentLength = get16(p + 32);
    const std::uint16_t disk = get16(p + 34);
    entry.internalAttributes = get16(p + 36);
    entry.externalAttributes = get32(p + 38);
    entry.localOffset = get32(p + 42);
    const std::size_t length = centralHeaderSize + nameLength + extraLength + commentLength;
    if (block.size() - position < length)
        damaged("a central directory record is cut short");
    entry.name.assign(p + centralHeaderSize, nameLength);
    entry.extra.assign(p + centralHeaderSize + nameLength, extraLength);
    entry.comment.assign(p + centralHeaderSize + nameLength + extraLength, commentLength);

    bool spanned = disk != 0;
    entry.modified = fromDosTime(entry.dosTime, entry.dosDate);
    for (const ExtraField& field : splitExtra(entry.extra)) {
        if (field.id == zip64ExtraId) {
            std::string_view values = field.data;
            const auto take = [&values](std::uint64_t& target) {
                if (values.size() >= 8) {
                    target = get64(values.data());
                    values.remove_prefix(8);
                }
            };
            if (entry.size == max32)
                take(entry.size);
            if (entry.compressedSize == max32)
                take(entry.compressedSize);
            if (entry.localOffset == max32)
                take(entry.localOffset);
            if (disk == max16 && values.size() >= 4)
                spanned = get32(values.data()) != 0;
        } else if (field.id == timeExtraId && field.data.size() >= 5 && (field.data[0] & 1)) {
            entry.modified = static_cast<std::int32_t>(get32(field.data.data() + 1));
            entry.modifiedExact = true;
        }
    }
    if (spanned)
        throw ArchiverError(ExitCode::Fatal, "spanned ZIP archives (.z01, ...) are not supported");
    return length;
}

// The end record is the last signature whose comment reaches the end of `tail` (the
// last bytes of the archive); failing that, the last one whose comment fits in.
std::size_t findEndRecord(std::string_view tail) {
    const std::size_t tailLength = tail.size();
    std::size_t end = std::string::npos;
    for (std::size_t position = tailLength - endRecordSize + 1; position-- > 0;) {
        if (get32(tail.data() + position) != endSignature)
            continue;
        const std::size_t commentLength = get16(tail.data() + position + 20);
        if (position + endRecordSize + commentLength == tailLength) {
            end = position;
            break;
        }
        if (end == std::string::npos && position + endRecordSize + commentLength <= tailLength)
            end = position;
    }
    if (end == std::string::npos)
        throw ArchiverError(ExitCode::Fatal, "the file is not a ZIP archive");
    return end;
}

// Where the central directory lies and how many entries it holds, as the end record
// says, or its ZIP64 end record where a locator stands in front of it.
struct DirectoryLocation {
    std::uint64_t entryCount;
    std::uint64_t size;
    std::uint64_t offset; // as recorded, before any shift
    std::uint64_t end;    // where it ends in the file
};

DirectoryLocation locateDirectory(const PartedInput& input, std::string_view tail,
                                  std::size_t end) {
    const char* record = tail.data() + end;
    if (get16(record + 4) != 0 && get16(record + 4) != max16)
        throw ArchiverError(ExitCode::Fatal, "spanned ZIP archives (.z01, ...) are not supported");
    DirectoryLocation location{get16(record + 10), get32(record + 12), get32(record + 16),
                               input.size() - tail.size() + end};
    if (end < zip64LocatorSize || get32(record - zip64LocatorSize) != zip64LocatorSignature)
        return location;
    const std::uint64_t zip64Offset = get64(record - zip64LocatorSize + 8);
    char zip64[zip64EndSize];
    if (zip64Offset > location.end - zip64LocatorSize ||
        location.end - zip64LocatorSize - zip64Offset < zip64EndSize)
        damaged("the ZIP64 end record is out of place");
    input.readAt(zip64Offset, zip64, sizeof zip64);
    if (get32(zip64) != zip64EndSignature)
        damaged("the ZIP64 end record is missing");
    return {get64(zip64 + 32), get64(zip64 + 40), get64(zip64 + 48), zip64Offset};
}

// Each local record runs up to the next one, the last up to the central directory.
void setRecordEnds(std::vector<ZipEntry>& entries, std::uint64_t directoryStart) {
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return entries[a].localOffset < entries[b].localOffset;
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        ZipEntry& entry = entries[order[i]];
        std::uint64_t recordEnd = directoryStart;
        for (std::size_t j = i + 1; j < order.size(); ++j)
            if (entries[order[j]].localOffset > entry.localOffset) {
                recordEnd = entries[order[j]].localOffset;
                break;
            }
        if (recordEnd - entry.localOffset < localHeaderSize + entry.compressedSize)
            damaged("the data of \"" + entry.name + "\" overlaps the next entry");
        entry.recordEnd = recordEnd;
    }
}

} // namespace

ZipDirectory readZipDirectory(const PartedInput& input) {
    const std::uint64_t size = input.size();
    if (size < endRecordSize)
        throw ArchiverError(ExitCode::Fatal, "the file is not a ZIP archive");
    const std::size_t tailLength = static_cast<std::size_t>(
        std::min<std::uint64_t>(size, endRecordSize + maxZipComment + zip64LocatorSize));
    std::string tail(tailLength, '\0');
    input.readAt(size - tailLength, tail.data(), tailLength);
    const std::size_t end = findEndRecord(tail);

    ZipDirectory directory;
    const char* record = tail.data() + end;
    directory.comment.assign(
        record + endRecordSize,
        std::min<std::size_t>(get16(record + 20), tailLength - end - endRecordSize));
    const auto [entryCount, directorySize, directoryOffset, directoryEnd] =
        locateDirectory(input, tail, end);
    if (directorySize > directoryEnd)
        damaged("the central directory is out of place");
    // Bytes in front of the archive (such as the program of a self-extracting archive)
    // shift every offset.
    const std::uint64_t directoryStart = directoryEnd - directorySize;
    if (directoryOffset > directoryStart)
        damaged("the central directory is out of place");
    const std::uint64_t shift = directoryStart - directoryOffset;
    if (directorySize > (std::uint64_t{1} << 31))
        damaged("the central directory is implausibly large");

    std::string block(static_cast<std::size_t>(directorySize), '\0');
    input.readAt(directoryStart, block.data(), block.size());
    std::size_t position = 0;
    while (position < block.size()) {
        ZipEntry entry;
        position += parseCentralRecord(block, position, entry);
        entry.localOffset += shift;
        if (entry.localOffset + localHeaderSize > directoryStart)
            damaged("an entry lies outside the archive");
        directory.entries.push_back(std::move(entry));
    }
    if (directory.entries.size() != entryCount && entryCount != max16)
        damaged("the central directory does not hold the number of entries it should");
    setRecordEnds(directory.entries, directoryStart);
    return directory;
}

std::vector<ZipEntry> parseCentralRecords(std::string_view block) {
    std::vector<ZipEntry> entries;
    std::size_t position = 0;
    while (block.size() - position >= 4 && get32(block.data() + position) == centralSignature) {
        ZipEntry entry;
        position += parseCentralRecord(block, position, entry);
        entries.push_back(std::move(entry));
    }
    return entries;
}

namespace {
// One central record; the ZIP64 field holds exactly the values that do not fit their
// 32-bit places.
void appendCentralRecord(std::string& block, const ZipEntry& entry) {
    const bool bigSize = entry.size >= max32;
    const bool bigCompressed = entry.compressedSize >= max32;
    const bool bigOffset = entry.localOffset >= max32;
    std::string extra = withoutFields(entry.extra, {zip64ExtraId});
    std::uint16_t versionNeeded = entry.versionNeeded;
    if (bigSize || bigCompressed || bigOffset) {
        std::string values;
        if (bigSize)
            put64(values, entry.size);
        if (bigCompressed)
            put64(values, entry.compressedSize);
        if (bigOffset)
            put64(values, entry.localOffset);
        std::string field;
        put16(field, zip64ExtraId);
        put16(field, values.size());
        extra = field + values + extra;
        versionNeeded = std::max<std::uint16_t>(versionNeeded, 45);
    }
    put32(block, centralSignature);
    put16(block, entry.versionMadeBy);
    put16(block, versionNeeded);
    put16(block, entry.flags);
    put16(block, entry.method);
    put16(block, entry.dosTime);
    put16(block, entry.dosDate);
    put32(block, entry.crc);
    put32(block, bigCompressed ? max32 : entry.compressedSize);
    put32(block, bigSize ? max32 : entry.size);
    put16(block, entry.name.size());
    put16(block, extra.size());
    put16(block, entry.comment.size());
    put16(block, 0);
    put16(block, entry.internalAttributes);
    put32(block, entry.externalAttributes);
    put32(block, bigOffset ? max32 : entry.localOffset);
    block += entry.name;
    block += extra;
    block += entry.comment;
}

// The end of the archive after a central directory of `count` entries at
// `directoryOffset`: the ZIP64 end record and locator where a value does not fit (the
// ZIP64 record then stands at `directoryEnd`), and the end record with the comment.
std::string endRecords(std::uint64_t count, std::uint64_t directoryOffset,
                       std::uint64_t directoryEnd, std::string_view comment) {
    const std::uint64_t directorySize = directoryEnd - directoryOffset;
    std::string tail;
    const bool zip64 = count >= max16 || directorySize >= max32 || directoryOffset >= max32;
    if (zip64) {
        put32(tail, zip64EndSignature);
        put64(tail, zip64EndSize - 12);
        put16(tail, 45);
        put16(tail, 45);
        put32(tail, 0);
        put32(tail, 0);
        put64(tail, count);
        put64(tail, count);
        put64(tail, directorySize);
        put64(tail, directoryOffset);
        put32(tail, zip64LocatorSignature);
        put32(tail, 0);
        put64(tail, directoryEnd);
        put32(tail, 1);
    }
    const std::string_view kept = comment.substr(0, maxZipComment);
    put32(tail, endSignature);
    put16(tail, 0);
    put16(tail, 0);
    put16(tail, std::min<std::uint64_t>(count, max16));
    put16(tail, std::min<std::uint64_t>(count, max16));
    put32(tail, std::min<std::uint64_t>(directorySize, max32));
    put32(tail, std::min<std::uint64_t>(directoryOffset, max32));
    put16(tail, kept.size());
    tail += kept;
    return tail;
}
} // namespace

void writeCentralDirectory(ByteSink& out, std::uint64_t offset,
                           const std::vector<ZipEntry>& entries, std::string_view comment) {
    const std::uint64_t directoryOffset = offset;
    const auto put = [&out, &offset](std::string_view bytes) {
        out.write(bytes.data(), bytes.size());
        offset += bytes.size();
    };
    std::string block;
    for (const ZipEntry& entry : entries) {
        appendCentralRecord(block, entry);
        if (block.size() >= (1 << 20)) {
            put(block);
            block.clear();
        }
    }
    put(block);
    put(endRecords(entries.size(), directoryOffset, offset, comment));
}

ZipAssembler::ZipAssembler(ByteSink& out, StopRequest& stop) : out_(out), stop_(stop) {}

void ZipAssembler::put(const void* data, std::size_t size) {
    out_.write(data, size);
    offset_ += size;
}

void ZipAssembler::copyEntry(const PartedInput& from, const ZipEntry& entry,
                             std::string_view newName) {
    stop_.check();
    char header[localHeaderSize];
    from.readAt(entry.localOffset, header, sizeof header);
    if (get32(header) != localSignature)
        damaged("the local header of \"" + entry.name + "\" is missing");
    const std::size_t nameLength = get16(header + 26);
    const std::size_t extraLength = get16(header + 28);
    std::uint64_t copyFrom = entry.localOffset;

    ZipEntry copied = entry;
    copied.localOffset = offset_;
    if (!newName.empty() && newName != entry.name) {
        // A renamed entry drops the Unicode path field: it would still name the old file.
        std::string extra(extraLength, '\0');
        from.readAt(entry.localOffset + localHeaderSize + nameLength, extra.data(), extra.size());
        extra = withoutFields(extra, {unicodePathExtraId});
        std::string rewritten(header, 26);
        put16(rewritten, newName.size());
        put16(rewritten, extra.size());
        rewritten += newName;
        rewritten += extra;
        put(rewritten.data(), rewritten.size());
        copyFrom += localHeaderSize + nameLength + extraLength;
        copied.name = std::string(newName);
        copied.extra = withoutFields(copied.extra, {unicodePathExtraId});
    }
    std::vector<char> buffer(1 << 20);
    while (copyFrom < entry.recordEnd) {
        stop_.check();
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::uint64_t>(buffer.size(), entry.recordEnd - copyFrom));
        from.readAt(copyFrom, buffer.data(), chunk);
        put(buffer.data(), chunk);
        copyFrom += chunk;
    }
    written_.push_back(std::move(copied));
}

void ZipAssembler::finish(std::string_view comment) {
    writeCentralDirectory(out_, offset_, written_, comment);
}

} // namespace stowline::archiver
