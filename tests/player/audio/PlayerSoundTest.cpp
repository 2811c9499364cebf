#include "player/audio/PlayerSound.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/player/audio/FakeAudio.h"

namespace dvr::player {
namespace {

AudioDeviceFactory fakeFactory(FakeClock& clock, int* opened) {
    return [&clock, opened](std::string*) -> std::unique_ptr<AudioDevice> {
        ++*opened;
        return std::make_unique<FakeDevice>(clock, 8);
    };
}

// One sound block's worth of bytes for each channel: channel k filled with k + 1.
struct Block {
    std::array<std::vector<uint8_t>, 4> bytes;
    std::array<std::span<const uint8_t>, 4> spans() const { return {bytes[0], bytes[1], bytes[2], bytes[3]}; }
};

Block makeBlock(size_t count, int emptyChannel = -1) {
    Block block;
    for (int k = 0; k < 4; ++k) {
        if (k != emptyChannel) {
            block.bytes[static_cast<size_t>(k)].assign(count, static_cast<uint8_t>(k + 1));
        }
    }
    return block;
}

using media::PlayMode;

const std::atomic<PlayMode>& forwardPlay() {
    static const std::atomic<PlayMode> mode{PlayMode::Forward};
    return mode;
}

TEST(PlayerSound, FirstSoundOnSelectsChannelOneOnlyOnce) {
    FakeClock clock;
    PlayerSound sound(clock);
    EXPECT_EQ(sound.selectedChannel(), 0);
    EXPECT_TRUE(sound.setSoundOn(true));
    EXPECT_EQ(sound.selectedChannel(), 1);
    sound.selectChannel(3);
    sound.setSoundOn(false);
    EXPECT_FALSE(sound.setSoundOn(true));
    EXPECT_EQ(sound.selectedChannel(), 3);
    sound.resetState();
    EXPECT_FALSE(sound.soundOn());
    EXPECT_EQ(sound.selectedChannel(), 0);
    EXPECT_TRUE(sound.setSoundOn(true));
}

TEST(PlayerSound, OpensOneDeviceForTheFourOutputs) {
    FakeClock clock;
    int opened = 0;
    PlayerSound sound(clock);
    ASSERT_TRUE(sound.createOutputs(fakeFactory(clock, &opened)));
    ASSERT_TRUE(sound.createOutputs(fakeFactory(clock, &opened)));
    EXPECT_EQ(opened, 1);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NE(sound.output(k), nullptr);
    }
    sound.destroyOutputs();
    EXPECT_FALSE(sound.hasOutputs());
}

TEST(PlayerSound, ReportsADeviceThatCannotBePrepared) {
    FakeClock clock;
    PlayerSound sound(clock);
    std::string error;
    const AudioDeviceFactory failing = [](std::string* why) -> std::unique_ptr<AudioDevice> {
        *why = "no device";
        return nullptr;
    };
    EXPECT_FALSE(sound.createOutputs(failing, &error));
    EXPECT_EQ(error, "no device");
    EXPECT_FALSE(sound.hasOutputs());
    // Sound blocks without outputs are dropped quietly.
    sound.setSoundOn(true);
    const Block block = makeBlock(255);
    sound.handOver(block.spans(), forwardPlay());
}

TEST(PlayerSound, QueuesOnlyTheSelectedChannelInForwardPlayWithSoundOn) {
    struct Case {
        const char* name;
        bool soundOn;
        int selected;
        PlayMode playMode;
        int queuedChannel;  // -1: nothing queued
    };
    const Case cases[] = {
        {"forward, channel 1", true, 1, PlayMode::Forward, 0},
        {"forward, channel 4", true, 4, PlayMode::Forward, 3},
        {"sound off", false, 2, PlayMode::Forward, -1},
        {"no channel", true, 0, PlayMode::Forward, -1},
        {"pause", true, 2, PlayMode::Pause, -1},
        {"backward", true, 2, PlayMode::Backward, -1},
        {"fast forward", true, 2, PlayMode::FastForward, -1},
        {"step forward", true, 2, PlayMode::StepForward, -1},
        {"seek", true, 2, PlayMode::Seek, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        int opened = 0;
        PlayerSound sound(clock);
        ASSERT_TRUE(sound.createOutputs(fakeFactory(clock, &opened)));
        sound.setSoundOn(c.soundOn);
        sound.selectChannel(c.selected);
        const Block block = makeBlock(255);
        const std::atomic<PlayMode> mode{c.playMode};
        for (int i = 0; i < 3; ++i) {
            sound.handOver(block.spans(), mode);
        }
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(sound.output(k)->stagedBytes(), k == c.queuedChannel ? 765u : 0u) << "output " << k;
        }
    }
}

TEST(PlayerSound, AnAbsentChannelDoesNotGrowTheStaging) {
    FakeClock clock;
    int opened = 0;
    PlayerSound sound(clock);
    ASSERT_TRUE(sound.createOutputs(fakeFactory(clock, &opened)));
    sound.setSoundOn(true);
    sound.selectChannel(2);
    const Block block = makeBlock(255, /*emptyChannel=*/1);
    sound.handOver(block.spans(), forwardPlay());
    EXPECT_EQ(sound.output(1)->stagedBytes(), 0u);
}

TEST(PlayerSound, LeavingForwardPlayOrSoundEndsAWaitForAPlayBuffer) {
    struct Case {
        const char* name;
        void (*act)(PlayerSound&, std::atomic<PlayMode>&);
    };
    const Case cases[] = {
        {"pause", [](PlayerSound&, std::atomic<PlayMode>& mode) { mode.store(PlayMode::Pause); }},
        {"arrow key", [](PlayerSound&, std::atomic<PlayMode>& mode) { mode.store(PlayMode::StepBackward); }},
        {"sound off", [](PlayerSound& sound, std::atomic<PlayMode>&) { sound.setSoundOn(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A device that never plays on a clock that stands still: only the window can end the wait.
        StillClock clock;
        PlayerSound sound(clock);
        ASSERT_TRUE(sound.createOutputs([&clock](std::string*) -> std::unique_ptr<AudioDevice> {
            return std::make_unique<FakeDevice>(clock, 0);
        }));
        sound.setSoundOn(true);
        std::atomic<PlayMode> mode{PlayMode::Forward};
        const Block block = makeBlock(255);
        // Five blocks fill a play buffer (1,275 bytes); the fourth buffer waits.
        std::thread player([&] {
            for (int i = 0; i < 20; ++i) {
                sound.handOver(block.spans(), mode);
            }
        });
        ASSERT_TRUE(waitUntil([&] { return clock.polls() > 0; }));
        c.act(sound, mode);
        player.join();
        EXPECT_EQ(sound.output(0)->writtenBytes(), 3u * 1275u);
        EXPECT_EQ(sound.output(0)->stagedBytes(), 0u);
    }
}

}  // namespace
}  // namespace dvr::player
