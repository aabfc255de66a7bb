#pragma once

#include <string_view>

namespace stowline::core {

// The name-mask rule shared by the program and the bundled archiver (plain C++, no Qt):
// '*' stands for any run of characters, '/' included, and '?' for one character (one
// UTF-8 character, however many bytes). A mask ending in "*.*" also matches names
// without a dot, as "*" does. Matching is case-sensitive, like the file system.
bool wildcardMatch(std::string_view mask, std::string_view text);
bool hasWildcards(std::string_view text);

} // namespace stowline::core
