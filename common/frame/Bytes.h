#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dvr::frame {

// Little-endian field access. The caller guarantees that offset + width lies inside the span.
inline uint32_t readLe32(std::span<const uint8_t> b, size_t offset) {
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
           uint32_t(b[offset + 3]) << 24;
}

inline uint16_t readLe16(std::span<const uint8_t> b, size_t offset) {
    return uint16_t(b[offset] | b[offset + 1] << 8);
}

inline void writeLe32(std::span<uint8_t> b, size_t offset, uint32_t v) {
    b[offset] = uint8_t(v);
    b[offset + 1] = uint8_t(v >> 8);
    b[offset + 2] = uint8_t(v >> 16);
    b[offset + 3] = uint8_t(v >> 24);
}

inline void writeLe16(std::span<uint8_t> b, size_t offset, uint16_t v) {
    b[offset] = uint8_t(v);
    b[offset + 1] = uint8_t(v >> 8);
}

// Number of bytes the byte-order turn of `count` bytes produces: count rounded up to a multiple of 4.
constexpr size_t turnedSize(size_t count) {
    return (count + 3) & ~size_t(3);
}

// Turns the byte order of every 4-byte group of src into dst (b0 b1 b2 b3 -> b3 b2 b1 b0). A short last
// group is zero-padded to 4 bytes first. Returns turnedSize(src.size()); dst must hold at least that many
// bytes, otherwise nothing is written and 0 is returned. src and dst may be the same buffer.
size_t turnByteOrder(std::span<const uint8_t> src, std::span<uint8_t> dst);

}  // namespace dvr::frame
