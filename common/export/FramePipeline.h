#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/frame/DateTime.h"
#include "common/frame/JpegEncoder.h"

namespace dvr::exporting {

// Pixels of one picture (or a rectangle of it): B, G, R (channels 3) or B, G, R, X (channels 4) per
// pixel, rows top-down strideBytes apart.
struct PixelSource {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    size_t strideBytes = 0;
    int channels = 4;
};

// Scales a picture smoothly to width x height B, G, R pixels (rows of width * 3 bytes): when shrinking,
// each output pixel is the mean of the source area it covers; when enlarging, a linear interpolation.
// Equal sizes copy the pixels unchanged.
class Scaler {
public:
    void scale(const PixelSource& source, int width, int height, std::vector<uint8_t>& out);

private:
    struct Taps {
        int sourceSize = -1;
        int targetSize = -1;
        std::vector<int> first;       // first source index per target index
        std::vector<int> count;       // number of taps per target index
        std::vector<int32_t> weight;  // fixed point, the same number of slots per target index
    };
    static void prepare(Taps& taps, int sourceSize, int targetSize);
    Taps m_horizontal;
    Taps m_vertical;
    std::vector<uint8_t> m_rows;  // the horizontally scaled rows
};

// What the stamp shows: the time, bottom-right, and (player exports) the channel, bottom-left.
struct Stamp {
    DateTime time;
    int channel = -1;  // 0-based; -1 draws no channel number
    int textHeightPx = 20;
};

// Draws stamp texts into B, G, R pixels: bold sans text of the given height, white with a one-pixel
// black outline; the time at x = width - (length - 1) x the width of its first character,
// y = height - text height; the channel number ("%02d", channel + 1) at x = 20 on the same line.
class Stamper {
public:
    virtual ~Stamper() = default;
    virtual void draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) = 0;
};

// Stamp text height of player exports: 20 pixels, or 25 once a frame wider than 360 pixels was exported.
constexpr int stampTextHeight(bool widerThan360Seen) {
    return widerThan360Seen ? 25 : 20;
}

// One export frame: scale to the output size, stamp, compress to JPEG at quality 70 in memory.
// One pipeline per thread; it keeps its buffers.
class FramePipeline {
public:
    static constexpr int kJpegQuality = 70;

    // stamper may be null: frames are then never stamped.
    explicit FramePipeline(Stamper* stamper = nullptr) : m_stamper(stamper) {}

    // The JPEG bytes (valid until the next call), or empty when compression failed: such a frame is
    // skipped. stamp null: no stamp.
    std::span<const uint8_t> encodeFrame(const PixelSource& source, int width, int height,
                                         const Stamp* stamp);

    // The scaled and stamped pixels of the last frame (B, G, R, rows of width * 3 bytes).
    const std::vector<uint8_t>& pixels() const { return m_pixels; }

private:
    Stamper* m_stamper;
    Scaler m_scaler;
    std::vector<uint8_t> m_pixels;
    frame::JpegEncoder m_encoder;
};

}  // namespace dvr::exporting
