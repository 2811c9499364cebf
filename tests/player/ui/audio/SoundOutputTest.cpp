#include "player/ui/audio/SoundOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/player/ui/audio/FakeAudio.h"

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

TEST(SoundOutput, InterruptEndsAWaitOnAnotherThread) {
    auto raw = std::make_unique<FakeDevice>(systemAudioClock(), 0);
    FakeDevice& device = *raw;
    SoundOutput output(std::make_shared<SharedAudioDevice>(std::move(raw)), systemAudioClock());
    for (int i = 0; i < 3; ++i) {
        output.queue(bytes(1100, 1));
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread player([&] { output.queue(bytes(1100, 1)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    output.interrupt(true);
    player.join();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(SoundOutput::kStallLimitMs / 2));
    EXPECT_EQ(device.writeCount(), 3u);

    output.interrupt(false);
    output.queue(bytes(10, 1));
    EXPECT_EQ(output.stagedBytes(), 10u);
}

}  // namespace
}  // namespace dvr::player
