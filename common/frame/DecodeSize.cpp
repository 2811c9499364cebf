#include "common/frame/DecodeSize.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/frame/SourceRect.h"

namespace dvr::frame {

namespace {

// Both codes lie in the first bytes of a full-size picture: the line code in 27 blocks of 64 bytes, the
// patch code up to the end of its last patch.
constexpr size_t kCodeBytes = std::max(kLineCodeBlocks * kLineCodeBlockBytes, kPatchOffsets[3] + kPatchBytes);

}  // namespace

int reductionFor(uint32_t pictureFlags, int pictureWidth, int pictureHeight, ShownSize shown) {
    if (shown.fullSize() || pictureWidth <= 0 || pictureHeight <= 0)
        return 0;
    const int rowsPerLine = pictureHeight <= kMaxFieldHeight ? 2 : 1;
    int reduction = 0;
    for (int r = 1; r <= kMaxReduction; ++r) {
        const PixelRect channel = channelSourceRect(pictureFlags, 0, reducedExtent(pictureWidth, r),
                                                    reducedExtent(pictureHeight, r));
        if (channel.width < shown.width || channel.height * rowsPerLine < shown.height)
            break;
        reduction = r;
    }
    return reduction;
}

int readPictureChannel(const DecodedPicture& picture, ChannelMethod method, int channelCount) {
    if (picture.reduction <= 0 || picture.empty())
        return readChannel(picture.image(), method, channelCount);
    // The full-size bytes the codes are read from, rebuilt from the reduced pixels that cover them.
    std::array<uint8_t, kCodeBytes> strip{};
    const size_t fullWidth = size_t(std::max(picture.fullWidth, 1));
    const size_t lastX = size_t(picture.width - 1);
    const size_t lastY = size_t(picture.height - 1);
    for (size_t i = 0; i < kCodeBytes / 4; ++i) {
        const size_t x = std::min((i % fullWidth) >> picture.reduction, lastX);
        const size_t y = std::min((i / fullWidth) >> picture.reduction, lastY);
        std::memcpy(strip.data() + 4 * i, picture.pixels.data() + (y * size_t(picture.width) + x) * 4, 4);
    }
    return readChannel(strip, method, channelCount);
}

bool decodedTooSmall(uint32_t pictureFlags, const DecodedPicture& picture, ShownSize shown) {
    return picture.reduction > 0 &&
           reductionFor(pictureFlags, picture.fullWidth, picture.fullHeight, shown) < picture.reduction;
}

}  // namespace dvr::frame
