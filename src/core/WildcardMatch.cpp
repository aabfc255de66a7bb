#include "core/WildcardMatch.h"

#include <cstddef>

namespace stowline::core {

namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Classic backtracking match: on a mismatch the last '*' takes one more character.
bool matchPlain(std::string_view mask, std::string_view text) {
    std::size_t m = 0;
    std::size_t t = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starText = t;
        } else if (m < mask.size() && mask[m] == '?') {
            // One character, however many bytes UTF-8 uses for it.
            ++m;
            ++t;
            while (t < text.size() && isContinuationByte(text[t]))
                ++t;
        } else if (m < mask.size() && mask[m] == text[t]) {
            ++m;
            ++t;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool wildcardMatch(std::string_view mask, std::string_view text) {
    if (matchPlain(mask, text))
        return true;
    // "*.*" is every name, with or without a dot.
    if (mask.size() >= 3 && mask.substr(mask.size() - 3) == "*.*")
        return matchPlain(mask.substr(0, mask.size() - 2), text);
    return false;
}

bool hasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

} // namespace stowline::core
