#pragma once

// Text from outside, held to a number of bytes without splitting a UTF-8 character.

#include <cstddef>

// How many of the size bytes at text to keep so that at most longest remain and the cut falls
// where a character begins: before the byte that follows it, unless that is a continuation byte.
// Text that is no UTF-8 at all keeps nothing rather than reading before its start.
inline std::size_t Utf8CutLength(const char* text, std::size_t size, std::size_t longest) {
    if (size <= longest) return size;
    std::size_t cut = longest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}
