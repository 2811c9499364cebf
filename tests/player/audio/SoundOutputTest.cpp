#include "player/audio/SoundOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/player/audio/FakeAudio.h"

namespace dvr::player {
namespace {

std::vector<uint8_t> bytes(size_t count, uint8_t value) {
    return std::vector<uint8_t>(count, value);
}

TEST(SoundOutput, HoldsUpToOneBlockUntilMoreArrives) {
    FakeClock clock;
    auto raw = std::make_unique<FakeDevice>(clock, 0);
    FakeDevice& device = *raw;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::move(raw)), clock);

    for (int i = 0; i < 4; ++i) {
        output.queue(bytes(255, 0x10));  // 1,020 bytes: still one block or less
    }
    EXPECT_EQ(output.stagedBytes(), 1020u);
    EXPECT_TRUE(device.writes.empty());

    output.queue(bytes(4, 0x10));  // exactly 1,024: still held
    EXPECT_TRUE(device.writes.empty());

    output.queue(bytes(1, 0x20));  // 1,025: written as one buffer
    ASSERT_EQ(device.writes.size(), 1u);
    EXPECT_EQ(device.writes[0].size(), 1025u);
    EXPECT_EQ(device.writes[0].back(), muLawToPcmForTest(0x20));
    EXPECT_EQ(output.stagedBytes(), 0u);
    EXPECT_EQ(output.writtenBytes(), 1025u);
}

TEST(SoundOutput, AnEmptyContributionLeavesTheStagingAlone) {
    FakeClock clock;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::make_unique<FakeDevice>(clock, 0)), clock);
    output.queue(bytes(200, 1));
    output.queue({});
    EXPECT_EQ(output.stagedBytes(), 200u);
}

TEST(SoundOutput, WaitsWhileThreeBuffersAreStillPlaying) {
    FakeClock clock;
    // The device plays 8 samples per millisecond, as a real 8 kHz device does.
    auto raw = std::make_unique<FakeDevice>(clock, 8);
    FakeDevice& device = *raw;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::move(raw)), clock);

    std::vector<int64_t> writeTimes;
    for (int block = 0; block < 6; ++block) {
        const size_t before = device.writes.size();
        output.queue(bytes(1100, 0x33));
        ASSERT_EQ(device.writes.size(), before + 1);
        writeTimes.push_back(clock.nowMs());
    }
    // The first three go out at once; each later one waits until the buffer written three
    // writes before it has played: 1,100 samples per buffer at 8 per millisecond.
    EXPECT_EQ(writeTimes[0], 0);
    EXPECT_EQ(writeTimes[2], 0);
    EXPECT_GE(writeTimes[3], 1100 / 8);
    EXPECT_GE(writeTimes[4], 2 * 1100 / 8);
    EXPECT_GE(writeTimes[5], 3 * 1100 / 8);
    EXPECT_LE(writeTimes[5], 3 * 1100 / 8 + 2);
    for (size_t i = 3; i < device.playedAtWrite.size(); ++i) {
        EXPECT_GE(device.playedAtWrite[i], static_cast<int64_t>((i - 2) * 1100));
    }
}

TEST(SoundOutput, AStuckDeviceDropsTheBlockInsteadOfHanging) {
    FakeClock clock;
    auto raw = std::make_unique<FakeDevice>(clock, 0);
    FakeDevice& device = *raw;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::move(raw)), clock);
    for (int i = 0; i < 3; ++i) {
        output.queue(bytes(1100, 1));
    }
    output.queue(bytes(1100, 1));
    EXPECT_EQ(device.writes.size(), 3u);
    EXPECT_GE(clock.nowMs(), SoundOutput::kStallLimitMs);
    EXPECT_LT(clock.nowMs(), SoundOutput::kStallLimitMs + 10);
    EXPECT_EQ(output.stagedBytes(), 0u);
}

TEST(SoundOutput, AWaitEndsOnceInterruptedOrNoLongerWanted) {
    // The device never plays, and the clock stands still: the fourth block can only be
    // dropped by being told to, once its wait has begun.
    StillClock clock;
    auto raw = std::make_unique<FakeDevice>(clock, 0);
    FakeDevice& device = *raw;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::move(raw)), clock);
    for (int i = 0; i < 3; ++i) {
        output.queue(bytes(1100, 1));
    }
    ASSERT_EQ(clock.polls(), 0);

    std::thread interrupted([&] { output.queue(bytes(1100, 1)); });
    ASSERT_TRUE(waitUntil([&] { return clock.polls() > 0; }));
    output.interrupt(true);
    interrupted.join();
    EXPECT_EQ(device.writeCount(), 3u);
    EXPECT_EQ(output.stagedBytes(), 0u);
    output.interrupt(false);

    std::atomic<bool> wanted{true};
    const int pollsBefore = clock.polls();
    std::thread unwanted([&] { output.queue(bytes(1100, 1), [&] { return wanted.load(); }); });
    ASSERT_TRUE(waitUntil([&] { return clock.polls() > pollsBefore; }));
    wanted.store(false);
    unwanted.join();
    EXPECT_EQ(device.writeCount(), 3u);
    EXPECT_EQ(output.stagedBytes(), 0u);

    // Later blocks are staged as usual.
    output.queue(bytes(10, 1));
    EXPECT_EQ(output.stagedBytes(), 10u);
}

}  // namespace
}  // namespace dvr::player
