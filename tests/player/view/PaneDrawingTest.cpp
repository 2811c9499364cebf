#include "player/view/PaneDrawing.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "player/view/FieldInterleaver.h"

namespace dvr::player {
namespace {

// Every pane of every layout, in both standards.
std::vector<std::pair<int, PaneRect>> everyPane() {
    std::vector<std::pair<int, PaneRect>> panes;
    for (bool pal : {false, true}) {
        for (int layout = 1; layout <= 4; ++layout) {
            PlayerViewModel model;
            model.setPictureOrigin(20, 30);
            model.setPal(pal);
            model.beginOpen();
            model.fileOpened(16, false);
            model.addPresentChannels(0xFFFF);
            model.layoutButton(layout);
            for (int i = 0; i < model.pageChannelCount(); ++i) {
                panes.emplace_back(layout, model.channelPane(model.pageChannel(i)));
            }
        }
    }
    return panes;
}

TEST(PaneDrawing, ThePaneTextLineSitsInsideThePaneBelowItsMiddle) {
    int smallFont = 0;
    int bigFont = 0;
    for (const auto& [layout, pane] : everyPane()) {
        SCOPED_TRACE(testing::Message() << "layout " << layout << " pane " << pane.left << "," << pane.top);
        const PaneTextLayout text = paneTextLayout(pane, layout);
        // Inside the pane, clear of its middle where the picture's own marks are read.
        EXPECT_GT(text.lineTop, pane.top + pane.height() / 2);
        EXPECT_LE(text.lineTop + text.fontPixels, pane.bottom);
        EXPECT_GT(text.numberLeft, pane.left);
        EXPECT_GT(text.timeLeft, text.numberLeft + 2 * text.fontPixels) << "the number and the time overlap";
        EXPECT_LT(text.timeLeft, pane.right);
        (layout == 4 ? smallFont : bigFont) = text.fontPixels;
    }
    EXPECT_LT(smallFont, bigFont) << "sixteen panes use the smaller font";
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
}

TEST(PaneDrawing, TheTwelveHourClockNamesEveryHourOnce) {
    for (int hour = 0; hour < 24; ++hour) {
        SCOPED_TRACE(hour);
        const int shown = clockHour12(hour);
        EXPECT_GE(shown, 0);
        EXPECT_LT(shown, 12);
        EXPECT_EQ(shown + (clockIsPm(hour) ? 12 : 0), hour);
    }
}

TEST(PaneDrawing, TheCropTrimsTheRecordersMarginsInsideTheSourceAndSkipsUnknownLayouts) {
    const frame::PixelRect sources[] = {{0, 0, 720, 240}, {360, 120, 360, 120}, {0, 288, 360, 288}};
    for (uint32_t family : {0x10000u, 0x20000u, 0x30000u}) {
        std::optional<PaneCrop> first;
        for (uint32_t capacity : {0x0004u, 0x0008u, 0x0016u}) {
            for (const frame::PixelRect& s : sources) {
                SCOPED_TRACE(testing::Message() << std::hex << (family | capacity));
                const std::optional<PaneCrop> crop = paneCrop(family | capacity, s);
                ASSERT_TRUE(crop);
                const frame::PixelRect& c = crop->source;
                EXPECT_GE(c.x, s.x);
                EXPECT_GE(c.y, s.y);
                EXPECT_LE(c.x + c.width, s.x + s.width);
                EXPECT_LE(c.y + c.height, s.y + s.height);
                EXPECT_LT(c.width * c.height, s.width * s.height) << "margins are trimmed";
                EXPECT_GE(crop->destinationTop, 0);
            }
            // The channel capacity does not change what is cut.
            const std::optional<PaneCrop> crop = paneCrop(family | capacity, sources[0]);
            if (first) {
                EXPECT_EQ(crop->source, first->source);
                EXPECT_EQ(crop->destinationTop, first->destinationTop);
            }
            first = crop;
        }
    }
    for (uint32_t unknown : {0u, 0x40016u, 0x10005u, 0x00016u}) {
        EXPECT_FALSE(paneCrop(unknown, sources[0])) << std::hex << unknown;
    }
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
