#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "common/frame/DateTime.h"

namespace dvr::media {

inline constexpr size_t kSectorBytes = 512;
// The first 64 KiB of a backup file are never read; records start here.
inline constexpr uint64_t kDataStart = 0x10000;
// Forward playback ends this many bytes before the end of the file.
inline constexpr uint64_t kTrailingBytes = 0xA0000;
inline constexpr size_t kSubHeaderBytes = 16;
inline constexpr size_t kSoundBlockBytes = 1024;
inline constexpr size_t kSoundGroups = kSoundBlockBytes / 4;
inline constexpr int kSoundChannels = 4;

// Sound type bits (12-15) of the sound description word.
inline constexpr uint32_t kSoundTypeMask = 0xF000;
inline constexpr uint32_t kSoundTrailingBlock = 0x8000;  // a sound block ends this picture record
inline constexpr uint32_t kSoundOnly = 0xC000;           // the record holds one sound block and no picture

// Field codes of the picture sub-header (byte 11) as the reader reports them.
inline constexpr int kFirstField = 0;
inline constexpr int kSecondField = 1;
inline constexpr int kWholeFrame = 255;

// Byte offsets inside the record header sector.
namespace backup_offset {
inline constexpr size_t kSignature = 0x00;
inline constexpr size_t kLayoutCode = 0x04;
inline constexpr size_t kFrameInterval = 0x0C;
inline constexpr size_t kPreviousSectorHigh = 0x2C;
inline constexpr size_t kPreviousSectorLow = 0x30;
inline constexpr size_t kSectorHigh = 0x34;
inline constexpr size_t kSectorLow = 0x38;
inline constexpr size_t kPictureLength = 0x3C;
inline constexpr size_t kSectorCount = 0x40;
inline constexpr size_t kGroupWord = 0x48;
inline constexpr size_t kChannel = 0x5C;
inline constexpr size_t kYear = 0x60;
inline constexpr size_t kMonth = 0x64;
inline constexpr size_t kDay = 0x68;
inline constexpr size_t kHour = 0x6C;
inline constexpr size_t kMinute = 0x70;
inline constexpr size_t kSecond = 0x74;
inline constexpr size_t kPictureFlags = 0x80;
inline constexpr size_t kSkipWord1 = 0x88;
inline constexpr size_t kSkipWord2 = 0x8C;
inline constexpr size_t kSkipWord3 = 0x90;
inline constexpr size_t kVideoStandard = 0xBC;
inline constexpr size_t kSoundWord = 0xD0;
inline constexpr size_t kSoundSequence = 0xD4;
inline constexpr size_t kSoundParameter = 0xD8;
}  // namespace backup_offset

// A record's recording time as stored: the year counts from 1996.
struct RecordTime {
    uint32_t yearsSince1996 = 0;
    uint32_t month = 0;
    uint32_t day = 0;
    uint32_t hour = 0;
    uint32_t minute = 0;
    uint32_t second = 0;

    // A damaged word near the top of the signed range stops at the largest year rather than overflow.
    int year() const {
        return int(
            std::min<int64_t>(1996 + int64_t(int32_t(yearsSince1996)), std::numeric_limits<int>::max()));
    }
    // The same date and time with the full year.
    DateTime dateTime() const { return {year(), int(month), int(day), int(hour), int(minute), int(second)}; }
    // A calendar date (month 1-12, a day of that month) and a time of day.
    bool isValid() const;
    // "YYYY-MM-DD HH:MM:SS" of the stored values (an invalid time shows them as they are).
    std::string text() const;
    friend bool operator==(const RecordTime&, const RecordTime&) = default;
};

// The count by which two recording times are ordered: a month counts as 31 days and a year as 12 such
// months; every part of an invalid time counts as -1, so its count is negative.
int32_t orderingCount(const RecordTime& time);

// Record header sector: the fields the player reads, as stored (little-endian words).
struct BackupHeader {
    uint8_t signatureByte = 0;
    uint32_t layoutCode = 0;
    uint32_t frameIntervalFields = 0;
    uint32_t previousSectorHigh = 0;
    uint32_t previousSectorLow = 0;
    uint32_t sectorHigh = 0;
    uint32_t sectorLow = 0;
    uint32_t pictureLength = 0;
    uint32_t sectorCount = 0;  // header sector included
    uint32_t groupWord = 0;
    uint32_t channel = 0;
    RecordTime time;
    uint32_t pictureFlags = 0;
    std::array<uint32_t, 3> skipWords{};
    uint32_t videoStandard = 0;
    uint32_t soundWord = 0;
    uint32_t soundSequence = 0;
    uint32_t soundParameterWord = 0;

