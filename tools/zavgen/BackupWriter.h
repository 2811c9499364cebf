#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/media/BackupFormat.h"

namespace dvr::zavgen {

// G.711 mu-law encoding and decoding of 16-bit samples.
uint8_t muLawEncode(int16_t sample);
int16_t muLawDecode(uint8_t code);

// Most sound bytes one channel of a block can carry, leaving room for the closing 0x80 0x80 pair.
inline constexpr size_t kMaxSoundBytesPerBlock = 253;

// A 1024-byte sound block in natural byte order: byte k of every 4-byte group belongs to channel k. Each
// channel in `mask` carries its bytes (at most 253; 0x80 bytes become 0x81 so that no early end pair
// appears), one padding byte, then 0x80 in every remaining group.
std::array<uint8_t, media::kSoundBlockBytes> buildSoundBlock(
    const std::array<std::span<const uint8_t>, media::kSoundChannels>& channels, uint8_t mask);

// One record as the writer lays it down.
struct BackupRecord {
    uint8_t signatureByte = 0xFA;
    uint32_t layoutCode = 0x10016;
    uint32_t channel = 0;
    uint32_t pictureFlags = 0x03000000;
    uint32_t videoStandard = 0xFFFF0000;
    uint32_t frameIntervalFields = 4;
    uint32_t groupWord = 0;
    media::RecordTime time;
    std::array<uint32_t, 3> skipWords{};
    int fieldCode = media::kWholeFrame;  // written as F0, F1 or 00 in byte 11 of the sub-header
    // The codestream; empty for a sound-only record.
    std::span<const uint8_t> codestream;
    uint32_t soundType = 0;  // 0, 0x8000 (block ends the picture record) or 0xC000 (sound only)
    uint8_t soundMask = 0;
    uint32_t soundSequence = 0;
    uint16_t soundParameter = 0;
    std::array<uint8_t, media::kSoundBlockBytes> soundBlock{};  // natural byte order

    // Faults on request.
    std::optional<uint32_t> sectorCountOverride;  // written instead of the true sector count
    bool dropEndMarker = false;                   // the codestream's FF D9 is overwritten
    bool linkPrevious = true;                     // false: previous-sector number 0
    std::optional<uint32_t> previousSectorOverride;
    std::optional<uint32_t> pictureLengthOverride;  // written instead of the codestream's length
};

// Writes a backup file: the leading 64 KiB, then records on sector boundaries, each linked to the one
// before by sector numbers counted from a disc sector base.
class BackupWriter {
public:
    static constexpr uint32_t kSectorBase = 0x200000;

    BackupWriter() = default;
    ~BackupWriter();
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    // Creates the file and writes the leading 64 KiB from `leading` (zero-filled past its end).
    bool open(const std::string& path, std::span<const uint8_t> leading = {});
    // Writes one record at the current offset; returns its header offset.
    uint64_t writeRecord(const BackupRecord& shape);
    // Writes sectors of pseudo-random bytes, none starting with a record signature.
    void writeGarbageSectors(int count, uint32_t seed);
    // Writes raw bytes (padded with zeros to whole sectors).
    void writeSectors(std::span<const uint8_t> bytes);
    // Leaves `bytes` (whole sectors) unwritten: a hole of zeros in the file.
    void skip(uint64_t bytes);
    // Closes the file; false when any write failed.
    bool close();

    uint64_t offset() const { return m_offset; }
    int recordCount() const { return m_records; }
    const std::string& error() const { return m_error; }

private:
    void put(std::span<const uint8_t> bytes);

    std::FILE* m_file = nullptr;
    uint64_t m_offset = 0;
    uint32_t m_lastSector = 0;
    int m_records = 0;
    bool m_failed = false;
    std::string m_error;
    std::vector<uint8_t> m_record;
};

// The codestream with an even length: an odd one gets a 7-byte comment segment after its SIZ segment.
// The recorder stores its pictures so that the end marker lies on a 2-byte boundary, which is what the
// player's end scan looks for.
std::vector<uint8_t> evenLengthCodestream(std::span<const uint8_t> codestream);

// Builds a placeholder codestream of `bytes` bytes (at least 4, even): it starts like a JPEG 2000
// codestream and ends with FF D9, but carries no picture. For tests of the reader and for benchmarks.
std::vector<uint8_t> placeholderCodestream(size_t bytes, uint32_t seed);

}  // namespace dvr::zavgen
