#include "common/frame/SourceRect.h"

#include <gtest/gtest.h>

using namespace dvr::frame;

TEST(SourceRect, ChannelRectanglesOfEveryKind) {
    struct Case {
        uint32_t flags;
        int channel;
        int height;
        PixelRect rect;
    };
    const Case cases[] = {
        {0, 5, 240, {0, 0, 720, 240}},
        {4, 5, 480, {0, 0, 720, 480}},
        {1, 6, 288, {0, 0, 360, 288}},
        {1, 7, 288, {360, 0, 360, 288}},
        {2, 8, 240, {0, 0, 360, 120}},
        {2, 9, 240, {360, 0, 360, 120}},
        {2, 10, 240, {0, 120, 360, 120}},
        {2, 11, 240, {360, 120, 360, 120}},
        {3, 3, 240, {360, 0, 360, 240}},  // pair wins over quad
        {0x03000002, 3, 288, {360, 144, 360, 144}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rect, channelSourceRect(c.flags, c.channel, 720, c.height))
            << c.flags << " " << c.channel;
}

TEST(SourceRect, BaseChannelAndCount) {
    EXPECT_EQ(10, baseChannel(11, 1));
    EXPECT_EQ(8, baseChannel(11, 2));
    EXPECT_EQ(11, baseChannel(11, 4));
    EXPECT_EQ(2, channelsPerPicture(1));
    EXPECT_EQ(4, channelsPerPicture(2));
    EXPECT_EQ(1, channelsPerPicture(4));
    EXPECT_EQ(1, channelsPerPicture(0));
}
