#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/frame/FrameLimits.h"

namespace dvr::frame {

inline constexpr uint32_t kMarkerPictureA = 0xFFFFFFFA;
inline constexpr uint32_t kMarkerPictureB = 0xFFFFFFFB;
inline constexpr uint32_t kSixtyFieldStandard = 0xFFFF0000;
inline constexpr uint32_t kFiftyFieldStandard = 0xFFFF0001;  // the backup player's explicit 50-field word
inline constexpr uint32_t kQuadSignalWord = 0xFFFFFFF0;

// Byte offsets of the fields inside the 528-byte header.
namespace header_offset {
inline constexpr size_t kMarker = 0;
inline constexpr size_t kLayoutCode = 4;
inline constexpr size_t kPictureLength = 60;
inline constexpr size_t kChannel = 92;
inline constexpr size_t kPictureFlags = 128;
inline constexpr size_t kChannelMaskA = 132;
inline constexpr size_t kChannelMaskB = 136;
inline constexpr size_t kVideoStandard = 188;
inline constexpr size_t kSignalWord = 512;
}  // namespace header_offset

// The 528-byte header in front of every picture. `bytes` keeps the whole header as received, so that
// fields this value does not name (backup-only words) survive a parse/serialize round trip.
struct FrameHeader {
    uint32_t marker = 0;
    uint32_t layoutCode = 0;
    uint32_t pictureLength = 0;
    uint32_t channel = 0;
    uint32_t pictureFlags = 0;
    uint32_t channelMaskA = 0;
    uint32_t channelMaskB = 0;
    uint32_t videoStandard = 0;
    uint32_t signalWord = 0;
    std::array<uint8_t, kFrameHeaderBytes> bytes{};
};

// Parses the first 528 bytes; nullopt when fewer are given.
std::optional<FrameHeader> parseFrameHeader(std::span<const uint8_t> data);

// The header's bytes with the named fields written over them.
std::array<uint8_t, kFrameHeaderBytes> serializeFrameHeader(const FrameHeader& header);

// True for the two markers that announce a JPEG 2000 picture.
constexpr bool hasPicture(uint32_t marker) {
    return marker == kMarkerPictureA || marker == kMarkerPictureB;
}

// High 16 bits of the layout code: 1, 2 or 3 for the recorders in use.
constexpr int layoutFamily(uint32_t layoutCode) {
    return int(layoutCode >> 16);
}

// Channel capacity from the low 16 bits (written in hexadecimal digits): 0x4 -> 4, 0x8 -> 8, 0x16 -> 16;
// 0 for any other value.
int channelCapacity(uint32_t layoutCode);

// Picture size code, bits 0-2 of the picture flags; the first set bit from bit 0 decides.
enum class PictureKind { Single, Pair, Quad, FullHeight };
PictureKind pictureKind(uint32_t pictureFlags);

// Quality code, bits 24-31 of the picture flags.
constexpr int qualityCode(uint32_t pictureFlags) {
    return int(pictureFlags >> 24);
}

// 0xFFFF0000 is the 60-field standard (240 lines per field); every other word means 50 fields (288 lines).
constexpr bool isSixtyField(uint32_t videoStandard) {
    return videoStandard == kSixtyFieldStandard;
}
constexpr int fieldHeight(uint32_t videoStandard) {
    return isSixtyField(videoStandard) ? 240 : 288;
}

}  // namespace dvr::frame
