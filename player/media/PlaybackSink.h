#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "player/media/BackupFormat.h"

namespace dvr::media {

// A complete picture record as the playback thread delivers it.
struct DeliveredPicture {
    const BackupHeader* header = nullptr;
    uint64_t headerOffset = 0;
    int fieldCode = kWholeFrame;  // 0 first field, 1 second field, 255 whole frame
    uint32_t lengthBytes = 0;     // record size (sectors after the header) x 512
    // The byte-swapped record data after the sub-header; the codestream starts at its first byte.
    std::span<const uint8_t> bytes;
    size_t endMarkerIndex = 0;  // index of the D9 byte of the end marker in bytes
    std::array<uint8_t, kSubHeaderBytes> subHeader{};

    // The codestream up to and including its end marker.
    std::span<const uint8_t> codestream() const { return bytes.first(endMarkerIndex + 1); }
};

// What the playback thread hands to the player window. Every call comes on the playback thread; the
// picture and sound bytes are valid only during the call.
class PlaybackSink {
public:
    virtual ~PlaybackSink() = default;
    virtual void drawPicture(const DeliveredPicture& picture) = 0;
    // One byte-swapped 1024-byte sound block with the record's sound channel mask, its sound parameter
    // and its sound type (0x8000 or 0xC000). May block while the sound output's buffers are full.
    virtual void soundBlock(std::span<const uint8_t> block, uint8_t channelMask, uint16_t parameter,
                            uint32_t soundType) = 0;
    virtual void setSlider(int value) = 0;  // 0 to 710
    virtual void atStart() = 0;
    virtual void atEnd() = 0;
    virtual void showMessage(std::string_view text) = 0;
};

}  // namespace dvr::media
