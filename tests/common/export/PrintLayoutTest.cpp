// The printed page's layout in the printer's device pixels: print units, the picture's place and the
// lines above and below it.
#include "common/export/PrintLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace dvr::exporting {
namespace {

TEST(PrintLayout, PrintUnitsRoundToTheNearestDot) {
    const struct {
        int n;
        int dpi;
        int unit;
    } cases[] = {
        {10, 600, 71},                      // 71.43
        {120, 84, 120},                     // one dot a unit
        {1, 42, 1},                         // a half rounds up
        {1, 41, 0},     {300, 1200, 4286},  // 4285.71
        {0, 600, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printUnit(c.n, c.dpi), c.unit) << c.n << " at " << c.dpi;
    EXPECT_EQ(printFontHeight(300), 36);  // 35.71
}

TEST(PrintLayout, LinesFollowEachOtherAndTheFooterFollowsThePicture) {
    PrintSheet sheet;
    sheet.documentTitle = "job";
    sheet.marginExtraPx = 7;
    sheet.heading = "head";
    sheet.spanCaption = "span";
    sheet.spanCaptionColumn = 100;
    sheet.spanStart = "start";
    sheet.spanEnd = "end";
    sheet.spanStartColumn = 10;
    sheet.spanMarkColumn = 20;
    sheet.spanEndColumn = 30;
    sheet.pictureNote = "note";
    sheet.pictureTime = "when";
    sheet.footerGapUnits = 50;
    sheet.printTime = "printed";
    sheet.sizeText = "size";
    // 84 dots per inch: a print unit is a dot. A 700-dot page, the letter "A" 5 x 9.
    const PrintMetrics metrics{80, 84, 700, 5, 9};
    const PrintPage page = layoutPrintPage(metrics, sheet);
    EXPECT_EQ(page.title, "job");
    EXPECT_EQ(page.fontHeightPx, 10);
    EXPECT_EQ(page.pictureX, 80);
    EXPECT_EQ(page.pictureY, 84 + 120);
    EXPECT_EQ(page.pictureWidth, 700 - 200);  // less two and a half inches of 80 dots
    EXPECT_EQ(page.pictureHeight, 375);

    const int margin = 87;
    const int bottom = 204 + 375;
    const struct {
        std::string text;
        int x;
        int y;
    } expected[] = {
        {"head", margin, 84},
        {std::string(89, '_'), margin, 84 + 1 + 9},
        {"span", margin + 100 + 5, 94 + 10 + 9},
        {"start", margin + 10 + 5, 113 + 4 + 9},
        {"~", margin + 20 + 5, 126},
        {"end", margin + 30 + 5, 126},
        {"note", margin, bottom},
        {"when", margin + 385 + 5, bottom},
        {std::string(89, '_'), margin, bottom + 50 + 9},
        {"printed", margin, bottom + 59 + 6 + 9},
        {"size", margin + 410 + 5, bottom + 74},
    };
    ASSERT_EQ(page.texts.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(page.texts[i].text, expected[i].text) << i;
        EXPECT_EQ(page.texts[i].x, expected[i].x) << expected[i].text;
        EXPECT_EQ(page.texts[i].y, expected[i].y) << expected[i].text;
    }

    // A note beside the heading comes right after it, on its line.
    sheet.headingNote = "v1";
    sheet.headingNoteColumn = 40;
    const PrintPage noted = layoutPrintPage(metrics, sheet);
    ASSERT_EQ(noted.texts.size(), page.texts.size() + 1);
    EXPECT_EQ(noted.texts[1].text, "v1");
    EXPECT_EQ(noted.texts[1].x, margin + 40 + 5);
    EXPECT_EQ(noted.texts[1].y, 84);
}

}  // namespace
}  // namespace dvr::exporting
