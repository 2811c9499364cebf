#pragma once

#include <cstdint>
#include <span>

#include "common/frame/DecodedPicture.h"

namespace dvr::frame {

// Turns one picture's codestream into pixels. The frame decoder owns a JPEG 2000 decoder and uses it
// unless given another one (the fuzz targets give a cheap stand-in, so their time goes to our own code).
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;

    // On success fills out.pixels (sizing them for the largest picture first when they are smaller than
    // this one), out.bitmapInfo, out.width and out.height and returns true. On failure returns false and
    // leaves width and height at 0.
    virtual bool decode(std::span<const uint8_t> codestream, DecodedPicture& out) = 0;
    // The same, `reduction` halvings below full size where the decoder can (out.reduction tells how
    // many it applied). A decoder without lower resolutions decodes at full size.
    virtual bool decodeReduced(std::span<const uint8_t> codestream, DecodedPicture& out, int reduction) {
        (void)reduction;
        if (!decode(codestream, out))
            return false;
        out.reduction = 0;
        out.fullWidth = out.width;
        out.fullHeight = out.height;
        return true;
    }
};

}  // namespace dvr::frame
