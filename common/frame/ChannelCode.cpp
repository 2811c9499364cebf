#include "common/frame/ChannelCode.h"

#include "common/frame/Bytes.h"

namespace dvr::frame {

namespace {

// Bytes beyond the picture count as dark.
uint8_t byteAt(std::span<const uint8_t> pixels, size_t offset) {
    return offset < pixels.size() ? pixels[offset] : 0;
}

uint32_t low24At(std::span<const uint8_t> pixels, size_t offset) {
    return uint32_t(byteAt(pixels, offset)) | uint32_t(byteAt(pixels, offset + 1)) << 8 |
           uint32_t(byteAt(pixels, offset + 2)) << 16;
}

}  // namespace

int readLineCode(std::span<const uint8_t> pixels, int channelCount) {
    unsigned code = 0;
    for (size_t k = 0; k < kLineCodeBlocks; ++k) {
        // Even blocks are sampled in their second half, odd blocks in their first half.
        const size_t start = k * kLineCodeBlockBytes + (k % 2 == 0 ? 32 : 0);
        unsigned sum = 0;
        for (size_t j = 0; j < 8; ++j)
            sum += byteAt(pixels, start + 4 * j);
        const bool bright = sum / 8 > 128;
        if (bright && k % 2 == 0 && k / 2 <= 7)
            code |= 0x80u >> (k / 2);
    }
    code &= 0x1F;

    int channel = 0;
    if (channelCount == 16) {
        if (code <= 7)
            channel = int(code);
        else if (code >= 16 && code <= 23)
            channel = int(code) - 8;
    } else {
        if (code <= 3)
            channel = int(code);
        else if (code >= 16 && code <= 19)
            channel = int(code) - 12;
    }
    return channelCount > 0 ? channel % channelCount : channel;
}

int readPatchCode(std::span<const uint8_t> pixels) {
    int channel = 0;
    for (size_t p = 0; p < 4; ++p) {
        uint64_t sum = 0;
        for (size_t j = 0; j < kPatchBytes / 4; ++j)
            sum += low24At(pixels, kPatchOffsets[p] + 4 * j);
        if (sum / 8 > 0x800000)
            channel |= 8 >> p;
    }
    return channel;
}

int readChannel(std::span<const uint8_t> pixels, ChannelMethod method, int channelCount) {
    return method == ChannelMethod::LineCode ? readLineCode(pixels, channelCount) : readPatchCode(pixels);
}

int alignChannel(int channel, uint32_t pictureFlags) {
    if (pictureFlags & 1)
        return channel & ~1;
    if (pictureFlags & 2)
        return channel & ~3;
    return channel;
}

int lineCodeForChannel(int channel, int channelCount) {
    if (channel < 0)
        return 0;
    const int direct = channelCount == 16 ? 8 : 4;
    if (channel < direct)
        return channel;
    if (channel < 2 * direct)
        return 16 + channel - direct;
    return 0;
}

}  // namespace dvr::frame
