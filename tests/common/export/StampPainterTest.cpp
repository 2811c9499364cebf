// The time stamp as drawn by QtGui: white text with a black outline on the bottom line only, the
// channel number at the left.
#include <gtest/gtest.h>

#include "common/export/render/StampPainter.h"

namespace {

using namespace dvr::exporting;

struct Counts {
    int white = 0;
    int black = 0;
};

Counts countIn(const std::vector<uint8_t>& bgr, int width, int x0, int y0, int x1, int y1) {
    Counts c;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &bgr[(size_t(y) * size_t(width) + size_t(x)) * 3];
            if (p[0] > 240 && p[1] > 240 && p[2] > 240)
                ++c.white;
            if (p[0] < 15 && p[1] < 15 && p[2] < 15)
                ++c.black;
        }
    return c;
}

TEST(StampPainter, DrawsTheTimeBottomRightAndTheChannelBottomLeft) {
    StampPainter painter;
    const int w = 360, h = 240;
    for (const int channel : {-1, 4}) {
        std::vector<uint8_t> bgr(size_t(w) * h * 3, 128);
        painter.draw(bgr.data(), w, h, size_t(w) * 3, Stamp{{2026, 5, 17, 12, 0, 4}, channel, 20});
        const Counts above = countIn(bgr, w, 0, 0, w, h - 22);
        EXPECT_EQ(above.white + above.black, 0) << "nothing above the text line";
        const Counts time = countIn(bgr, w, w / 2, h - 21, w, h);
        EXPECT_GT(time.white, 100);
        EXPECT_GT(time.black, 50);
        const Counts left = countIn(bgr, w, 0, h - 21, 60, h);
        if (channel < 0)
            EXPECT_EQ(left.white, 0);
        else
            EXPECT_GT(left.white, 20);
    }
}

}  // namespace
