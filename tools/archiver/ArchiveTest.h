#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace stowline::archiver {

class PartedInput;
class StopRequest;

// Reads every entry that `wanted` accepts through libarchive, decrypting and unpacking
// it and checking its CRC (or, for AES entries, its authentication code). Returns the
// number of entries tested. Throws ArchiverError(Password) when an encrypted entry has
// no password or a wrong one, (Checksum) when data or structure are damaged.
std::size_t testArchive(const PartedInput& input, const std::optional<std::string>& password,
                        const std::function<bool(std::string_view)>& wanted, StopRequest& stop);

// Whether `password` opens the encrypted entry `name`; only its first block is read.
bool passwordOpens(const PartedInput& input, const std::string& password, const std::string& name,
                   StopRequest& stop);

} // namespace stowline::archiver
