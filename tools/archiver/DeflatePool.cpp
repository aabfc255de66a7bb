#include "archiver/DeflatePool.h"

#include "archiver/ExitCode.h"

#include <new>
#include <zlib.h>

namespace stowline::archiver {

namespace {

[[noreturn]] void deflateFailed(int status) {
    if (status == Z_MEM_ERROR)
        throw std::bad_alloc();
    throw ArchiverError(ExitCode::Fatal, "deflate failed (" + std::to_string(status) + ")");
}

} // namespace

void deflateBlock(z_stream& stream, DeflateBlock& block) {
    if (const int status = deflateReset(&stream); status != Z_OK)
        deflateFailed(status);
    if (block.dictionaryLength > 0)
        if (const int status = deflateSetDictionary(&stream, block.input.data(),
                                                    static_cast<uInt>(block.dictionaryLength));
            status != Z_OK)
            deflateFailed(status);
    unsigned char* data = block.input.data() + block.dictionaryLength;
    const auto size = static_cast<uLong>(block.size());
    // Room for the whole stream plus the flush marker, so one call normally does it all.
    block.output.resize(deflateBound(&stream, size) + 16);
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(size);
    std::size_t produced = 0;
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        stream.next_out = block.output.data() + produced;
        stream.avail_out = static_cast<uInt>(block.output.size() - produced);
        const int status = deflate(&stream, flush);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            deflateFailed(status);
        produced = block.output.size() - stream.avail_out;
        if (block.last ? status == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out > 0)
            break;
        if (stream.avail_out == 0)
            block.output.resize(block.output.size() * 2 + 64);
        else if (status == Z_BUF_ERROR)
            deflateFailed(status);
    }
    block.output.resize(produced);
    block.crc = static_cast<std::uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

DeflatePool::DeflatePool(int zlibLevel, unsigned threads) : level_(zlibLevel) {
    workers_.reserve(threads);
    try {
        for (unsigned index = 0; index < threads; ++index)
            workers_.emplace_back([this] { work(); });
    } catch (...) {
        // Fewer workers still do the work; none at all cannot.
        if (workers_.empty())
            throw;
    }
}

DeflatePool::~DeflatePool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

std::future<void> DeflatePool::submit(std::shared_ptr<DeflateBlock> block) {
    Job job{std::move(block), {}};
    std::future<void> done = job.done.get_future();
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return done;
}

void DeflatePool::work() {
    z_stream stream{};
    const int initStatus =
        deflateInit2(&stream, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        try {
            if (initStatus != Z_OK)
                deflateFailed(initStatus);
            deflateBlock(stream, *job.block);
            job.done.set_value();
        } catch (...) {
            job.done.set_exception(std::current_exception());
        }
    }
    if (initStatus == Z_OK)
        deflateEnd(&stream);
}

} // namespace stowline::archiver
