#pragma once

#include "archiver/DeflatePool.h"
#include "archiver/EntryWriter.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace stowline::archiver {

class ProgressPipe;
class Reporter;
class StopRequest;
struct FileState;
struct SourceItem;

// Adds files deflated on worker threads. Files are read in order on the calling thread
// and cut into blocks of `blockSize` bytes; the blocks are deflated by the pool as raw
// deflate pieces that join into one stream per file (each primed with the 32 KiB in
// front of it), and the one writer puts entries and blocks into the archive in the
// original order, so the archive is the same whatever the number of threads.
//
// Memory stays bounded whatever the input: at most `blocksInFlight` blocks are read and
// not yet written, each holding its input (1 MiB + 32 KiB) and its output (about as
// much), which with 8 threads is under 40 MiB.
//
// Folders, links and files too large for records without ZIP64 go through the writer's
// own path, in their place. Warnings come out in the order of the entries too.
class ParallelPacker {
public:
    static constexpr std::size_t blockSize = std::size_t{1} << 20;
    static constexpr std::size_t dictionarySize = std::size_t{32} << 10;

    using Done = std::function<void(std::size_t index, AddResult result)>;

    ParallelPacker(EntryWriter& writer, int zlibLevel, unsigned threads, Reporter& reporter,
                   StopRequest& stop, ProgressPipe& progress);
    ~ParallelPacker();
    ParallelPacker(const ParallelPacker&) = delete;
    ParallelPacker& operator=(const ParallelPacker&) = delete;

    // Adds `items[index]` for every index in `order`, in that order; `done` learns how
    // each fared once it is written.
    void add(const std::vector<SourceItem>& items, const std::vector<std::size_t>& order,
             const Done& done);

    std::size_t blocksInFlight() const { return maxInFlight_; }

private:
    struct Piece {
        enum class Kind { Whole, Begin, Block, End, Skip } kind;
        std::size_t index = 0;
        std::shared_ptr<DeflateBlock> block;
        std::future<void> finished;
        AddResult result = AddResult::Written;
        std::vector<std::string> warnings;
        std::shared_ptr<const FileState> state; // Begin: the file as it was opened
    };

    void readFile(const SourceItem& item, std::size_t index);
    void makeRoom();
    void writeFront();
    void drain();

    EntryWriter& writer_;
    Reporter& reporter_;
    StopRequest& stop_;
    ProgressPipe& progress_;
    DeflatePool pool_;
    std::size_t maxInFlight_;
    std::size_t inFlight_ = 0;
    std::deque<Piece> pieces_;
    const std::vector<SourceItem>* items_ = nullptr;
    const Done* done_ = nullptr;
    // The entry being written.
    std::uint32_t crc_ = 0;
    std::uint64_t compressed_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace stowline::archiver
