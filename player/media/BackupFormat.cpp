#include "player/media/BackupFormat.h"

#include <cstdio>
#include <cstring>

#include "common/frame/Bytes.h"

namespace dvr::media {

using frame::readLe32;
using frame::writeLe32;

namespace {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

uint32_t daysInMonth(int year, uint32_t month) {
    static constexpr uint32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year))
        return 29;
    return kDays[month - 1];
}

}  // namespace

bool RecordTime::isValid() const {
    // The stored year counts from 1996; anything beyond a 32-bit signed count is not a recorder date.
    if (yearsSince1996 > 60 || month < 1 || month > 12)
        return false;
    if (day < 1 || day > daysInMonth(year(), month))
        return false;
    return hour < 24 && minute < 60 && second < 60;
}

std::string RecordTime::text() const {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02u:%02u:%02u", 1996LL + yearsSince1996, month,
                  day, hour, minute, second);
    return buffer;
}

int32_t orderingCount(const RecordTime& time) {
    if (!time.isValid()) {
        // Every part counts as -1.
        return -(1 + 60 + 3600 + 86400 + 2678400 + 32140800);
    }
    return int32_t(time.second + 60 * time.minute + 3600 * time.hour + 86400 * time.day +
                   2678400 * time.month + 32140800 * time.yearsSince1996);
}

int BackupHeader::framesPerGroup() const {
    const int frames = int(groupWord & 0xFF);
    return frames == 1 ? 2 : frames;
}

uint32_t BackupHeader::channelMask() const {
    uint32_t pictureChannels = 1;
    if (pictureFlags & 1)
        pictureChannels = 3;
    else if (pictureFlags & 2)
        pictureChannels = 15;
    return channel < 32 ? pictureChannels << channel : 0;
}

bool BackupHeader::isSkipReloadPoint() const {
    const uint32_t sum = (skipWords[0] & 0xFFFF) + (skipWords[1] & 0xFFFF) + (skipWords[2] & 0xFFFF);
    return (sum & 0x3FFFF) == 0;
}

int64_t BackupHeader::endSearchLength() const {
    if (soundType() == 0)
        return pictureLength;
    return int64_t(pictureLength) - 4 * int64_t(soundChannelMask());
}

int BackupHeader::channelCount() const {
    switch (layoutCode & 0xFF) {
        case 0x04:
            return 4;
        case 0x08:
            return 8;
        case 0x16:
            return 16;
        default:
            return 0;
    }
}

bool hasRecordSignature(std::span<const uint8_t> sector) {
    return sector.size() >= 4 && (sector[0] == 0xFA || sector[0] == 0xFB) && sector[1] == 0xFF &&
           sector[2] == 0xFF && sector[3] == 0xFF;
}

std::optional<BackupHeader> parseBackupHeader(std::span<const uint8_t> sector) {
    if (sector.size() < kSectorBytes)
        return std::nullopt;
    namespace o = backup_offset;
    BackupHeader h;
    h.signatureByte = sector[o::kSignature];
    h.layoutCode = readLe32(sector, o::kLayoutCode);
    h.frameIntervalFields = readLe32(sector, o::kFrameInterval);
    h.previousSectorHigh = readLe32(sector, o::kPreviousSectorHigh);
    h.previousSectorLow = readLe32(sector, o::kPreviousSectorLow);
    h.sectorHigh = readLe32(sector, o::kSectorHigh);
    h.sectorLow = readLe32(sector, o::kSectorLow);
    h.pictureLength = readLe32(sector, o::kPictureLength);
    h.sectorCount = readLe32(sector, o::kSectorCount);
    h.groupWord = readLe32(sector, o::kGroupWord);
    h.channel = readLe32(sector, o::kChannel);
    h.time.yearsSince1996 = readLe32(sector, o::kYear);
    h.time.month = readLe32(sector, o::kMonth);
    h.time.day = readLe32(sector, o::kDay);
    h.time.hour = readLe32(sector, o::kHour);
    h.time.minute = readLe32(sector, o::kMinute);
    h.time.second = readLe32(sector, o::kSecond);
    h.pictureFlags = readLe32(sector, o::kPictureFlags);
    h.skipWords = {readLe32(sector, o::kSkipWord1), readLe32(sector, o::kSkipWord2),
                   readLe32(sector, o::kSkipWord3)};
    h.videoStandard = readLe32(sector, o::kVideoStandard);
    h.soundWord = readLe32(sector, o::kSoundWord);
    h.soundSequence = readLe32(sector, o::kSoundSequence);
    h.soundParameterWord = readLe32(sector, o::kSoundParameter);
    return h;
}

