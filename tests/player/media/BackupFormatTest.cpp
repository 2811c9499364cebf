#include "player/media/BackupFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

namespace dvr::media {
namespace {

TEST(BackupFormat, RecordSignature) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        bool signature;
    };
    const Case cases[] = {
        {{0xFA, 0xFF, 0xFF, 0xFF}, true},  {{0xFB, 0xFF, 0xFF, 0xFF}, true},
        {{0xFC, 0xFF, 0xFF, 0xFF}, false}, {{0xFA, 0xFF, 0xFE, 0xFF}, false},
        {{0xFF, 0xFF, 0xFF, 0xFA}, false}, {{0x00, 0x00, 0x00, 0x00}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hasRecordSignature(c.bytes), c.signature) << int(c.bytes[0]);
    EXPECT_FALSE(hasRecordSignature(std::span<const uint8_t>(cases[0].bytes).first(3)));
}

TEST(BackupFormat, HeaderRoundTripsThroughItsSector) {
    BackupHeader h;
    h.signatureByte = 0xFB;
    h.layoutCode = 0x30016;
    h.frameIntervalFields = 15;
    h.previousSectorHigh = 1;
    h.previousSectorLow = 0x1234;
    h.sectorHigh = 1;
    h.sectorLow = 0x1250;
    h.pictureLength = 20001;
    h.sectorCount = 42;
    h.groupWord = 0x1104;
    h.channel = 9;
    h.time = {30, 5, 17, 23, 59, 58};
    h.pictureFlags = 0x03000002;
    h.skipWords = {1, 2, 3};
    h.videoStandard = 0xFFFF0001;
    h.soundWord = 0x800F;
    h.soundSequence = 77;
    h.soundParameterWord = 0xABCD0100;
    std::array<uint8_t, kSectorBytes> sector{};
    writeBackupHeader(h, sector);
    EXPECT_TRUE(hasRecordSignature(sector));
    const auto parsed = parseBackupHeader(sector);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sectorNumber(), (uint64_t(1) << 32) | 0x1250);
    EXPECT_EQ(parsed->previousSectorNumber(), (uint64_t(1) << 32) | 0x1234);
    EXPECT_EQ(parsed->time, h.time);
    EXPECT_EQ(parsed->framesPerGroup(), 4);
    EXPECT_EQ(parsed->fieldRate(), 50);
    EXPECT_DOUBLE_EQ(parsed->displayTimeSeconds(), 15.0 / 50);
    EXPECT_EQ(parsed->soundType(), kSoundTrailingBlock);
    EXPECT_EQ(parsed->soundChannelMask(), 0x0F);
    EXPECT_EQ(parsed->soundParameter(), 0x0100);
    EXPECT_EQ(parsed->channelCount(), 16);
    // The picture length of a record with sound counts 4 bytes less per sound channel bit.
    EXPECT_EQ(parsed->endSearchLength(), 20001 - 4 * 15);
    EXPECT_FALSE(parseBackupHeader(std::span<const uint8_t>(sector).first(511)));
}

TEST(BackupFormat, DerivedValues) {
    struct Case {
        uint32_t groupWord, flags, channel, standard, layoutCode;
        int framesPerGroup;
        uint32_t mask;
        int fieldRate, channels;
    };
    const Case cases[] = {
        {0x00, 0, 0, 0xFFFF0000, 0x10004, 0, 0x1, 60, 4},
        {0x01, 1, 2, 0xFFFF0001, 0x20008, 2, 0x3 << 2, 50, 8},  // 1 counts as 2
        {0x02, 2, 4, 0, 0x30016, 2, 0xF << 4, 60, 16},
        {0x310, 3, 6, 1, 0x10005, 16, 0x3 << 6, 50, 0},  // pair bit decides; low byte only
        {0xFF, 4, 15, 0xFFFF0000, 0x20016, 255, 0x1 << 15, 60, 16},
        {0x05, 0, 40, 0, 0x10016, 5, 0, 60, 16},  // no channel beyond the mask
    };
    for (const auto& c : cases) {
        BackupHeader h;
        h.groupWord = c.groupWord;
        h.pictureFlags = c.flags;
        h.channel = c.channel;
        h.videoStandard = c.standard;
        h.layoutCode = c.layoutCode;
        EXPECT_EQ(h.framesPerGroup(), c.framesPerGroup) << c.groupWord;
        EXPECT_EQ(h.channelMask(), c.mask) << c.flags << " " << c.channel;
        EXPECT_EQ(h.fieldRate(), c.fieldRate);
        EXPECT_EQ(h.channelCount(), c.channels);
    }
}

TEST(BackupFormat, SkipReloadPointUsesTheLowHalves) {
    struct Case {
        std::array<uint32_t, 3> words;
        bool reload;
    };
    const Case cases[] = {
        {{0, 0, 0}, true},
        {{0xFFFF0000, 0x12340000, 0x10000}, true},  // high halves do not count
        {{1, 0, 0}, false},
        {{0, 0, 0x8000}, false},
        {{0xFFFF, 0xFFFF, 0x0002}, false},  // 0x20000
    };
    for (const auto& c : cases) {
        BackupHeader h;
        h.skipWords = c.words;
        EXPECT_EQ(h.isSkipReloadPoint(), c.reload) << c.words[0] << " " << c.words[1] << " " << c.words[2];
    }
}

