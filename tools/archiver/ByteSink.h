#pragma once

#include <cstddef>
#include <cstdint>

namespace stowline::archiver {

// Where archive bytes go. Implementations throw ArchiverError when writing fails.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const void* data, std::size_t size) = 0;
};

// A sink whose bytes can be rewritten later, by their offset from the start.
class PatchableSink : public ByteSink {
public:
    virtual void patch(std::uint64_t offset, const void* data, std::size_t size) = 0;
};

} // namespace stowline::archiver
