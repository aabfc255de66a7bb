#include "archiver/ParallelPacker.h"

#include "archiver/FileIo.h"
#include "archiver/ProgressPipe.h"
#include "archiver/Reporter.h"
#include "archiver/Selection.h"
#include "archiver/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace stowline::archiver {

namespace {

// Larger files keep the writer's own path, whose records can take ZIP64 sizes.
constexpr std::int64_t largestDeflated = std::int64_t{0xF0000000};

} // namespace

ParallelPacker::ParallelPacker(EntryWriter& writer, int zlibLevel, unsigned threads,
                               Reporter& reporter, StopRequest& stop, ProgressPipe& progress)
    : writer_(writer), reporter_(reporter), stop_(stop), progress_(progress),
      pool_(zlibLevel, threads), maxInFlight_(2 * std::size_t{threads} + 2) {}

ParallelPacker::~ParallelPacker() = default;

void ParallelPacker::add(const std::vector<SourceItem>& items,
                         const std::vector<std::size_t>& order, const Done& done) {
    items_ = &items;
    done_ = &done;
    for (const std::size_t index : order) {
        stop_.check();
        const SourceItem& item = items[index];
        if (item.kind != SourceItem::Kind::File) {
            pieces_.push_back({Piece::Kind::Whole, index, {}, {}, {}, {}, {}});
            continue;
        }
        if (item.state.size >= largestDeflated) {
            // Read by the writer itself, which counts its progress: nothing else may be
            // under way then.
            drain();
            progress_.beginItem(static_cast<std::uint64_t>(item.state.size));
            done(index, writer_.add(item));
            progress_.endItem();
            continue;
        }
        readFile(item, index);
    }
    drain();
}

void ParallelPacker::readFile(const SourceItem& item, std::size_t index) {
    FileDescriptor file;
    FileState state = item.state;
    if (std::optional<std::string> warning = openSourceFile(item, file, state)) {
        pieces_.push_back({Piece::Kind::Skip, index, {}, {}, AddResult::Skipped, {*warning}, {}});
        return;
    }
    if (state.size >= largestDeflated) {
        // It grew past the limit since it was selected.
        file.close();
        drain();
        progress_.beginItem(static_cast<std::uint64_t>(item.state.size));
        (*done_)(index, writer_.add(item));
        progress_.endItem();
        return;
    }
    progress_.beginItem(static_cast<std::uint64_t>(item.state.size));
    const int descriptor = file.get();
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    pieces_.push_back(
        {Piece::Kind::Begin, index, {}, {}, {}, {}, std::make_shared<const FileState>(state)});

    const std::int64_t declared = state.size;
    std::int64_t done = 0;
    std::string problem;
    std::shared_ptr<DeflateBlock> previous;
    do {
        stop_.check();
        makeRoom();
        auto block = std::make_shared<DeflateBlock>();
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::int64_t>(declared - done, blockSize));
        if (previous) {
            const std::size_t keep = std::min(previous->size(), dictionarySize);
            block->dictionaryLength = keep;
            block->input.reserve(keep + chunk);
            block->input.assign(previous->input.end() - static_cast<std::ptrdiff_t>(keep),
                                previous->input.end());
        }
        block->input.resize(block->dictionaryLength + chunk);
        std::size_t filled = 0;
        while (filled < chunk && problem.empty()) {
            const ssize_t got = ::read(
                descriptor, block->input.data() + block->dictionaryLength + filled, chunk - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                problem = got < 0 ? errorText(errno) : "the file became shorter while it was read";
                break;
            }
            filled += static_cast<std::size_t>(got);
            progress_.advance(static_cast<std::uint64_t>(got));
        }
        // The header promised `declared` bytes: what could not be read is zeros, so the
        // archive stays sound, and the damage is reported.
        std::fill(block->input.begin() +
                      static_cast<std::ptrdiff_t>(block->dictionaryLength + filled),
                  block->input.end(), 0);
        done += static_cast<std::int64_t>(chunk);
        block->last = done == declared;
        Piece piece{Piece::Kind::Block, index, block, pool_.submit(block), {}, {}, {}};
        ++inFlight_;
        pieces_.push_back(std::move(piece));
        previous = std::move(block);
    } while (done < declared);

    Piece end{Piece::Kind::End, index, {}, {}, AddResult::Written, {}, {}};
    if (!problem.empty()) {
        end.result = AddResult::Changed;
        end.warnings.push_back("\"" + item.path + "\" could not be read whole (" + problem +
                               "); its archived copy is incomplete");
    } else {
        struct stat after {};
        if (::fstat(descriptor, &after) != 0 || after.st_size != declared ||
            after.st_mtim.tv_sec != state.modified ||
            after.st_mtim.tv_nsec != state.modifiedNanoseconds)
            end.result = AddResult::Changed;
    }
    pieces_.push_back(std::move(end));
    progress_.endItem();
}

// Writes what is ready until another block may be read.
void ParallelPacker::makeRoom() {
    while (inFlight_ >= maxInFlight_)
        writeFront();
}

void ParallelPacker::drain() {
    while (!pieces_.empty())
        writeFront();
}

void ParallelPacker::writeFront() {
    Piece piece = std::move(pieces_.front());
    pieces_.pop_front();
    const SourceItem& item = (*items_)[piece.index];
    switch (piece.kind) {
    case Piece::Kind::Whole:
        (*done_)(piece.index, writer_.add(item));
        break;
    case Piece::Kind::Skip:
        for (const std::string& warning : piece.warnings)
            reporter_.warning(warning);
        (*done_)(piece.index, AddResult::Skipped);
        break;
    case Piece::Kind::Begin:
        writer_.beginDeflated(item, *piece.state);
        crc_ = 0;
        compressed_ = 0;
        size_ = 0;
        break;
    case Piece::Kind::Block: {
        --inFlight_;
        piece.finished.get();
        const DeflateBlock& block = *piece.block;
        writer_.appendDeflated(block.output.data(), block.output.size());
        crc_ = static_cast<std::uint32_t>(
            crc32_combine(crc_, block.crc, static_cast<z_off_t>(block.size())));
        compressed_ += block.output.size();
        size_ += block.size();
        break;
    }
    case Piece::Kind::End:
        writer_.endDeflated(item, crc_, compressed_, size_);
        for (const std::string& warning : piece.warnings)
            reporter_.warning(warning);
        (*done_)(piece.index, piece.result);
        break;
    }
}

} // namespace stowline::archiver
