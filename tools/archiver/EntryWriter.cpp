#include "archiver/EntryWriter.h"

#include "archiver/ExitCode.h"
#include "archiver/FileIo.h"
#include "archiver/ProgressPipe.h"
#include "archiver/Reporter.h"
#include "archiver/Selection.h"
#include "archiver/StopRequest.h"
#include "archiver/ZipDirectory.h"

#include <algorithm>
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
// Small writes are gathered up to this size before they are passed on.
constexpr std::size_t gatherLimit = 1 << 20;
// The longest data descriptor (ZIP64), held back until its entry is finished.
constexpr std::size_t longestDescriptor = 24;
constexpr std::size_t localHeaderSize = 30;
constexpr std::uint32_t descriptorSignature = 0x08074b50;
constexpr std::uint16_t lengthAtEndFlag = 1 << 3;
constexpr std::uint16_t utf8NameFlag = 1 << 11;
constexpr std::uint16_t zip64ExtraId = 0x0001;

std::uint64_t getLittleEndian(const char* p, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(p[i]);
    return value;
}

void setLittleEndian(char* p, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i, value >>= 8)
        p[i] = static_cast<char>(value & 0xFF);
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x06 ? 2
                                   : (lead >> 4) == 0x0E ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && lead < 0xC2) ||
            (length == 4 && lead > 0xF4))
            return false;
        for (std::size_t j = 1; j < length; ++j)
            if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

int openForReading(const std::string& path) {
    // Reading for a backup should not touch access times; only the owner may ask that.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME | O_NOFOLLOW);
    if (descriptor < 0 && errno == EPERM)
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return descriptor;
}

} // namespace

int zlibLevel(int level) {
    constexpr std::array<int, 6> levels{0, 1, 3, 6, 8, 9};
    return levels.at(static_cast<std::size_t>(level));
}

std::optional<std::string> openSourceFile(const SourceItem& item, FileDescriptor& file,
                                          FileState& state) {
    file = FileDescriptor(openForReading(item.path));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0)
        return "cannot open \"" + item.path + "\": " + errorText(errno) + "; left out";
    if (!S_ISREG(status.st_mode)) {
        file = FileDescriptor();
        return "\"" + item.path + "\" is no longer a file; left out";
    }
    state.size = status.st_size;
    state.modified = status.st_mtim.tv_sec;
    state.modifiedNanoseconds = status.st_mtim.tv_nsec;
    return std::nullopt;
}

EntryWriter::EntryWriter(PatchableSink& out, int level, const std::optional<std::string>& password,
                         Reporter& reporter, StopRequest& stop, ProgressPipe& progress)
    : out_(out), reporter_(reporter), stop_(stop), progress_(progress), buffer_(readBlock) {
    archive_ = archive_write_new();
    entry_ = archive_entry_new();
    if (archive_ == nullptr || entry_ == nullptr)
        throw std::bad_alloc();
    check(archive_write_set_format_zip(archive_), "ZIP format");
    check(archive_write_set_format_option(archive_, "zip", "hdrcharset", "UTF-8"), "name encoding");
    if (level == 0) {
        check(archive_write_set_format_option(archive_, "zip", "compression", "store"),
              "compression");
    } else {
        check(archive_write_set_format_option(archive_, "zip", "compression", "deflate"),
              "compression");
        check(archive_write_set_format_option(archive_, "zip", "compression-level",
                                              std::to_string(zlibLevel(level)).c_str()),
              "compression level");
    }
    if (password) {
        // Set before anything is written: a missing passphrase would only fail at the
        // first entry and leave a half-written archive.
        check(archive_write_set_format_option(archive_, "zip", "encryption", "aes256"),
              "encryption");
        check(archive_write_set_passphrase(archive_, password->c_str()), "password");
    }
    // Unblocked, so that every entry has left libarchive when it is finished.
    check(archive_write_set_bytes_per_block(archive_, 0), "block size");
    check(
        archive_write_open2(archive_, this, nullptr, &EntryWriter::writeCallback, nullptr, nullptr),
        "archive");
}

EntryWriter::~EntryWriter() {
    // An unfinished stream is abandoned: nothing more may be written to the sink. It is
    // closed all the same, its output dropped, because libarchive releases an open entry's
    // compressor and its own output buffer only when closing and would leak them otherwise.
    if (!finished_) {
        abandoned_ = true;
        archive_write_close(archive_);
    }
    archive_write_free(archive_);
    archive_entry_free(entry_);
}

