#include "common/frame/ChannelCode.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dvr::frame;

namespace {

constexpr size_t kRowBytes = 720 * 4;

// Sets the 8 bytes the line code samples in block k.
void setLineBlock(std::vector<uint8_t>& px, size_t k, uint8_t value) {
    const size_t start = k * 64 + (k % 2 == 0 ? 32 : 0);
    for (size_t j = 0; j < 8; ++j)
        px[start + 4 * j] = value;
}

std::vector<uint8_t> lineCodePicture(int code) {
    std::vector<uint8_t> px(kRowBytes * 2, 0);
    for (int bit = 0; bit < 5; ++bit) {
        if (code & (1 << bit))
            setLineBlock(px, size_t(2 * (7 - bit)), 255);
    }
    return px;
}

void setPatch(std::vector<uint8_t>& px, size_t offset, uint32_t low24) {
    for (size_t j = 0; j < 8; ++j) {
        px[offset + 4 * j] = uint8_t(low24);
        px[offset + 4 * j + 1] = uint8_t(low24 >> 8);
        px[offset + 4 * j + 2] = uint8_t(low24 >> 16);
        px[offset + 4 * j + 3] = 0xFF;  // the X byte is not part of the patch value
    }
}

}  // namespace

TEST(ChannelCode, PatchesBrightDarkDarkBrightAreChannel9) {
    std::vector<uint8_t> px(kRowBytes * 2, 0);
    setPatch(px, 3952, 0xFFFFFF);
    setPatch(px, 4336, 0xFFFFFF);
    EXPECT_EQ(9, readPatchCode(px));
}

TEST(ChannelCode, PatchThresholdIsStrictlyAboveHalf) {
    std::vector<uint8_t> px(kRowBytes * 2, 0);
    setPatch(px, 3952, 0x800000);
    EXPECT_EQ(0, readPatchCode(px));
    setPatch(px, 3952, 0x800001);
    EXPECT_EQ(8, readPatchCode(px));
}

TEST(ChannelCode, LineCodeMapping) {
    struct Case {
        int code;
        int channelCount;
        int channel;
    };
    const Case cases[] = {
        {17, 4, 1},  // 5 modulo 4
        {17, 8, 5}, {19, 8, 7},  {20, 8, 0},   {3, 8, 3},   {4, 8, 0},   {7, 16, 7},
        {8, 16, 0}, {16, 16, 8}, {23, 16, 15}, {24, 16, 0}, {31, 16, 0}, {2, 1, 0},  // one-channel recorder
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.channel, readLineCode(lineCodePicture(c.code), c.channelCount))
            << c.code << " on " << c.channelCount;
}

TEST(ChannelCode, LineCodeIgnoresOddBlocksHighBitsAndUsesStrictThreshold) {
    auto px = lineCodePicture(0);
    for (size_t k = 1; k < 27; k += 2)
        setLineBlock(px, k, 255);  // odd blocks never count
    for (size_t k : {0, 2, 4, 16, 18, 20, 22, 24, 26})
        setLineBlock(px, k, 255);  // bits above the low 5 and blocks past 14
    EXPECT_EQ(0, readLineCode(px, 16));

    setLineBlock(px, 14, 128);  // mean 128 is not bright
    EXPECT_EQ(0, readLineCode(px, 16));
    setLineBlock(px, 14, 129);
    EXPECT_EQ(1, readLineCode(px, 16));
}

TEST(ChannelCode, ShortPixelsReadAsDark) {
    std::vector<uint8_t> px(4000, 0xFF);  // ends inside the second patch
    EXPECT_EQ(8, readPatchCode(px));
    EXPECT_EQ(0, readPatchCode({}));
    EXPECT_EQ(0, readLineCode({}, 16));
}

TEST(ChannelCode, LineCodeForChannelInvertsTheMapping) {
    for (int count : {4, 8, 16}) {
        for (int channel = 0; channel < count; ++channel)
            EXPECT_EQ(channel, readLineCode(lineCodePicture(lineCodeForChannel(channel, count)), count))
                << channel << " of " << count;
    }
}

TEST(ChannelCode, AlignmentAndMethods) {
    const std::tuple<int, uint32_t, int> aligned[] = {
        {7, 0, 7}, {7, 1, 6}, {7, 2, 4}, {7, 3, 6}, {13, 0x03000002, 12}, {13, 4, 13},
    };
    for (auto [channel, flags, result] : aligned)
        EXPECT_EQ(result, alignChannel(channel, flags)) << channel << " " << flags;

    EXPECT_EQ(ChannelMethod::PatchCode, viewerMethod(1));
    EXPECT_EQ(ChannelMethod::LineCode, viewerMethod(2));
    EXPECT_EQ(ChannelMethod::PatchCode, viewerMethod(3));
    EXPECT_EQ(ChannelMethod::PatchCode, viewerMethod(0));
    EXPECT_EQ(ChannelMethod::PatchCode, playerMethod(1));
    EXPECT_EQ(ChannelMethod::LineCode, playerMethod(2));
    EXPECT_EQ(ChannelMethod::PatchCode, playerMethod(3));
    EXPECT_EQ(ChannelMethod::LineCode, playerMethod(0));
}
