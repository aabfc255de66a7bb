// Compression on worker threads: the blocks of one file join into a sound deflate stream,
// and archives made on several threads hold exactly what the one-thread path stores.

#include "ProcessHarness.h"

#include "archiver/DeflatePool.h"

#include <cstring>
#include <fstream>
#include <zlib.h>

namespace stowline::archiver::testing {
namespace {

// Inflates a raw deflate stream that must end exactly where `data` ends.
std::string inflateRaw(const std::vector<unsigned char>& data) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
    std::string out;
    std::vector<unsigned char> buffer(1 << 16);
    stream.next_in = const_cast<unsigned char*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - stream.avail_out);
    }
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&stream);
    return out;
}

TEST(DeflateBlocks, PiecesJoinIntoOneStreamWithTheWholeCrc) {
    // Text that repeats across the block borders, then noise that does not compress (its
    // output outgrows the input).
    std::string input;
    for (int line = 0; input.size() < 700000; ++line)
        input += "line " + std::to_string(line % 977) + " of the log\n";
    std::uint32_t seed = 7;
    while (input.size() < 1000000) {
        seed = seed * 1103515245u + 12345u;
        input += static_cast<char>(seed >> 24);
    }
    struct Case {
        const char* what;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {"one piece", {input.size()}},
        {"even pieces", {250000, 250000, 250000, 250000}},
        {"a border inside the noise", {100, 800000, 199900}},
        {"an empty file", {}},
    };
    for (const Case& c : cases) {
        DeflatePool pool(6, 3);
        std::vector<std::shared_ptr<DeflateBlock>> blocks;
        std::vector<std::future<void>> done;
        std::size_t at = 0;
        std::vector<std::size_t> pieces = c.pieces.empty() ? std::vector<std::size_t>{0} : c.pieces;
        for (std::size_t index = 0; index < pieces.size(); ++index) {
            auto block = std::make_shared<DeflateBlock>();
            block->dictionaryLength = std::min<std::size_t>(at, 32768);
            block->input.assign(input.begin() +
                                    static_cast<std::ptrdiff_t>(at - block->dictionaryLength),
                                input.begin() + static_cast<std::ptrdiff_t>(at + pieces[index]));
            block->last = index + 1 == pieces.size();
            at += pieces[index];
            done.push_back(pool.submit(block));
            blocks.push_back(block);
        }
        std::vector<unsigned char> stream;
        uLong crc = crc32(0, nullptr, 0);
        for (std::size_t index = 0; index < blocks.size(); ++index) {
            done[index].get();
            stream.insert(stream.end(), blocks[index]->output.begin(), blocks[index]->output.end());
            crc =
                crc32_combine(crc, blocks[index]->crc, static_cast<z_off_t>(blocks[index]->size()));
        }
        const std::string whole = input.substr(0, at);
        EXPECT_EQ(inflateRaw(stream), whole) << c.what;
        EXPECT_EQ(crc, crc32(0, reinterpret_cast<const Bytef*>(whole.data()),
                             static_cast<uInt>(whole.size())))
            << c.what;
    }
}

class Threads : public ArchiverProcess {
protected:
    void SetUp() override {
        ArchiverProcess::SetUp();
        std::string log;
        for (int line = 0; log.size() < 2600000; ++line)
            log += "2025.03.07 backup step " + std::to_string(line % 1231) + " done\n";
        write("src/big.log", log);                         // three blocks, the last one short
        write("src/exact.txt", std::string(1 << 20, 'x')); // exactly one full block
        writeNoise("src/media/noise.bin", 1500000);
        write("src/empty.txt", "");
        for (int index = 0; index < 40; ++index)
            write("src/notes/n" + std::to_string(index) + ".txt",
                  std::string(static_cast<std::size_t>(index * 37), 'a' + index % 26));
        fs::create_directories(path("src/hollow"));
        fs::create_symlink("big.log", path("src/link"));
    }

    // zipinfo's line per entry (permissions, size, kind, method, exact time, name),
    // without the archive's name and size and the summary, which holds the compressed sizes.
    std::string entryLines(const std::string& archive) const {
        const ProcessResult info = tool({"/usr/bin/zipinfo", "-T", archive});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        std::string lines;
        std::size_t start = 0;
        while (start < info.out.size()) {
            const std::size_t end = info.out.find('\n', start);
            const std::string line = info.out.substr(start, end - start);
            if (line.rfind("Archive:", 0) != 0 && line.rfind("Zip file size:", 0) != 0 &&
                line.find(" files, ") == std::string::npos)
                lines += line + "\n";
            start = end + 1;
        }
        return lines;
    }

