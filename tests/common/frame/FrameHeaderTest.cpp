#include "common/frame/FrameHeader.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/frame/Bytes.h"

using namespace dvr::frame;

TEST(FrameHeader, ParsesNamedFieldsAtTheirOffsets) {
    std::vector<uint8_t> raw(600, 0);
    const std::pair<size_t, uint32_t> fields[] = {
        {0, 0xFFFFFFFA},  {4, 0x20016},      {60, 12345},       {92, 7},           {128, 0x03000002},
        {132, 0x00F0000}, {136, 0xFFFF0000}, {188, 0xFFFF0000}, {512, 0xFFFFFFF0},
    };
    for (auto [offset, value] : fields)
        writeLe32(raw, offset, value);
    raw[300] = 0x5A;  // a word this value does not name

    const auto h = parseFrameHeader(raw);
    ASSERT_TRUE(h);
    EXPECT_EQ(0xFFFFFFFAu, h->marker);
    EXPECT_EQ(0x20016u, h->layoutCode);
    EXPECT_EQ(12345u, h->pictureLength);
    EXPECT_EQ(7u, h->channel);
    EXPECT_EQ(0x03000002u, h->pictureFlags);
    EXPECT_EQ(0x00F0000u, h->channelMaskA);
    EXPECT_EQ(0xFFFF0000u, h->channelMaskB);
    EXPECT_EQ(0xFFFF0000u, h->videoStandard);
    EXPECT_EQ(0xFFFFFFF0u, h->signalWord);

    // Serialising keeps the unnamed words and writes changed fields.
    FrameHeader changed = *h;
    changed.channel = 9;
    const auto bytes = serializeFrameHeader(changed);
    EXPECT_EQ(0x5A, bytes[300]);
    EXPECT_EQ(9u, readLe32(bytes, 92));
    EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + 92, bytes.begin()));
}

TEST(FrameHeader, ShortInputHasNoHeader) {
    EXPECT_FALSE(parseFrameHeader(std::vector<uint8_t>(527, 0)));
    EXPECT_TRUE(parseFrameHeader(std::vector<uint8_t>(528, 0)));
}

TEST(FrameHeader, MarkerLayoutAndFlagsCodes) {
    EXPECT_TRUE(hasPicture(0xFFFFFFFA));
    EXPECT_TRUE(hasPicture(0xFFFFFFFB));
    EXPECT_FALSE(hasPicture(0xFFFFFFFC));
    EXPECT_FALSE(hasPicture(0));

    const std::tuple<uint32_t, int, int> layouts[] = {
        {0x10004, 1, 4}, {0x20008, 2, 8}, {0x30016, 3, 16}, {0x20010, 2, 0}, {0, 0, 0},
    };
    for (auto [code, family, capacity] : layouts) {
        EXPECT_EQ(family, layoutFamily(code)) << std::hex << code;
        EXPECT_EQ(capacity, channelCapacity(code)) << std::hex << code;
    }

    const std::pair<uint32_t, PictureKind> kinds[] = {
        {0, PictureKind::Single},
        {1, PictureKind::Pair},
        {2, PictureKind::Quad},
        {3, PictureKind::Pair},
        {4, PictureKind::FullHeight},
        {6, PictureKind::Quad},
        {0xFF000008, PictureKind::Single},
        {0x04000005, PictureKind::Pair},
    };
    for (auto [flags, kind] : kinds)
        EXPECT_EQ(kind, pictureKind(flags)) << std::hex << flags;

    EXPECT_EQ(3, qualityCode(0x03000001));
    EXPECT_TRUE(isSixtyField(0xFFFF0000));
    EXPECT_FALSE(isSixtyField(0xFFFF0001));
    EXPECT_FALSE(isSixtyField(0));
    EXPECT_EQ(240, fieldHeight(0xFFFF0000));
    EXPECT_EQ(288, fieldHeight(0));
}
