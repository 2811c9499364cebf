#pragma once

#include <cstdint>

#include "common/frame/ChannelCode.h"
#include "common/frame/DecodedPicture.h"
#include "common/frame/SourceRect.h"

namespace dvr::frame {

// The size in pixels a channel's picture is drawn at; an empty size asks for full resolution (one pane,
// zoom, stills, prints, exports, the edit window).
struct ShownSize {
    int width = 0;
    int height = 0;
    bool fullSize() const { return width <= 0 || height <= 0; }
    friend bool operator==(const ShownSize&, const ShownSize&) = default;
};

// Reductions beyond two halvings shrink the channel marks below the few pixels they are read from.
inline constexpr int kMaxReduction = 2;
// Pictures up to this height are single fields: they are drawn at twice their height.
inline constexpr int kMaxFieldHeight = 288;

// The number of halvings (0 to kMaxReduction) at which every channel of a picture of these flags and
// full size still covers `shown` in both directions as drawn (a field's height counting twice).
int reductionFor(uint32_t pictureFlags, int pictureWidth, int pictureHeight, ShownSize shown);

// Whether `picture`, decoded some halvings smaller, no longer covers `shown` (the panes grew since the
// decode began): it is to be decoded again at the size `shown` needs.
bool decodedTooSmall(uint32_t pictureFlags, const DecodedPicture& picture, ShownSize shown);

// Width or height after `reduction` halvings, as the decoder rounds them (up).
constexpr int reducedExtent(int extent, int reduction) {
    return (extent + (1 << reduction) - 1) >> reduction;
}

// A full-size part of a picture as it lies in the picture decoded `reduction` halvings smaller: each edge
// is halved that often, rounded to the nearest pixel.
constexpr PixelRect reducedRect(const PixelRect& source, int reduction) {
    if (reduction <= 0)
        return source;
    const int half = 1 << (reduction - 1);
    const int left = (source.x + half) >> reduction;
    const int top = (source.y + half) >> reduction;
    return {left, top, ((source.x + source.width + half) >> reduction) - left,
            ((source.y + source.height + half) >> reduction) - top};
}

// The channel read from a decoded picture at the full-size byte offsets of the marks. A reduced picture
// is read where those offsets fall in it, each full-size pixel taking the reduced pixel that covers it.
int readPictureChannel(const DecodedPicture& picture, ChannelMethod method, int channelCount);

}  // namespace dvr::frame
