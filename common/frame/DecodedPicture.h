#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/frame/FrameLimits.h"

namespace dvr::frame {

// A decoded picture: 32-bit pixels B, G, R, X (X = 255), rows top-down, rows of width * 4 bytes, and its
// 44-byte description (40-byte bitmap-info header with biHeight = -height and the image size at bytes
// 20-23, then 4 zero bytes). The pixel vector is sized for the largest picture once and never shrinks,
// so decoding into it allocates nothing.
struct DecodedPicture {
    DecodedPicture() : pixels(kMaxPictureBytes) {}
    // Without pixels yet: the first decode into it sizes them.
    struct Unsized {};
    explicit DecodedPicture(Unsized) {}

    std::vector<uint8_t> pixels;
    std::array<uint8_t, kBitmapInfoBytes> bitmapInfo{};
    int width = 0;
    int height = 0;
    // Halvings below the codestream's full resolution (0: full size) and that full size: a reduced
    // picture covers the same scene in fewer pixels, and its channel marks are read where the
    // full-size offsets fall.
    int reduction = 0;
    int fullWidth = 0;
    int fullHeight = 0;

    size_t stride() const { return size_t(width) * 4; }
    size_t imageBytes() const { return size_t(width) * 4 * size_t(height); }
    std::span<const uint8_t> image() const { return {pixels.data(), imageBytes()}; }
    std::span<uint8_t> image() { return {pixels.data(), imageBytes()}; }
    bool empty() const { return width == 0 || height == 0; }
};

// Fills the 44-byte description of a BGRX top-down picture of the given size.
std::array<uint8_t, kBitmapInfoBytes> makeBitmapInfo(int width, int height);

}  // namespace dvr::frame
