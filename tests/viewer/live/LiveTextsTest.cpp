#include "viewer/live/LiveTexts.h"

#include <gtest/gtest.h>

#include "common/frame/FormatText.h"

namespace dvr::live {
namespace {

TEST(LiveTexts, TwelveHourClock) {
    struct Case {
        int hour, minute, second;
        const char* text;
    };
    const Case cases[] = {
        {0, 5, 9, "AM 00 : 05 : 09"},   {11, 59, 59, "AM 11 : 59 : 59"}, {12, 0, 0, "PM 12 : 00 : 00"},
        {13, 30, 0, "PM 01 : 30 : 00"}, {23, 1, 2, "PM 11 : 01 : 02"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(timeText(c.hour, c.minute, c.second), c.text);
    }
    EXPECT_EQ(dateText(2026, 3, 7), "2026 / 03 / 07");
    EXPECT_EQ(frameRateText(7), "# 07 Fps #");
    EXPECT_EQ(frameRateText(123), "# 123 Fps #");
}

TEST(LiveTexts, StatusTextsKeepTheirPadding) {
    struct Case {
        int type;
        const char* key;
        const char* fallback;
    };
    const Case cases[] = {
        {0, "WAITING FOR CONNECTION", "WAITING FOR CONNECTION."},
        {1, "CONNECTION ESTABLISHED", "CONNECTION ESTABLISHED."},
        {2, "CONNECTING", "CONNECTING..           "},
        {8, "KEY LOCK", "KEY LOCK!!             "},
    };
    for (const Case& c : cases) {
        const auto text = statusText(c.type);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->section, "STATUS_STRING");
        EXPECT_EQ(text->key, c.key);
        EXPECT_EQ(text->fallback, c.fallback);
    }
    EXPECT_FALSE(statusText(3).has_value());
}

TEST(LiveTexts, Positions) {
    EXPECT_EQ(positionText("R-POS", 1200000), "R-POS : 120%");
    EXPECT_EQ(positionText("P-POS", 59999), "P-POS : 005%");
    EXPECT_EQ(positionText("P-POS", 0xFFFFFFFF), "P-POS : 429496%");
}

TEST(LiveTexts, SpeedStaysWithinOneToTen) {
    int speed = 8;
    for (int i = 0; i < 10; ++i) {
        speed = speedAfterPlus(speed);
    }
    EXPECT_EQ(speed, 10);
    for (int i = 0; i < 12; ++i) {
        speed = speedAfterMinus(speed);
    }
    EXPECT_EQ(speed, 1);
    EXPECT_EQ(speedAfterMinus(0), 1);
    EXPECT_EQ(speedAfterMinus(-5), 1);
}

TEST(LiveTexts, PtzChannelWrapsAndShowsOneBased) {
    EXPECT_EQ(stepPtzChannel(15, +1), 0);
    EXPECT_EQ(stepPtzChannel(0, -1), 15);
    EXPECT_EQ(ptzChannelText(0), "001");
    EXPECT_EQ(ptzChannelText(15), "016");
}

TEST(LiveTexts, QualityTextOfFiftyFieldFullHeight) {
    frame::FormatText quality(frame::FormatTextStyle::Live);
    EXPECT_TRUE(quality.update(0x03000004, 0));
    EXPECT_EQ(quality.text(), "FINE              \n@720*576");
}

}  // namespace
}  // namespace dvr::live
