#include "common/frame/SourceRect.h"

#include "common/frame/ChannelCode.h"
#include "common/frame/FrameHeader.h"

namespace dvr::frame {

PixelRect channelSourceRect(uint32_t pictureFlags, int channel, int pictureWidth, int pictureHeight) {
    const int halfWidth = pictureWidth / 2;
    const int halfHeight = pictureHeight / 2;
    switch (pictureKind(pictureFlags)) {
        case PictureKind::Pair:
            return {(channel & 1) ? halfWidth : 0, 0, halfWidth, pictureHeight};
        case PictureKind::Quad: {
            const int q = channel & 3;
            return {(q & 1) ? halfWidth : 0, (q & 2) ? halfHeight : 0, halfWidth, halfHeight};
        }
        case PictureKind::Single:
        case PictureKind::FullHeight:
            break;
    }
    return {0, 0, pictureWidth, pictureHeight};
}

int baseChannel(int channel, uint32_t pictureFlags) {
    return alignChannel(channel, pictureFlags);
}

int channelsPerPicture(uint32_t pictureFlags) {
    switch (pictureKind(pictureFlags)) {
        case PictureKind::Pair:
            return 2;
        case PictureKind::Quad:
            return 4;
        default:
            return 1;
    }
}

}  // namespace dvr::frame
