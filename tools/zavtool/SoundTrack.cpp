#include "tools/zavtool/SoundTrack.h"

#include <array>
#include <span>

#include "player/media/BackupFormat.h"
#include "tools/zavgen/BackupWriter.h"

namespace dvr::zavtool {

std::vector<int16_t> readSoundChannel(const media::ByteSource& source, int soundChannel,
                                      const std::function<void(uint64_t offset)>& progress,
                                      std::size_t maxSamples, bool* tooLong,
                                      std::optional<uint64_t>* readFailedAt) {
    std::vector<int16_t> pcm;
    if (tooLong)
        *tooLong = false;
    if (readFailedAt)
        *readFailedAt = std::nullopt;
    // A short read where the file still has the bytes asked for is a failure, not the file's end.
    const auto failedWithin = [&](uint64_t at, size_t wanted, size_t got) {
        if (got == wanted || at + wanted > source.size())
            return false;
        if (readFailedAt)
            *readFailedAt = at;
        return true;
    };
    if (soundChannel < 1 || soundChannel > 4)
        return pcm;
    std::array<uint8_t, media::kSectorBytes> sector;
    std::vector<uint8_t> record;
    media::SoundChannels channels;
    uint32_t lastSequence = 0;
    uint64_t offset = media::kDataStart;
    uint64_t lastReport = 0;
    for (;;) {
        const size_t got = source.readAt(offset, sector);
        if (got != sector.size()) {
            failedWithin(offset, sector.size(), got);
            break;
        }
        const std::optional<media::BackupHeader> parsed =
            media::hasRecordSignature(sector) ? media::parseBackupHeader(sector) : std::nullopt;
        if (!parsed) {
            offset += media::kSectorBytes;
            continue;
        }
        const media::BackupHeader& h = *parsed;
        const uint32_t type = h.sectorCount == 3 ? media::kSoundOnly : h.soundType();
        const bool pictureWithBlock =
            type == media::kSoundTrailingBlock && h.sectorCount > 6 && h.sectorCount <= 101;
        // A block is new when its number is above the header's before it, as the player reads it: every
        // header's number is the last one, so numbers that start again lower (a recorder that restarted
        // its count) go on being written after one block.
        const bool newBlock = h.soundSequence > lastSequence;
        lastSequence = h.soundSequence;
        if ((type == media::kSoundOnly || pictureWithBlock) && newBlock) {
            const size_t dataBytes = type == media::kSoundOnly
                                         ? media::kSoundBlockBytes
                                         : size_t(h.sectorCount - 1) * media::kSectorBytes;
            record.resize(dataBytes);
            const size_t read = source.readAt(offset + media::kSectorBytes, record);
            if (failedWithin(offset + media::kSectorBytes, dataBytes, read))
                break;
            if (read == dataBytes) {
                // Only the block is needed: it is the data's last 1024 bytes, whole words from the start.
                std::span<uint8_t> block(record.data() + dataBytes - media::kSoundBlockBytes,
                                         media::kSoundBlockBytes);
                media::swapWords(block);
                media::splitSoundBlock(block, h.soundChannelMask(), channels);
                const auto codes = channels.channel(soundChannel - 1);
                if (codes.size() > maxSamples - pcm.size()) {
                    if (tooLong)
                        *tooLong = true;
                    return pcm;
                }
                for (uint8_t code : codes)
                    pcm.push_back(zavgen::muLawDecode(code));
            }
        }
        const uint64_t sectors =
            type == media::kSoundOnly ? 3 : (h.sectorCount >= 1 && h.sectorCount <= 101 ? h.sectorCount : 1);
        offset += sectors * media::kSectorBytes;
        if (progress && offset - lastReport > (8u << 20)) {
            lastReport = offset;
            progress(offset);
        }
    }
    return pcm;
}

}  // namespace dvr::zavtool