TEST(BackupFormat, OrderingCount) {
    const RecordTime a{30, 1, 31, 23, 59, 59};
    const RecordTime b{30, 2, 1, 0, 0, 0};
    EXPECT_LT(orderingCount(a), orderingCount(b));
    EXPECT_EQ(orderingCount(RecordTime{0, 1, 1, 0, 0, 1}), 1 + 86400 + 2678400);
    EXPECT_EQ(orderingCount(RecordTime{1, 1, 1, 0, 0, 0}) - orderingCount(RecordTime{0, 1, 1, 0, 0, 0}),
              32140800);
    // Invalid dates count every part as -1: negative, so never later than a start time.
    for (const RecordTime& bad : {RecordTime{30, 13, 1, 0, 0, 0}, RecordTime{30, 2, 30, 0, 0, 0},
                                  RecordTime{30, 1, 0, 0, 0, 0}, RecordTime{30, 1, 1, 24, 0, 0},
                                  RecordTime{30, 1, 1, 0, 60, 0}, RecordTime{0xFFFFFFFF, 1, 1, 0, 0, 0}}) {
        EXPECT_FALSE(bad.isValid()) << bad.text();
        EXPECT_LT(orderingCount(bad), 0) << bad.text();
    }
    EXPECT_TRUE((RecordTime{28, 2, 29, 0, 0, 0}.isValid()));  // 2024 is a leap year
    EXPECT_EQ((RecordTime{30, 5, 7, 8, 9, 1}.text()), "2026-05-07 08:09:01");
    // A damaged year word gives a year out of range, never an overflow (the sanitizers watch this).
    EXPECT_EQ((RecordTime{0x7FFFFFFF, 1, 1, 0, 0, 0}.year()), std::numeric_limits<int>::max());
    EXPECT_EQ((RecordTime{0x7FFFF835, 1, 1, 0, 0, 0}.dateTime().year), std::numeric_limits<int>::max());
    EXPECT_EQ((RecordTime{0xFFFFFFFF, 1, 1, 0, 0, 0}.year()), 1995);
}

TEST(BackupFormat, SwapWordsReversesEachGroupAndLeavesAShortTail) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    swapWords(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{4, 3, 2, 1, 8, 7, 6, 5, 9, 10}));
}

TEST(BackupFormat, FieldCodeFromSubHeaderByte11) {
    std::array<uint8_t, kSubHeaderBytes> sub{};
    const std::pair<uint8_t, int> cases[] = {{0xF0, 0}, {0xF1, 1}, {0xF2, 255}, {0x00, 255}};
    for (const auto& [byte, code] : cases) {
        sub[11] = byte;
        EXPECT_EQ(fieldCode(sub), code);
    }
}

std::array<uint8_t, kSoundBlockBytes> blockOf(const std::array<std::vector<uint8_t>, 4>& channels) {
    std::array<uint8_t, kSoundBlockBytes> block;
    block.fill(0x55);
    for (size_t k = 0; k < 4; ++k)
        for (size_t g = 0; g < channels[k].size(); ++g)
            block[g * 4 + k] = channels[k][g];
    return block;
}

TEST(BackupFormat, SoundBlockEndsAtTheFirst8080Pair) {
    // Channel 0: data 1 2 3, pad 9, end pair. Channel 1: a single 0x80 is data. Channel 2: the end pair
    // at once. Channel 3: no end pair at all.
    const auto block = blockOf({std::vector<uint8_t>{1, 2, 3, 9, 0x80, 0x80, 7},
                                std::vector<uint8_t>{0x80, 5, 0x80, 6, 0x80, 0x80},
                                std::vector<uint8_t>{0x80, 0x80, 1}, std::vector<uint8_t>{}});
    SoundChannels out;
    splitSoundBlock(block, 0x0F, out);
    EXPECT_EQ(std::vector<uint8_t>(out.channel(0).begin(), out.channel(0).end()),
              (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::vector<uint8_t>(out.channel(1).begin(), out.channel(1).end()),
              (std::vector<uint8_t>{0x80, 5, 0x80}));
    EXPECT_EQ(out.counts[2], 0u);
    EXPECT_EQ(out.counts[3], 255u);  // the last group never carries data

    // Channels whose bit is clear stay empty; a short block gives nothing.
    splitSoundBlock(block, 0x02, out);
    EXPECT_EQ(out.counts[0], 0u);
    EXPECT_EQ(out.counts[1], 3u);
    splitSoundBlock(std::span<const uint8_t>(block).first(1000), 0x0F, out);
    EXPECT_EQ(out.counts, (std::array<size_t, 4>{}));
}

}  // namespace
}  // namespace dvr::media
