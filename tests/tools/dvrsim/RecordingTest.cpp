#include "tools/dvrsim/RecorderSimulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace dvr::sim {
namespace {

// 03:00:00 to 03:01:00 every 5 s, nothing from 03:00:20 to 03:00:35.
SimOptions gappedOptions() {
    SimOptions o;
    o.rangeStart = {2006, 1, 2, 3, 0, 0};
    o.rangeEnd = {2006, 1, 2, 3, 1, 0};
    o.recordStepSeconds = 5;
    o.gaps.push_back({{2006, 1, 2, 3, 0, 20}, {2006, 1, 2, 3, 0, 35}});
    return o;
}

int64_t at(int minute, int second) {
    const SimOptions o = gappedOptions();
    Recording r(o);
    // Seconds of 03:mm:ss relative to slot 0.
    return r.secondsOf(0) + minute * 60 + second;
}

TEST(Recording, SearchFindsTheNearestPictureInTheDirection) {
    const SimOptions o = gappedOptions();
    Recording r(o);
    ASSERT_EQ(r.slots(), 13);
    struct Case {
        int64_t seconds;
        bool backward;
        int64_t slot;
    };
    const Case cases[] = {
        {at(0, 0), false, 0},  {at(0, 3), false, 1},  {at(0, 3), true, 0},   {at(0, 22), false, 8},
        {at(0, 22), true, 3},  {at(0, 40), true, 8},  {at(1, 0), false, 12}, {at(1, 1), false, -1},
        {at(1, 30), true, 12}, {at(-1, 0), false, 0}, {at(-1, 0), true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(r.search(c.seconds, c.backward), c.slot)
            << c.seconds - at(0, 0) << (c.backward ? " back" : "");
}

TEST(Recording, StepsSkipGapsAndStopAtTheEnds) {
    const SimOptions o = gappedOptions();
    Recording r(o);
    EXPECT_EQ(r.step(2, 1, false), 3);
    EXPECT_EQ(r.step(3, 1, false), 8);  // over the gap
    EXPECT_EQ(r.step(2, 3, false), 9);
    EXPECT_EQ(r.step(8, 1, true), 3);
    EXPECT_EQ(r.step(9, 3, true), 2);
    EXPECT_EQ(r.step(12, 1, false), -1);
    EXPECT_EQ(r.step(1, 2, true), -1);
    EXPECT_FALSE(r.present(5));
    EXPECT_EQ(r.positionMillionths(6), 500000u);
}

TEST(Recording, ChannelsRotateOverTheRecordedGroups) {
    SimOptions o = gappedOptions();
    o.channelCode = 8;
    o.recordedChannels = 0b1010'0100;  // channels 2, 5 and 7
    Recording r(o);
    std::vector<int> full, pair;
    for (int64_t s = 0; s < 4; ++s) {
        full.push_back(r.channelOf(s, frame::PictureKind::Single));
        pair.push_back(r.channelOf(s, frame::PictureKind::Pair));
    }
    EXPECT_EQ(full, (std::vector<int>{2, 5, 7, 2}));
    EXPECT_EQ(pair, (std::vector<int>{2, 4, 6, 2}));
    EXPECT_EQ(r.channelOf(1, frame::PictureKind::Quad), 4);
}

}  // namespace
}  // namespace dvr::sim