    // Records in one time slot: the low byte of the group word, 1 counting as 2, 0 meaning no grouping.
    int framesPerGroup() const;
    // 50 when bit 0 of the video standard word is set, else 60.
    int fieldRate() const { return (videoStandard & 1) ? 50 : 60; }
    double displayTimeSeconds() const { return double(frameIntervalFields) / fieldRate(); }
    // Channels the picture carries: 1, 3 or 15 by the layout bits of the flags, shifted by the channel.
    uint32_t channelMask() const;
    uint32_t soundType() const { return soundWord & kSoundTypeMask; }
    uint8_t soundChannelMask() const { return uint8_t(soundWord & 0xFF); }
    uint16_t soundParameter() const { return uint16_t(soundParameterWord & 0xFFFF); }
    // The three skip words' low halves add up to 0 (masked with 0x3FFFF).
    bool isSkipReloadPoint() const;
    uint64_t sectorNumber() const { return uint64_t(sectorHigh) << 32 | sectorLow; }
    uint64_t previousSectorNumber() const { return uint64_t(previousSectorHigh) << 32 | previousSectorLow; }
    // The picture length the end-marker search counts from: reduced by 4 x the sound channel mask when
    // the record carries sound. Negative when the reduction passes 0.
    int64_t endSearchLength() const;
    // Channel capacity from byte 0x04: 4, 8 or 16; 0 for any other value.
    int channelCount() const;
    // Recorders of layout family 3 record sound.
    int layoutFamily() const { return int(layoutCode >> 16); }
};

// Byte 0 is 0xFA or 0xFB and bytes 1 to 3 are 0xFF. False for fewer than 4 bytes.
bool hasRecordSignature(std::span<const uint8_t> sector);

// Parses a header sector; nullopt when fewer than 512 bytes are given. The signature is not checked.
std::optional<BackupHeader> parseBackupHeader(std::span<const uint8_t> sector);

// Writes the named fields into a 512-byte header sector (other bytes are left as they are).
void writeBackupHeader(const BackupHeader& header, std::span<uint8_t> sector);

// Reverses the bytes of every 4-byte group in place; a short last group is left as it is.
void swapWords(std::span<uint8_t> bytes);

// Field code from a byte-swapped picture sub-header: 0 for 0xF0, 1 for 0xF1, 255 otherwise.
int fieldCode(std::span<const uint8_t> subHeader);

// One sound block split into its four channels (G.711 mu-law bytes, 8000 per second).
struct SoundChannels {
    std::array<std::array<uint8_t, kSoundGroups>, kSoundChannels> bytes{};
    std::array<size_t, kSoundChannels> counts{};
    std::span<const uint8_t> channel(int k) const { return {bytes[size_t(k)].data(), counts[size_t(k)]}; }
};

// Splits a byte-swapped 1024-byte sound block: byte k of every 4-byte group belongs to channel k. A
// channel's data ends where its byte is 0x80 in two consecutive groups; that group and the byte stored
// before it are not data. Channels whose bit is clear in channelMask stay empty. A block shorter than
// 1024 bytes gives empty channels.
void splitSoundBlock(std::span<const uint8_t> block, uint8_t channelMask, SoundChannels& out);

}  // namespace dvr::media
