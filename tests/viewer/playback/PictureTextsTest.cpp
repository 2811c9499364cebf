// The texts of the playback window's saved and printed pictures, without Qt: the snapshot's stamp and
// the printed page's lines, placed on a page by the shared print layout.
#include "viewer/playback/PictureTexts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace dvr::playback {
namespace {

TEST(PictureTextsTest, NinePaneStampLabelsPanesFromTheFirstChannel) {
    const DateTime t{2006, 1, 2, 3, 4, 5};
    const auto texts = snapshotStampTexts(3, 7, 255, 640, 480, t);
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[0], (SnapshotText{240, 5, "2006-01-02 03-04-05", false}));
    for (int i = 0; i < 9; ++i) {
        char label[16];
        std::snprintf(label, sizeof label, "CAM%02d", 8 + i);
        EXPECT_EQ(texts[size_t(i) + 1].text, label);
    }
    // Bottom-right pane: column 3, row 3 of 213 x 160 panes.
    EXPECT_EQ(texts[9].x, 213 / 2 - 25 + 2 * 213);
    EXPECT_EQ(texts[9].y, 3 * 160 - 20);
    const auto single = snapshotStampTexts(1, 0, 4, 640, 480, t);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0], (SnapshotText{240, 5, "CAM5 2006-01-02 03-04-05", true}));
}

TEST(PictureTextsTest, PrintedPageTellsTheRangeAndThePicturesRealSize) {
    PrintedPicture p;
    p.title = "Vistrel";
    p.dateTimeCaption = "PLAY DATE/TIME";
    p.rangeStart = {2006, 1, 2, 3, 4, 5};
    p.rangeEnd = {2006, 1, 2, 4, 4, 5};
    p.requestTime = {2006, 1, 2, 3, 30, 0};
    p.printTime = {2026, 12, 8, 9, 10, 11};
    p.width = 704;
    p.height = 79;
    const exporting::PrintSheet sheet = playbackPrintSheet(p);
    EXPECT_EQ(sheet.documentTitle, "Vistrel PRINT");

    // 600 dots per inch, an 8.5-inch page, the letter "A" 40 x 60.
    const exporting::PrintPage page = exporting::layoutPrintPage({600, 600, 5100, 40, 60}, sheet);
    EXPECT_EQ(page.title, "Vistrel PRINT");
    EXPECT_EQ(page.pictureWidth, 5100 - 1500);
    EXPECT_EQ(page.pictureHeight, page.pictureWidth * 3 / 4);
    const int margin = 650;  // one inch and 50 pixels
    auto column = [&](int k) { return margin + exporting::printUnit(k, 600) + 40; };
    const int picture = 600 + exporting::printUnit(120, 600) + page.pictureHeight;
    const int footer = picture + exporting::printUnit(200, 600) + 60 + exporting::printUnit(6, 600) + 60;
    const struct {
        std::string text;
        int x;
    } expected[] = {
        {"Vistrel", margin},
        {std::string(89, '_'), margin},
        {"PLAY DATE/TIME", column(195)},
        {"2006-01-02 03-04-05", column(95)},
        {"~", column(230)},
        {"2006-01-02 04-04-05", column(280)},
        {"704 * 79 PIXEL", margin},
        {"2006-01-02 03-30-00", column(385)},
        {std::string(89, '_'), margin},
        {"2026-12-08 09-10-11", margin},
        {"704 * 079 PIXEL", column(410)},
    };
    ASSERT_EQ(page.texts.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(page.texts[i].text, expected[i].text) << i;
        EXPECT_EQ(page.texts[i].x, expected[i].x) << expected[i].text;
    }
    EXPECT_EQ(page.texts[6].y, picture);
    EXPECT_EQ(page.texts[10].y, footer);
}

}  // namespace
}  // namespace dvr::playback
