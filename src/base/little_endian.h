#pragma once

// Reads the fixed layouts that come from outside (the service's record, an icon file's
// directory) whatever the host's byte order.

#include <cstdint>

// The unsigned number in the width bytes (at most 8) at at, least significant first.
inline std::uint64_t LittleEndian(const std::uint8_t* at, int width) {
    std::uint64_t value = 0;
    while (width-- > 0) value = value << 8 | at[width];
    return value;
}
