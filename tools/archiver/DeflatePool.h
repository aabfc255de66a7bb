#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct z_stream_s;

namespace stowline::archiver {

// One piece of a file, deflated on its own. `input` holds up to 32 KiB of the bytes in
// front of the piece (the dictionary, so that matches reach back as in one stream)
// followed by the piece itself.
struct DeflateBlock {
    std::vector<unsigned char> input;
    std::size_t dictionaryLength = 0;
    bool last = false; // the last piece of the file: its stream is ended
    // Results: raw deflate data (a block that is not the last ends on a byte boundary
    // after an empty stored block, so the pieces simply join), and the CRC-32 of the piece.
    std::vector<unsigned char> output;
    std::uint32_t crc = 0;

    std::size_t size() const { return input.size() - dictionaryLength; }
};

// Worker threads that deflate blocks at one zlib level. Blocks may finish in any order;
// the caller waits for each through its future.
class DeflatePool {
public:
    DeflatePool(int zlibLevel, unsigned threads);
    // Drops work not yet started and waits for the workers.
    ~DeflatePool();
    DeflatePool(const DeflatePool&) = delete;
    DeflatePool& operator=(const DeflatePool&) = delete;

    std::future<void> submit(std::shared_ptr<DeflateBlock> block);

private:
    struct Job {
        std::shared_ptr<DeflateBlock> block;
        std::promise<void> done;
    };
    void work();

    const int level_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// Deflates `block` with `stream`, a raw deflate stream (window bits -15) at the level
// wanted, which is reset first.
void deflateBlock(z_stream_s& stream, DeflateBlock& block);

} // namespace stowline::archiver
