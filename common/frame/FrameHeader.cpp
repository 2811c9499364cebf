#include "common/frame/FrameHeader.h"

#include <algorithm>

#include "common/frame/Bytes.h"

namespace dvr::frame {

std::optional<FrameHeader> parseFrameHeader(std::span<const uint8_t> data) {
    if (data.size() < kFrameHeaderBytes)
        return std::nullopt;
    namespace o = header_offset;
    FrameHeader h;
    std::copy_n(data.begin(), kFrameHeaderBytes, h.bytes.begin());
    h.marker = readLe32(data, o::kMarker);
    h.layoutCode = readLe32(data, o::kLayoutCode);
    h.pictureLength = readLe32(data, o::kPictureLength);
    h.channel = readLe32(data, o::kChannel);
    h.pictureFlags = readLe32(data, o::kPictureFlags);
    h.channelMaskA = readLe32(data, o::kChannelMaskA);
    h.channelMaskB = readLe32(data, o::kChannelMaskB);
    h.videoStandard = readLe32(data, o::kVideoStandard);
    h.signalWord = readLe32(data, o::kSignalWord);
    return h;
}

std::array<uint8_t, kFrameHeaderBytes> serializeFrameHeader(const FrameHeader& header) {
    namespace o = header_offset;
    std::array<uint8_t, kFrameHeaderBytes> b = header.bytes;
    writeLe32(b, o::kMarker, header.marker);
    writeLe32(b, o::kLayoutCode, header.layoutCode);
    writeLe32(b, o::kPictureLength, header.pictureLength);
    writeLe32(b, o::kChannel, header.channel);
    writeLe32(b, o::kPictureFlags, header.pictureFlags);
    writeLe32(b, o::kChannelMaskA, header.channelMaskA);
    writeLe32(b, o::kChannelMaskB, header.channelMaskB);
    writeLe32(b, o::kVideoStandard, header.videoStandard);
    writeLe32(b, o::kSignalWord, header.signalWord);
    return b;
}

int channelCapacity(uint32_t layoutCode) {
    switch (layoutCode & 0xFFFF) {
        case 0x0004:
            return 4;
        case 0x0008:
            return 8;
        case 0x0016:
            return 16;
        default:
            return 0;
    }
}

PictureKind pictureKind(uint32_t pictureFlags) {
    if (pictureFlags & 1)
        return PictureKind::Pair;
    if (pictureFlags & 2)
        return PictureKind::Quad;
    if (pictureFlags & 4)
        return PictureKind::FullHeight;
    return PictureKind::Single;
}

}  // namespace dvr::frame
