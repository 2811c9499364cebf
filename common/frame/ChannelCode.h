#pragma once

#include <cstdint>
#include <span>

namespace dvr::frame {

// How the channel of a decoded picture is read from its pixels.
enum class ChannelMethod { LineCode, PatchCode };

// The viewer reads the line code from family-2 recorders and the patch code from every other family.
constexpr ChannelMethod viewerMethod(int layoutFamily) {
    return layoutFamily == 2 ? ChannelMethod::LineCode : ChannelMethod::PatchCode;
}
// The backup player reads the patch code from families 1 and 3 and the line code from every other family.
constexpr ChannelMethod playerMethod(int layoutFamily) {
    return layoutFamily == 1 || layoutFamily == 3 ? ChannelMethod::PatchCode : ChannelMethod::LineCode;
}

// Pixel byte offsets the two codes are read from (pixels are BGRX, rows of 2880 bytes for 720 pixels).
inline constexpr size_t kLineCodeBlocks = 27;
inline constexpr size_t kLineCodeBlockBytes = 64;
inline constexpr size_t kPatchOffsets[4] = {3952, 4080, 4208, 4336};
inline constexpr size_t kPatchBytes = 32;

// Line code over the first 27 64-byte blocks of the pixels, mapped to a channel and taken modulo the
// channel count (a channel count of 0 or less leaves the channel as mapped). Bytes beyond the span
// count as dark.
int readLineCode(std::span<const uint8_t> pixels, int channelCount);

// Patch code from the four 32-byte patches at 3952, 4080, 4208 and 4336: 0..15. Bytes beyond the span
// count as dark.
int readPatchCode(std::span<const uint8_t> pixels);

int readChannel(std::span<const uint8_t> pixels, ChannelMethod method, int channelCount);

// Aligns a channel by the picture flags: pair pictures to an even channel, quad pictures to a multiple of 4.
int alignChannel(int channel, uint32_t pictureFlags);

// The 5-bit line code a recorder writes for a channel, for the given channel count (inverse of the
// mapping readLineCode applies). Channels the count cannot carry give 0.
int lineCodeForChannel(int channel, int channelCount);

}  // namespace dvr::frame