    // The archive as one file: a volume set is joined first.
    std::string whole(const std::string& folder, const std::string& name) {
        if (fs::exists(path(folder + "/" + name)))
            return path(folder + "/" + name);
        std::string joined;
        for (const std::string& part : filesIn(path(folder)))
            joined += read(path(folder + "/" + part));
        return write(folder + "-joined.zip", joined);
    }

    // Every file below `folder` with its contents and time.
    std::map<std::string, std::pair<std::string, long>> tree(const std::string& folder) const {
        std::map<std::string, std::pair<std::string, long>> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string name = entry.path().lexically_relative(folder).string();
            struct stat status {};
            ::lstat(entry.path().c_str(), &status);
            files[name] = {entry.is_regular_file() && !entry.is_symlink() ? read(entry.path())
                                                                          : std::string(),
                           entry.is_directory() ? 0L : static_cast<long>(status.st_mtime)};
        }
        return files;
    }
};

TEST_F(Threads, ArchivesListAndExtractAsOnOneThread) {
    struct Case {
        const char* what;
        std::vector<std::string> switches;
        std::string password;
    };
    const Case cases[] = {
        {"default level", {}, {}},
        {"best", {"-m5"}, {}},
        {"fastest, in volumes", {"-m1", "-v400k"}, {}},
        {"encrypted", {"-hpSecret1"}, "Secret1"},
    };
    const auto source = tree(path("src"));
    for (const Case& c : cases) {
        std::string reference;
        std::string referenceBytes;
        for (const char* threads : {"-mt1", "-mt2", "-mt7"}) {
            const std::string folder =
                std::string("out") + threads + "-" + std::to_string(&c - cases);
            std::vector<std::string> line{"a", "-r", "-ep1", threads};
            line.insert(line.end(), c.switches.begin(), c.switches.end());
            line.push_back(path(folder + "/docs.zip"));
            line.push_back(path("src"));
            const ProcessResult result = stowarc(line);
            ASSERT_EQ(result.exitCode, 0) << c.what << threads << result.err;
            const std::string archive = whole(folder, "docs.zip");
            // unzip reads no AES: the encrypted archives are read by bsdtar alone.
            const bool unzipReads = c.password.empty();
            if (unzipReads) {
                EXPECT_EQ(tool({"/usr/bin/unzip", "-tq", archive}).exitCode, 0)
                    << c.what << threads;
            }
            const std::string lines = entryLines(archive);
            if (reference.empty())
                reference = lines;
            EXPECT_EQ(lines, reference) << c.what << threads;
            // The number of threads does not change a single byte of what is written
            // (encryption salts every archive anew).
            if (c.password.empty() && std::string(threads) != "-mt1") {
                if (referenceBytes.empty())
                    referenceBytes = read(archive);
                EXPECT_TRUE(read(archive) == referenceBytes) << c.what << threads;
            }
            for (const bool withUnzip : {false, true}) {
                if (withUnzip && !unzipReads)
                    continue;
                const std::string target = path(folder + (withUnzip ? "-unzip" : "-bsdtar"));
                fs::create_directories(target);
                const ProcessResult extract =
                    withUnzip ? tool({"/usr/bin/unzip", "-q", archive, "-d", target})
                              : tool({"/usr/bin/bsdtar", "-xf", archive, "-C", target,
                                      "--passphrase", c.password.empty() ? "x" : c.password});
                ASSERT_EQ(extract.exitCode, 0) << c.what << threads << extract.err;
                const auto files = tree(target + "/src");
                std::string differing;
                for (const auto& [name, file] : source)
                    // unzip here is seen to leave links behind as empty files at times;
                    // links are checked in bsdtar's extraction.
                    if (!(withUnzip && name == "link") &&
                        (!files.count(name) || files.at(name) != file))
                        differing += " " + name;
                EXPECT_TRUE(files.size() == source.size() && differing.empty())
                    << c.what << threads << (withUnzip ? " unzip:" : " bsdtar:") << differing;
            }
        }
    }
}

} // namespace
} // namespace stowline::archiver::testing
