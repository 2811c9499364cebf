#pragma once

#include <cstdint>

namespace dvr::frame {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where a channel's picture lies inside a decoded picture (top-down pixel terms). Single and full-height
// pictures: the whole picture. Pair pictures: even channel left half, odd channel right half. Quad
// pictures: channel 4k+0 top-left, 4k+1 top-right, 4k+2 bottom-left, 4k+3 bottom-right.
PixelRect channelSourceRect(uint32_t pictureFlags, int channel, int pictureWidth, int pictureHeight);

// The first channel a picture carries when `channel` is one of its channels (same as alignChannel).
int baseChannel(int channel, uint32_t pictureFlags);

// Number of channels a picture of these flags carries: 2 for pair, 4 for quad, else 1.
int channelsPerPicture(uint32_t pictureFlags);

}  // namespace dvr::frame
