#pragma once

#include "archiver/ByteSink.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct archive;
struct archive_entry;

namespace stowline::archiver {

class FileDescriptor;
class ProgressPipe;
class Reporter;
class StopRequest;
struct FileState;
struct SourceItem;

// The zlib level of -m1 (fastest) to -m5 (best); -m3 is zlib's own default.
int zlibLevel(int level);

// Opens the file of `item` for reading and takes its current size and time into `state`.
// Returns the warning to give when it cannot be archived (nothing is open then).
std::optional<std::string> openSourceFile(const SourceItem& item, FileDescriptor& file,
                                          FileState& state);

// How one source item fared.
enum class AddResult {
    Skipped, // could not be opened; nothing was written for it
    Written, // archived as it was when selected
    Changed, // archived, but the file changed while it was read (not removable)
};

// Writes new entries as a ZIP stream through libarchive: deflate at the level of -m1 to
// -m5 (stored with -m0), AES-256 for the contents when a password is given.
//
// libarchive writes a stream, so it ends every compressed entry with a data descriptor
// (16 bytes) and leaves the sizes in the local header empty. As each entry is finished,
// its descriptor is dropped and its values are written into the local header, which is
// rewritten in place; the central directory is then written here, with the offsets that
// result. The archive comes out as a seeking writer would make it, without a second pass.
// A name that is not valid UTF-8 loses its UTF-8 mark the same way.
class EntryWriter {
public:
    // Every byte read from a file is counted in `progress`.
    EntryWriter(PatchableSink& out, int level, const std::optional<std::string>& password,
                Reporter& reporter, StopRequest& stop, ProgressPipe& progress);
    ~EntryWriter();
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    AddResult add(const SourceItem& item);

    // An entry whose data were deflated elsewhere (a raw deflate stream): the header
    // comes from beginDeflated, the stream in any number of pieces, and endDeflated puts
    // the CRC and sizes into the local header and the central record. `state` is the
    // file as it was opened. Only for files below 4 GiB, whose records need no ZIP64.
    void beginDeflated(const SourceItem& item, const FileState& state);
    void appendDeflated(const void* data, std::size_t size);
    void endDeflated(const SourceItem& item, std::uint32_t crc, std::uint64_t compressedSize,
                     std::uint64_t size);
    // Writes the central directory and the end record with `comment`; the stream is
    // complete afterwards.
    void finish(std::string_view comment);

private:
    enum class Phase { BetweenEntries, InEntry, InDirectory };

    static long writeCallback(archive* handle, void* self, const void* data, std::size_t size);
    void writeHeader(const SourceItem& item, const FileState& state, const std::string& linkTarget);
    void receive(const char* data, std::size_t size);
    void forward(std::size_t keep);
    void patch(std::uint64_t offset, std::string_view bytes);
    void finishEntry(bool utf8Name);
    bool takeDescriptor(std::string& header);
    std::uint64_t position() const { return forwarded_ + pending_.size(); }
    [[noreturn]] void fail(const std::string& what);
    void check(int status, const std::string& what);
    AddResult writeFileData(const SourceItem& item, int descriptor);

    PatchableSink& out_;
    Reporter& reporter_;
    StopRequest& stop_;
    ProgressPipe& progress_;
    archive* archive_ = nullptr;
    archive_entry* entry_ = nullptr;
    std::exception_ptr sinkError_;
    std::vector<char> buffer_;
    bool finished_ = false;
    bool abandoned_ = false; // output is dropped, not written to the sink

    Phase phase_ = Phase::BetweenEntries;
    std::string pending_;                // received and not yet passed on (always the last bytes)
    std::uint64_t forwarded_ = 0;        // bytes passed on to `out_`
    std::uint64_t entryStart_ = 0;       // where the current entry's local header begins
    std::string header_;                 // a copy of the current entry's local header
    std::string directory_;              // libarchive's central directory, replaced by ours
    std::vector<std::uint64_t> offsets_; // of every local header, in writing order
    std::vector<std::uint16_t> clearedFlags_; // flags taken off that entry's headers
    struct DeflatedValues {
        std::uint32_t crc;
        std::uint64_t compressedSize;
        std::uint64_t size;
    };
    // For every entry: the values of data deflated elsewhere, to go into its central record.
    std::vector<std::optional<DeflatedValues>> deflated_;
};

} // namespace stowline::archiver
