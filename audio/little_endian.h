// WAV file integers are little-endian whatever the host is, so they are
// decoded byte by byte. Header-only, so the command-line tool, which sees
// only the library's five exports, sorts its inputs with the same decoding.
#pragma once

#include <cstdint>

inline std::uint32_t le16(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

inline std::uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }
