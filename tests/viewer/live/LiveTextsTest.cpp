#include "viewer/live/LiveTexts.h"

#include <gtest/gtest.h>

namespace dvr::live {
namespace {

using link::ConnectionState;

// The clock turns at noon and midnight: midnight reads AM 00, noon PM 12, the afternoon PM 01-11.
TEST(LiveTexts, ClockTurnsAtNoonAndMidnight) {
    EXPECT_EQ(timeText(0, 5, 9), "AM 00 : 05 : 09");
    EXPECT_EQ(timeText(11, 59, 59), "AM 11 : 59 : 59");
    EXPECT_EQ(timeText(12, 0, 0), "PM 12 : 00 : 00");
    EXPECT_EQ(timeText(13, 30, 0), "PM 01 : 30 : 00");
    EXPECT_EQ(timeText(23, 1, 2), "PM 11 : 01 : 02");
    // A rate past two digits widens the text rather than losing a digit.
    EXPECT_EQ(frameRateText(123), "# 123 Fps #");
}

// Each status is drawn over the one before it without clearing the line: every default text has the
// same width, so none leaves the tail of a longer one behind.
TEST(LiveTexts, EveryStatusTextCoversTheOneBefore) {
    const ConnectionState states[] = {ConnectionState::Waiting, ConnectionState::Established,
                                      ConnectionState::Connecting, ConnectionState::KeyLock};
    size_t width = 0;
    for (ConnectionState state : states) {
        const auto text = statusText(state);
        ASSERT_TRUE(text.has_value()) << int(state);
        if (width == 0)
            width = text->fallback.size();
        EXPECT_EQ(text->fallback.size(), width) << text->fallback;
    }
    EXPECT_FALSE(statusText(ConnectionState(3)).has_value());
}

// A position past 100 % (the recorder reports what it has) is shown whole, not cut to three digits.
TEST(LiveTexts, PositionsShowWholePercentages) {
    EXPECT_EQ(positionText("R-POS", 1200000), "R-POS : 120%");
    EXPECT_EQ(positionText("P-POS", 59999), "P-POS : 005%");
    EXPECT_EQ(positionText("P-POS", 0xFFFFFFFF), "P-POS : 429496%");
}

TEST(LiveTexts, SpeedAndPtzChannelStayInRange) {
    int speed = 8;
    for (int i = 0; i < 10; ++i)
        speed = speedAfterPlus(speed);
    EXPECT_EQ(speed, 10);
    for (int i = 0; i < 12; ++i)
        speed = speedAfterMinus(speed);
    EXPECT_EQ(speed, 1);
    EXPECT_EQ(speedAfterMinus(-5), 1);
    EXPECT_EQ(stepPtzChannel(15, +1), 0);
    EXPECT_EQ(stepPtzChannel(0, -1), 15);
    EXPECT_EQ(ptzChannelText(15), "016");
}

}  // namespace
}  // namespace dvr::live
