#pragma once

#include <cstddef>

namespace stowline::archiver {

// Where archive bytes go. Implementations throw ArchiverError when writing fails.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const void* data, std::size_t size) = 0;
};

} // namespace stowline::archiver