long EntryWriter::writeCallback(archive* handle, void* self, const void* data, std::size_t size) {
    auto* writer = static_cast<EntryWriter*>(self);
    if (writer->abandoned_)
        return static_cast<long>(size);
    try {
        writer->receive(static_cast<const char*>(data), size);
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
        if (const std::optional<std::string> warning = openSourceFile(item, file, state)) {
            reporter_.warning(*warning);
            return AddResult::Skipped;
        }
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

    writeHeader(item, state, linkTarget);
    AddResult result = AddResult::Written;
    if (item.kind == SourceItem::Kind::File)
        result = writeFileData(item, file.get());
    check(archive_write_finish_entry(archive_), "cannot add \"" + item.path + "\"");
    finishEntry(isUtf8(item.storedName));
    phase_ = Phase::BetweenEntries;
    return result;
}

void EntryWriter::writeHeader(const SourceItem& item, const FileState& state,
                              const std::string& linkTarget) {
    phase_ = Phase::InEntry;
    entryStart_ = position();
    header_.clear();
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
}

void EntryWriter::beginDeflated(const SourceItem& item, const FileState& state) {
    stop_.check();
    FileState empty = state;
    empty.size = 0;
    writeHeader(item, empty, {});
    check(archive_write_finish_entry(archive_), "cannot add \"" + item.path + "\"");
    // For an empty file libarchive writes an empty deflate stream (two bytes) and a data
    // descriptor. Both are still held back here and make way for the real data.
    constexpr std::size_t emptyStream = 2;
    constexpr std::size_t descriptorLength = 16;
    const std::size_t headerLength = header_.size() >= localHeaderSize
                                         ? localHeaderSize +
                                               getLittleEndian(header_.data() + 26, 2) +
                                               getLittleEndian(header_.data() + 28, 2)
                                         : 0;
    if (headerLength == 0 || header_.size() != headerLength ||
        position() - entryStart_ != headerLength + emptyStream + descriptorLength ||
        pending_.size() < emptyStream + descriptorLength ||
        getLittleEndian(pending_.data() + pending_.size() - descriptorLength, 4) !=
            descriptorSignature ||
        getLittleEndian(header_.data() + 8, 2) != 8)
        throw ArchiverError(ExitCode::Fatal,
                            "cannot add \"" + item.path + "\": unexpected entry layout");
    pending_.resize(pending_.size() - emptyStream - descriptorLength);
}

void EntryWriter::appendDeflated(const void* data, std::size_t size) {
    if (size > 0)
        receive(static_cast<const char*>(data), size);
}

void EntryWriter::endDeflated(const SourceItem& item, std::uint32_t crc,
                              std::uint64_t compressedSize, std::uint64_t size) {
    if (compressedSize >= 0xFFFFFFFF || size >= 0xFFFFFFFF)
        throw ArchiverError(ExitCode::Fatal, "cannot add \"" + item.path + "\": too large");
    std::string header = header_;
    const auto flags = static_cast<std::uint16_t>(getLittleEndian(header.data() + 6, 2));
    std::uint16_t cleared = flags & lengthAtEndFlag;
    if (!isUtf8(item.storedName) && (flags & utf8NameFlag))
        cleared |= utf8NameFlag;
    setLittleEndian(header.data() + 6, flags & ~cleared, 2);
    setLittleEndian(header.data() + 14, crc, 4);
    setLittleEndian(header.data() + 18, compressedSize, 4);
    setLittleEndian(header.data() + 22, size, 4);
    patch(entryStart_, header);
    offsets_.push_back(entryStart_);
    clearedFlags_.push_back(cleared);
    deflated_.push_back(DeflatedValues{crc, compressedSize, size});
    phase_ = Phase::BetweenEntries;
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
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<std::int64_t>(declared - done, static_cast<std::int64_t>(buffer_.size())));
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
        progress_.advance(static_cast<std::uint64_t>(got));
    }
    if (!problem.empty()) {
        // The header promised `declared` bytes; the entry is filled up with zeros so the
        // archive stays sound, and the damage is reported.
        std::memset(buffer_.data(), 0, buffer_.size());
        while (done < declared) {
            const std::size_t chunk = static_cast<std::size_t>(
                std::min<std::int64_t>(declared - done, static_cast<std::int64_t>(buffer_.size())));
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

void EntryWriter::finish(std::string_view comment) {
    phase_ = Phase::InDirectory;
    check(archive_write_close(archive_), "cannot finish the archive");
    finished_ = true;
    forward(0);
    std::vector<ZipEntry> entries = parseCentralRecords(directory_);
    if (entries.size() != offsets_.size())
        throw ArchiverError(ExitCode::Fatal,
                            "the central directory does not match the entries written");
    for (std::size_t index = 0; index < entries.size(); ++index) {
        entries[index].localOffset = offsets_[index];
        entries[index].flags &= static_cast<std::uint16_t>(~clearedFlags_[index]);
        if (const std::optional<DeflatedValues>& values = deflated_[index]) {
            entries[index].crc = values->crc;
            entries[index].compressedSize = values->compressedSize;
            entries[index].size = values->size;
        }
    }
    writeCentralDirectory(out_, position(), entries, comment);
}

void EntryWriter::receive(const char* data, std::size_t size) {
    if (phase_ == Phase::InDirectory) {
        directory_.append(data, size);
        return;
    }
    if (phase_ == Phase::InEntry) {
        // Keep the local header: 30 bytes, then as many as its name and extra fields need.
        for (std::size_t taken = 0; taken < size;) {
            std::size_t wanted = localHeaderSize;
            if (header_.size() >= localHeaderSize)
                wanted += getLittleEndian(header_.data() + 26, 2) +
                          getLittleEndian(header_.data() + 28, 2);
            if (header_.size() >= wanted)
                break;
            const std::size_t step = std::min(wanted - header_.size(), size - taken);
            header_.append(data + taken, step);
            taken += step;
        }
    }
    if (size < gatherLimit) {
        pending_.append(data, size);
        if (pending_.size() >= gatherLimit)
            forward(longestDescriptor);
        return;
    }
    // A big block goes on directly, all but its tail.
    forward(0);
    out_.write(data, size - longestDescriptor);
    forwarded_ += size - longestDescriptor;
    pending_.assign(data + size - longestDescriptor, longestDescriptor);
}

void EntryWriter::forward(std::size_t keep) {
    if (pending_.size() <= keep)
        return;
    const std::size_t count = pending_.size() - keep;
    out_.write(pending_.data(), count);
    forwarded_ += count;
    pending_.erase(0, count);
}

void EntryWriter::patch(std::uint64_t offset, std::string_view bytes) {
    // Bytes already passed on are rewritten in the sink, the others where they wait.
    if (offset < forwarded_) {
        const std::size_t before =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), forwarded_ - offset));
        out_.patch(offset, bytes.data(), before);
        bytes.remove_prefix(before);
        offset += before;
    }
    if (!bytes.empty())
        pending_.replace(static_cast<std::size_t>(offset - forwarded_), bytes.size(), bytes);
}

