#pragma once

#include "archiver/ByteSink.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

struct archive;
struct archive_entry;

namespace stowline::archiver {

class Reporter;
class StopRequest;
struct SourceItem;

// How one source item fared.
enum class AddResult {
    Skipped, // could not be opened; nothing was written for it
    Written, // archived as it was when selected
    Changed, // archived, but the file changed while it was read (not removable)
};

// Writes new entries as a ZIP stream through libarchive: deflate at the level of -m1 to
// -m5 (stored with -m0), AES-256 for the contents when a password is given.
class EntryWriter {
public:
    EntryWriter(ByteSink& out, int level, const std::optional<std::string>& password,
                Reporter& reporter, StopRequest& stop);
    ~EntryWriter();
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    AddResult add(const SourceItem& item);
    // Writes the central directory; the stream is complete afterwards.
    void finish();

private:
    static long writeCallback(archive* handle, void* self, const void* data, std::size_t size);
    [[noreturn]] void fail(const std::string& what);
    void check(int status, const std::string& what);
    AddResult writeFileData(const SourceItem& item, int descriptor);

    ByteSink& out_;
    Reporter& reporter_;
    StopRequest& stop_;
    archive* archive_ = nullptr;
    archive_entry* entry_ = nullptr;
    std::exception_ptr sinkError_;
    std::vector<char> buffer_;
    bool finished_ = false;
};

} // namespace stowline::archiver
