#pragma once

#include <cstdint>
#include <span>

#include "common/frame/DecodedPicture.h"

namespace dvr::frame {

// Decodes raw JPEG 2000 codestreams from memory. One decoder serves many pictures; it is not shared
// between threads (two threads use two decoders).
class J2kDecoder {
public:
    J2kDecoder() = default;
    J2kDecoder(const J2kDecoder&) = delete;
    J2kDecoder& operator=(const J2kDecoder&) = delete;

    // Reads the codestream's declared size first and refuses anything wider than 720 or taller than 576
    // before decoding. On success fills out.pixels, out.bitmapInfo, out.width and out.height and returns
    // true. On failure (truncated, corrupt, too large, unusable components) returns false and leaves
    // width and height at 0.
    bool decode(std::span<const uint8_t> codestream, DecodedPicture& out);
};

}  // namespace dvr::frame
