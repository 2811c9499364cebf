#include "tools/zavgen/BackupGenerator.h"

#include <cmath>
#include <ctime>
#include <map>
#include <memory>

#include "common/frame/FrameHeader.h"
#include "tools/synth/Synth.h"
#include "tools/zavgen/BackupWriter.h"

namespace dvr::zavgen {

namespace {

constexpr int kSampleRate = 8000;
constexpr size_t kSamplesPerBlock = 250;
constexpr double kPi = 3.14159265358979323846;

struct Slot {
    int channel = 0;
    int fieldCode = media::kWholeFrame;
};

// The kind of pictures of one group.
PictureLayout groupLayout(const GeneratorOptions& o, int group) {
    if (o.layout != PictureLayout::Mixed) {
        return o.layout;
    }
    // Every ordered change between two kinds occurs once in the cycle.
    static constexpr PictureLayout kCycle[] = {PictureLayout::Quad, PictureLayout::Full, PictureLayout::Pair,
                                               PictureLayout::Quad, PictureLayout::Pair, PictureLayout::Full};
    return kCycle[group % 6];
}

// The records of one time slot.
std::vector<Slot> slotsOf(const GeneratorOptions& o, PictureLayout layout) {
    std::vector<Slot> slots;
    switch (layout) {
        case PictureLayout::Full:
        case PictureLayout::Mixed:
            for (int c = 0; c < o.channelCount; ++c)
                slots.push_back({c, media::kWholeFrame});
            break;
        case PictureLayout::Pair:
            for (int c = 0; c < o.channelCount; c += 2)
                slots.push_back({c, media::kWholeFrame});
            break;
        case PictureLayout::Quad:
            for (int c = 0; c < o.channelCount; c += 4) {
                if (o.quadFieldPairs) {
                    slots.push_back({c, media::kFirstField});
                    slots.push_back({c, media::kSecondField});
                } else {
                    slots.push_back({c, media::kWholeFrame});
                }
            }
            break;
        case PictureLayout::Frame:
            for (int c = 0; c < o.channelCount; ++c) {
                slots.push_back({c, media::kFirstField});
                slots.push_back({c, media::kSecondField});
            }
            break;
    }
    return slots;
}

frame::PictureKind kindOf(PictureLayout layout) {
    switch (layout) {
        case PictureLayout::Pair:
            return frame::PictureKind::Pair;
        case PictureLayout::Quad:
            return frame::PictureKind::Quad;
        case PictureLayout::Frame:
            return frame::PictureKind::FullHeight;
        case PictureLayout::Full:
        case PictureLayout::Mixed:
            break;
    }
    return frame::PictureKind::Single;
}

// The four tones, generated block by block.
class ToneSource {
public:
    explicit ToneSource(uint8_t mask) : m_mask(mask) {}
    std::array<uint8_t, media::kSoundBlockBytes> nextBlock() {
        std::array<std::array<uint8_t, kSamplesPerBlock>, media::kSoundChannels> samples{};
        std::array<std::span<const uint8_t>, media::kSoundChannels> channels;
        for (int k = 0; k < media::kSoundChannels; ++k) {
            for (size_t i = 0; i < kSamplesPerBlock; ++i) {
                const double t = double(m_sample + int64_t(i)) / kSampleRate;
                const double value = 8000.0 * std::sin(2 * kPi * toneHz(k) * t);
                samples[size_t(k)][i] = muLawEncode(int16_t(std::lround(value)));
            }
            channels[size_t(k)] = samples[size_t(k)];
        }
        m_sample += kSamplesPerBlock;
        return buildSoundBlock(channels, m_mask);
    }

private:
    uint8_t m_mask;
    int64_t m_sample = 0;
};

std::vector<uint8_t> leadingBytes(const GeneratorOptions& o) {
    std::vector<uint8_t> bytes(media::kDataStart, 0);
    if (o.leading == LeadingFill::Garbage) {
        uint32_t state = 0x9E3779B9;
        for (auto& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = uint8_t(state);
        }
    } else if (o.leading == LeadingFill::Headers) {
        // Headers of another recorder (4 channels, family 2) that the player must never see.
        for (size_t at = 0; at < bytes.size(); at += media::kSectorBytes) {
            media::BackupHeader h;
            h.signatureByte = 0xFB;
            h.layoutCode = 0x20004;
            h.sectorCount = 8;
            h.time = {1, 1, 1, 0, 0, 0};
            h.sectorLow = uint32_t(at / media::kSectorBytes + 1);
            media::writeBackupHeader(h, {bytes.data() + at, media::kSectorBytes});
        }
    }
    return bytes;
}

}  // namespace

int toneHz(int soundChannel) {
    return 300 + 200 * soundChannel;
}

uint32_t layoutCodeFor(int channelCount, int family) {
    const uint32_t capacity = channelCount == 4 ? 0x04 : channelCount == 8 ? 0x08 : 0x16;
    return uint32_t(family) << 16 | capacity;
}

media::RecordTime addSeconds(const media::RecordTime& time, int64_t seconds) {
    std::tm tm{};
    tm.tm_year = time.year() - 1900;
    tm.tm_mon = int(time.month) - 1;
    tm.tm_mday = int(time.day);
    tm.tm_hour = int(time.hour);
    tm.tm_min = int(time.minute);
    tm.tm_sec = int(time.second);
    const std::time_t t = timegm(&tm) + std::time_t(seconds);
    std::tm out{};
    gmtime_r(&t, &out);
    return {uint32_t(out.tm_year + 1900 - 1996),
            uint32_t(out.tm_mon + 1),
            uint32_t(out.tm_mday),
            uint32_t(out.tm_hour),
            uint32_t(out.tm_min),
            uint32_t(out.tm_sec)};
}

bool generateBackup(const std::string& path, const GeneratorOptions& o, GeneratorReport& report,
                    const std::function<void(int, int)>& progress) {
    report = {};
    if (o.channelCount != 4 && o.channelCount != 8 && o.channelCount != 16) {
        report.error = "channel count must be 4, 8 or 16";
        return false;
    }
    if (o.layoutFamily < 1 || o.layoutFamily > 3) {
        report.error = "layout family must be 1, 2 or 3";
        return false;
    }
    if (o.durationSeconds < 1 || o.groupIntervalSeconds < 1) {
        report.error = "duration and group interval must be at least 1 second";
        return false;
    }
    const int fieldRate = o.pal ? 50 : 60;
    const int fieldHeight = o.pal ? 288 : 240;
    const uint32_t layoutCode = layoutCodeFor(o.channelCount, o.layoutFamily);
    const size_t codestreamBytes =
        o.codestreamBytes ? o.codestreamBytes : synth::defaultCodestreamBytes(fieldHeight);
    const bool sound = o.sound && o.soundMask != 0;

    BackupWriter writer;
    if (!writer.open(path, leadingBytes(o))) {
        report.error = writer.error();
        return false;
    }

    synth::CodestreamCache cache;
    std::map<synth::PictureShape, std::shared_ptr<const std::vector<uint8_t>>> evenCodestreams;
    std::map<int, std::shared_ptr<const std::vector<uint8_t>>> placeholders;
    auto codestreamFor = [&](frame::PictureKind kind,
                             int channel) -> std::shared_ptr<const std::vector<uint8_t>> {
        if (o.syntheticPictures) {
            synth::PictureShape shape;
            // Field records of a frame picture are single pictures of the field height.
            shape.kind = kind == frame::PictureKind::FullHeight ? frame::PictureKind::Single : kind;
            shape.channel = channel;
            shape.channelCount = o.channelCount;
            shape.height = fieldHeight;
            auto& even = evenCodestreams[shape];
            if (!even) {
                const auto encoded = cache.get(shape, codestreamBytes);
                even = std::make_shared<const std::vector<uint8_t>>(evenLengthCodestream(*encoded));
            }
            return even;
        }
        auto& placeholder = placeholders[channel];
        if (!placeholder)
            placeholder = std::make_shared<const std::vector<uint8_t>>(
                placeholderCodestream(codestreamBytes + size_t(channel) * 4, uint32_t(channel + 1)));
        return placeholder;
    };

    ToneSource tones(o.soundMask);
    uint32_t soundSequence = 0;
    int64_t blocksWritten = 0;
    auto corruptionsAt = [&](int index) {
        std::vector<Corruption> kinds;
        for (const auto& c : o.corruptions)
            if (c.pictureIndex == index)
                kinds.push_back(c.kind);
        return kinds;
    };

    const int groups = (o.durationSeconds + o.groupIntervalSeconds - 1) / o.groupIntervalSeconds;
    int totalPictures = 0;
    for (int group = 0; group < groups; ++group)
        totalPictures += int(slotsOf(o, groupLayout(o, group)).size());
    int pictureIndex = 0;
    for (int group = 0; group < groups; ++group) {
        const int second = group * o.groupIntervalSeconds;
        const media::RecordTime time = addSeconds(o.start, second);
        const PictureLayout layout = groupLayout(o, group);
        const std::vector<Slot> slots = slotsOf(o, layout);
        const frame::PictureKind kind = kindOf(layout);
        const uint32_t flags = synth::pictureFlagsFor(kind, o.qualityCode);
        const int groupRecords = int(slots.size());
        const int framesPerGroup = o.framesPerGroup >= 0 ? o.framesPerGroup : std::min(groupRecords, 255);
        for (int r = 0; r < groupRecords; ++r) {
            const Slot& slot = slots[size_t(r)];
            const auto codestream = codestreamFor(kind, slot.channel);
            if (codestream->empty()) {
                report.error = "picture encoding failed";
                return false;
            }
            BackupRecord shape;
            shape.signatureByte = (pictureIndex & 1) ? 0xFB : 0xFA;
            shape.layoutCode = layoutCode;
            shape.channel = uint32_t(slot.channel);
            shape.pictureFlags = flags;
            shape.videoStandard = o.pal ? 0xFFFF0001 : 0xFFFF0000;
            shape.frameIntervalFields =
                uint32_t(std::max(1, o.groupIntervalSeconds * fieldRate / groupRecords));
            shape.groupWord = uint32_t(framesPerGroup);
            shape.time = time;
            // The first record of each group is a skip reload point.
            shape.skipWords = {r == 0 ? 0u : 1u, 0, 0};
            shape.fieldCode = slot.fieldCode;
            shape.codestream = *codestream;
            if (sound) {
                shape.soundType = media::kSoundTrailingBlock;
                shape.soundMask = o.soundMask;
                shape.soundSequence = ++soundSequence;
                shape.soundParameter = 0x0100;
                shape.soundBlock = tones.nextBlock();
                ++blocksWritten;
                ++report.soundBlocks;
            }
            for (Corruption c : corruptionsAt(pictureIndex)) {
                switch (c) {
                    case Corruption::ZeroSectorCount:
                        shape.sectorCountOverride = 0;
                        break;
                    case Corruption::HugeSectorCount:
                        shape.sectorCountOverride = 150;
                        break;
                    case Corruption::ShortRecord:
                        shape.sectorCountOverride = 4;
                        break;
                    case Corruption::NoEndMarker:
                        shape.dropEndMarker = true;
                        break;
                    case Corruption::GarbageSectors:
                        writer.writeGarbageSectors(8, uint32_t(pictureIndex + 7));
                        break;
                    case Corruption::UnknownHeader: {
                        std::array<uint8_t, media::kSectorBytes> sector{};
                        media::BackupHeader h;
                        h.signatureByte = 0xFA;
                        h.layoutCode = uint32_t(o.layoutFamily) << 16 | 0x05;
                        h.sectorCount = 1;
                        h.time = time;
                        media::writeBackupHeader(h, sector);
                        writer.writeSectors(sector);
                        break;
                    }
                    case Corruption::BrokenLink:
                        shape.previousSectorOverride =
                            BackupWriter::kSectorBase + uint32_t(writer.offset() / 512) + 1000;
                        break;
                }
            }
            report.pictureOffsets.push_back(writer.writeRecord(shape));
            ++report.pictureRecords;
            ++pictureIndex;
        }
        // Sound-only records carry the rest of the slot's sound.
        if (sound) {
            const int64_t slotEnd =
                int64_t(second + o.groupIntervalSeconds) * kSampleRate / int64_t(kSamplesPerBlock);
            for (; blocksWritten < slotEnd; ++blocksWritten) {
                BackupRecord shape;
                shape.layoutCode = layoutCode;
                shape.videoStandard = o.pal ? 0xFFFF0001 : 0xFFFF0000;
                shape.frameIntervalFields = 0;
                shape.groupWord = uint32_t(framesPerGroup);
                shape.time = addSeconds(o.start, blocksWritten * int64_t(kSamplesPerBlock) / kSampleRate);
                shape.soundType = media::kSoundOnly;
                shape.soundMask = o.soundMask;
                shape.soundSequence = ++soundSequence;
                shape.soundParameter = 0x0100;
                shape.soundBlock = tones.nextBlock();
                writer.writeRecord(shape);
                ++report.soundRecords;
                ++report.soundBlocks;
            }
        }
        if (progress)
            progress(pictureIndex, totalPictures);
    }
    if (o.trailingZeroBytes)
        writer.skip(o.trailingZeroBytes);
    report.fileSize = writer.offset();
    if (!writer.close()) {
        report.error = writer.error();
        return false;
    }
    return true;
}

}  // namespace dvr::zavgen
