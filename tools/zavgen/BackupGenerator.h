#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/media/BackupFormat.h"

namespace dvr::zavgen {

// How the pictures of one time slot carry the channels.
enum class PictureLayout {
    Full,   // one channel over the whole field-height picture
    Pair,   // two channels side by side
    Quad,   // four channels
    Frame,  // a full-height picture stored as two field records (first and second field)
    Mixed,  // groups of quad, full, pair, quad, pair and full pictures in turn (every change of kind)
};

// What the never-read leading 64 KiB hold.
enum class LeadingFill { Zeros, Headers, Garbage };

enum class Corruption {
    ZeroSectorCount,  // the record's sector count is 0
    HugeSectorCount,  // the record's sector count is 150
    ShortRecord,      // the record's sector count is 4 (a record of 1 to 6 sectors)
    NoEndMarker,      // the codestream's end marker is overwritten
    GarbageSectors,   // 8 sectors of random bytes are written before the record
    UnknownHeader,    // a header sector whose byte 0x04 is 0x05 is written before the record
    BrokenLink,       // the record's previous-sector number is larger than its own
};

struct CorruptionAt {
    Corruption kind;
    int pictureIndex;  // 0-based count of picture records
};

struct GeneratorOptions {
    int channelCount = 16;  // 4, 8 or 16
    int layoutFamily = 1;   // 1, 2 or 3
    PictureLayout layout = PictureLayout::Full;
    // Quad pictures as a recorder stores them, a first-field and a second-field record each; false
    // writes each quad once as a whole-frame record.
    bool quadFieldPairs = true;
    bool pal = false;
    // 2026-05-17 12:00:00.
    media::RecordTime start{30, 5, 17, 12, 0, 0};
    int durationSeconds = 120;
    int groupIntervalSeconds = 4;  // one group of pictures every this many seconds
    int framesPerGroup = -1;       // the group word's low byte; -1: the records of one group
    bool sound = false;            // sound blocks on every channel of soundMask (layout family 3)
    uint8_t soundMask = 0x0F;
    bool syntheticPictures = true;  // JPEG 2000 pictures; false: placeholder codestreams (no pictures)
    size_t codestreamBytes = 0;     // 0: the synthesiser's default for the picture height
    int qualityCode = 3;
    LeadingFill leading = LeadingFill::Headers;
    uint64_t trailingZeroBytes = 0;  // zero bytes after the last record (whole sectors)
    std::vector<CorruptionAt> corruptions;
};

struct GeneratorReport {
    int pictureRecords = 0;
    int soundRecords = 0;  // sound-only records
    int soundBlocks = 0;   // all sound blocks, including those ending picture records
    uint64_t fileSize = 0;
    std::vector<uint64_t> pictureOffsets;  // header offsets of the picture records, in file order
    std::string error;
};

// Sound channel k carries a mu-law tone of this frequency.
int toneHz(int soundChannel);

// The layout code of a channel count and family: family << 16 | 0x04, 0x08 or 0x16.
uint32_t layoutCodeFor(int channelCount, int family);

// A time `seconds` after `time`, on the calendar.
media::RecordTime addSeconds(const media::RecordTime& time, int64_t seconds);

// Writes a backup file. progress(done, total) is called now and then with picture records.
bool generateBackup(const std::string& path, const GeneratorOptions& options, GeneratorReport& report,
                    const std::function<void(int, int)>& progress = {});

}  // namespace dvr::zavgen