void writeBackupHeader(const BackupHeader& h, std::span<uint8_t> sector) {
    if (sector.size() < kSectorBytes)
        return;
    namespace o = backup_offset;
    sector[o::kSignature] = h.signatureByte;
    sector[1] = 0xFF;
    sector[2] = 0xFF;
    sector[3] = 0xFF;
    writeLe32(sector, o::kLayoutCode, h.layoutCode);
    writeLe32(sector, o::kFrameInterval, h.frameIntervalFields);
    writeLe32(sector, o::kPreviousSectorHigh, h.previousSectorHigh);
    writeLe32(sector, o::kPreviousSectorLow, h.previousSectorLow);
    writeLe32(sector, o::kSectorHigh, h.sectorHigh);
    writeLe32(sector, o::kSectorLow, h.sectorLow);
    writeLe32(sector, o::kPictureLength, h.pictureLength);
    writeLe32(sector, o::kSectorCount, h.sectorCount);
    writeLe32(sector, o::kGroupWord, h.groupWord);
    writeLe32(sector, o::kChannel, h.channel);
    writeLe32(sector, o::kYear, h.time.yearsSince1996);
    writeLe32(sector, o::kMonth, h.time.month);
    writeLe32(sector, o::kDay, h.time.day);
    writeLe32(sector, o::kHour, h.time.hour);
    writeLe32(sector, o::kMinute, h.time.minute);
    writeLe32(sector, o::kSecond, h.time.second);
    writeLe32(sector, o::kPictureFlags, h.pictureFlags);
    writeLe32(sector, o::kSkipWord1, h.skipWords[0]);
    writeLe32(sector, o::kSkipWord2, h.skipWords[1]);
    writeLe32(sector, o::kSkipWord3, h.skipWords[2]);
    writeLe32(sector, o::kVideoStandard, h.videoStandard);
    writeLe32(sector, o::kSoundWord, h.soundWord);
    writeLe32(sector, o::kSoundSequence, h.soundSequence);
    writeLe32(sector, o::kSoundParameter, h.soundParameterWord);
}

void swapWords(std::span<uint8_t> bytes) {
    const size_t whole = bytes.size() & ~size_t(3);
    uint8_t* p = bytes.data();
    for (size_t i = 0; i < whole; i += 4) {
        uint32_t word;
        std::memcpy(&word, p + i, 4);
        word = __builtin_bswap32(word);
        std::memcpy(p + i, &word, 4);
    }
}

int fieldCode(std::span<const uint8_t> subHeader) {
    if (subHeader.size() < 12)
        return kWholeFrame;
    switch (subHeader[11]) {
        case 0xF0:
            return kFirstField;
        case 0xF1:
            return kSecondField;
        default:
            return kWholeFrame;
    }
}

void splitSoundBlock(std::span<const uint8_t> block, uint8_t channelMask, SoundChannels& out) {
    out.counts = {};
    if (block.size() < kSoundBlockBytes)
        return;
    for (int k = 0; k < kSoundChannels; ++k) {
        if (!(channelMask & (1u << k)))
            continue;
        auto& bytes = out.bytes[size_t(k)];
        // Groups 0 to 254 can carry data; the last group only closes a pair.
        size_t count = kSoundGroups - 1;
        for (size_t g = 0; g + 1 < kSoundGroups; ++g) {
            const uint8_t b = block[g * 4 + size_t(k)];
            if (b == 0x80 && block[(g + 1) * 4 + size_t(k)] == 0x80) {
                count = g > 0 ? g - 1 : 0;
                break;
            }
            bytes[g] = b;
        }
        out.counts[size_t(k)] = count;
    }
}

}  // namespace dvr::media