void EntryWriter::finishEntry(bool utf8Name) {
    offsets_.push_back(entryStart_);
    clearedFlags_.push_back(0);
    deflated_.emplace_back();
    if (header_.size() < localHeaderSize)
        return;
    const auto flags = static_cast<std::uint16_t>(getLittleEndian(header_.data() + 6, 2));
    const std::size_t nameLength = getLittleEndian(header_.data() + 26, 2);
    const std::size_t extraLength = getLittleEndian(header_.data() + 28, 2);
    if (header_.size() != localHeaderSize + nameLength + extraLength)
        return;
    std::string header = header_;
    std::uint16_t cleared = 0;
    // A name that is not UTF-8 must not be marked as UTF-8: some readers would refuse the
    // whole archive. Unmarked, it is read in the old code page instead.
    if (!utf8Name && (flags & utf8NameFlag))
        cleared |= utf8NameFlag;
    if ((flags & lengthAtEndFlag) && takeDescriptor(header))
        cleared |= lengthAtEndFlag;
    if (cleared == 0)
        return;
    setLittleEndian(header.data() + 6, flags & ~cleared, 2);
    patch(entryStart_, header);
    clearedFlags_.back() = cleared;
}

bool EntryWriter::takeDescriptor(std::string& header) {
    const std::uint64_t length = position() - entryStart_;
    const std::size_t nameLength = getLittleEndian(header.data() + 26, 2);
    const std::size_t headerLength = header.size();
    // Where the local header has a ZIP64 field, the sizes go there.
    std::size_t zip64Field = 0;
    for (std::size_t at = localHeaderSize + nameLength; at + 4 <= headerLength;) {
        const std::size_t size = getLittleEndian(header.data() + at + 2, 2);
        if (getLittleEndian(header.data() + at, 2) == zip64ExtraId && size >= 16)
            zip64Field = at + 4;
        at += 4 + size;
    }
    // Anything unexpected leaves the entry as libarchive wrote it, which is valid too.
    for (const std::size_t descriptorLength : {std::size_t{16}, std::size_t{24}}) {
        if (pending_.size() < descriptorLength || length < headerLength + descriptorLength)
            continue;
        const char* descriptor = pending_.data() + pending_.size() - descriptorLength;
        const std::size_t sizeBytes = descriptorLength == 16 ? 4 : 8;
        const std::uint64_t crc = getLittleEndian(descriptor + 4, 4);
        const std::uint64_t compressed = getLittleEndian(descriptor + 8, sizeBytes);
        const std::uint64_t size = getLittleEndian(descriptor + 8 + sizeBytes, sizeBytes);
        if (getLittleEndian(descriptor, 4) != descriptorSignature ||
            compressed != length - headerLength - descriptorLength)
            continue;
        const bool big = compressed >= 0xFFFFFFFF || size >= 0xFFFFFFFF;
        if (big && zip64Field == 0)
            return false;
        setLittleEndian(header.data() + 14, crc, 4);
        setLittleEndian(header.data() + 18, zip64Field ? 0xFFFFFFFF : compressed, 4);
        setLittleEndian(header.data() + 22, zip64Field ? 0xFFFFFFFF : size, 4);
        if (zip64Field) {
            setLittleEndian(header.data() + zip64Field, size, 8);
            setLittleEndian(header.data() + zip64Field + 8, compressed, 8);
        }
        pending_.resize(pending_.size() - descriptorLength);
        return true;
    }
    return false;
}

} // namespace stowline::archiver
