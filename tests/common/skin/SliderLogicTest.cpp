#include "common/skin/SliderLogic.h"

#include <gtest/gtest.h>

using dvr::skin::PlayerSliderLogic;
using dvr::skin::ViewerSliderLogic;

TEST(ViewerSliderLogic, DragMapsThumbOverTravelToRange) {
    struct Case {
        int pointerX;
        int thumbX;
        int position;
    };
    const Case cases[] = {
        {300, 293, 86399 * 293 / 578},
        {0, 0, 0},
        {7, 0, 0},
        {585, 578, 86399},
        {2000, 578, 86399},
        {-50, 0, 0},
    };
    for (const Case& c : cases) {
        ViewerSliderLogic s;
        s.setRange(0, 86399);
        s.press();
        ASSERT_TRUE(s.release(c.pointerX));
        EXPECT_EQ(s.thumbXPx(), c.thumbX) << c.pointerX;
        EXPECT_EQ(s.position(), c.position) << c.pointerX;
        EXPECT_FALSE(s.dragging());
    }
}

TEST(ViewerSliderLogic, RangeMinimumIsNotAdded) {
    ViewerSliderLogic s;
    s.setRange(100, 200);
    s.press();
    s.dragTo(7 + 289);
    EXPECT_EQ(s.position(), 50);
}

TEST(ViewerSliderLogic, MovesWithoutPressChangeNothing) {
    ViewerSliderLogic s;
    s.setRange(0, 86399);
    EXPECT_FALSE(s.dragTo(300));
    EXPECT_FALSE(s.release(300));
    EXPECT_EQ(s.thumbXPx(), 0);
}

TEST(ViewerSliderLogic, SetPositionPlacesThumbAndStaysOnTrack) {
    ViewerSliderLogic s;
    s.setRange(0, 86399);
    s.setPosition(36000);
    EXPECT_EQ(s.thumbXPx(), 36000 / 149);
    EXPECT_EQ(s.position(), 36000);
    s.setPosition(86399);
    EXPECT_EQ(s.thumbXPx(), 578) << "the last second of the day stays on the travel";
}

TEST(PlayerSliderLogic, ReleaseSnapsToTheEnds) {
    struct Case {
        int releaseX;
        int lastX;
        int thumbX;
    };
    const int width = 728;
    const Case cases[] = {
        {8, 0, -9},                         // x <= 8 gives 0
        {9, 9, 0},                          // first pixel that keeps its place
        {300, 300, 291},  {719, 719, 710},  // width - 9 keeps its place
        {720, 728, 719},                    // x > width - 9 gives the width
        {5000, 728, 719},
    };
    for (const Case& c : cases) {
        PlayerSliderLogic s;
        s.setWidth(width);
        ASSERT_TRUE(s.press(s.paintThumbXPx() + 1));
        ASSERT_TRUE(s.release(c.releaseX));
        EXPECT_EQ(s.lastXPx(), c.lastX) << c.releaseX;
        EXPECT_EQ(s.thumbXPx(), c.thumbX) << c.releaseX;
        EXPECT_GE(s.paintThumbXPx(), 0);
        EXPECT_LE(s.paintThumbXPx(), width - 18);
    }
}

TEST(PlayerSliderLogic, DragClampsPointerToHalfThumbFromTheEdges) {
    PlayerSliderLogic s;
    s.setWidth(200);
    ASSERT_TRUE(s.press(5));
    s.dragTo(-40);
    EXPECT_EQ(s.thumbXPx(), 0);
    s.dragTo(500);
    EXPECT_EQ(s.thumbXPx(), 200 - 18);
}

TEST(PlayerSliderLogic, PressOffTheThumbJumpsWithoutDrag) {
    PlayerSliderLogic s;
    s.setWidth(200);
    EXPECT_FALSE(s.press(100));
    EXPECT_FALSE(s.dragging());
    EXPECT_EQ(s.thumbXPx(), 91);
    EXPECT_EQ(s.lastXPx(), 100);
    EXPECT_FALSE(s.release(120)) << "no drag, no notification";
}
