#include "player/view/PaneDrawing.h"

#include <gtest/gtest.h>

#include "player/view/FieldInterleaver.h"

namespace dvr::player {
namespace {

TEST(PaneDrawing, SixteenPanesUseTheSmallerFontAndMargins) {
    const PaneRect pane{100, 50, 280, 170};
    const PaneTextLayout big = paneTextLayout(pane, 3);
    const PaneTextLayout small = paneTextLayout(pane, 4);
    EXPECT_EQ(big.lineTop, 150);
    EXPECT_EQ(big.timeLeft, 80);
    EXPECT_EQ(small.lineTop, 153);
    EXPECT_EQ(small.timeLeft, 150);
    EXPECT_EQ(small.numberLeft, 105);
    EXPECT_LT(small.fontPixels, big.fontPixels);
}

TEST(PaneDrawing, Texts) {
    const DateTime t{2026, 3, 7, 9, 5, 1};
    EXPECT_EQ(paneTimeText(t), "2026/03/07  09:05:01        ");
    EXPECT_EQ(channelNumberText(0), "01");
    EXPECT_EQ(channelNumberText(15), "16");
    EXPECT_EQ(timeInfoDate(t), "DATE : 2026 / 03 / 07");
    EXPECT_EQ(timeInfoTime(t), "TIME : 09 : 05 : 01");
    EXPECT_EQ(timeInfoDate(std::nullopt), "DATE : --- / --- / ---");
    EXPECT_EQ(timeInfoTime(std::nullopt), "TIME : --- : --- : ---");
    EXPECT_EQ(clockHour12(0), 0);
    EXPECT_EQ(clockHour12(11), 11);
    EXPECT_EQ(clockHour12(12), 0);
    EXPECT_EQ(clockHour12(23), 11);
    EXPECT_FALSE(clockIsPm(11));
    EXPECT_TRUE(clockIsPm(12));
}

TEST(PaneDrawing, CropByLayoutCode) {
    const frame::PixelRect whole{0, 0, 720, 240};
    const auto a = paneCrop(0x30016, whole);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->source, (frame::PixelRect{4, 0, 700, 234}));
    EXPECT_EQ(a->destinationTop, 0);
    const auto b = paneCrop(0x20008, {360, 120, 360, 120});
    ASSERT_TRUE(b);
    EXPECT_EQ(b->source, (frame::PixelRect{364, 124, 352, 110}));
    EXPECT_EQ(b->destinationTop, 2);
    EXPECT_FALSE(paneCrop(0x40016, whole));
}

frame::DecodedPicture field(int height, uint8_t base) {
    frame::DecodedPicture picture;
    picture.width = 720;
    picture.height = height;
    for (int row = 0; row < height; ++row) {
        std::fill_n(picture.pixels.begin() + row * 2880, 2880, static_cast<uint8_t>(base + row));
    }
    return picture;
}

TEST(FieldInterleaver, WeavesRowsFromTheRecordersFirstRow) {
    struct Case {
        uint32_t layoutCode;
        int firstRow;
    };
    for (const Case& k : {Case{0x20016, 4}, Case{0x10016, 3}}) {
        FieldInterleaver weaver;
        frame::DecodedPicture out;
        weaver.firstField(2, field(240, 0));
        ASSERT_TRUE(weaver.secondField(2, field(240, 100), k.layoutCode, out));
        EXPECT_EQ(out.width, 720);
        EXPECT_EQ(out.height, 480);
        EXPECT_EQ(out.pixels[0], k.firstRow);
        EXPECT_EQ(out.pixels[2880], 100 + k.firstRow);
        EXPECT_EQ(out.pixels[2 * 2880 * 10], 10 + k.firstRow);
        // Rows past the field's end repeat its last row instead of reading beyond it.
        EXPECT_EQ(out.pixels[2 * 2880 * 239], 239);
        EXPECT_EQ(out.pixels[2 * 2880 * 239 + 2880], static_cast<uint8_t>(100 + 239));
    }
}

TEST(FieldInterleaver, DropsASecondFieldOfAnotherChannel) {
    FieldInterleaver weaver;
    frame::DecodedPicture out;
    EXPECT_FALSE(weaver.secondField(0, field(288, 0), 0x10004, out));
    weaver.firstField(1, field(288, 0));
    EXPECT_FALSE(weaver.secondField(3, field(288, 0), 0x10004, out));
    EXPECT_FALSE(weaver.secondField(1, field(240, 0), 0x10004, out));
    EXPECT_TRUE(weaver.secondField(1, field(288, 0), 0x10004, out));
    EXPECT_EQ(out.height, 576);
    EXPECT_FALSE(weaver.secondField(1, field(288, 0), 0x10004, out));
}

}  // namespace
}  // namespace dvr::player
