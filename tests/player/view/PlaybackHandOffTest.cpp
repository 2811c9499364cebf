#include "player/view/PlaybackHandOff.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tools/synth/Synth.h"

namespace dvr::player {
namespace {

using frame::PictureKind;

struct Made {
    std::shared_ptr<const std::vector<uint8_t>> codestream;
    PictureRecord record;
    uint32_t mask = 0;
};

Made make(PictureKind kind, int channel, uint32_t standard = frame::kSixtyFieldStandard) {
    static synth::CodestreamCache cache;
    const synth::PictureShape shape{kind, channel, 16, 240};
    Made made;
    made.codestream = cache.get(shape, synth::defaultCodestreamBytes(240));
    made.record.layoutCode = 0x10016;
    made.record.pictureFlags = synth::pictureFlagsFor(kind);
    made.record.videoStandard = standard;
    made.record.recordChannel = synth::codedChannel(shape);
    made.record.fieldCode = 0;
    made.record.codestream = *made.codestream;
    made.mask = uint32_t((1u << frame::channelsPerPicture(made.record.pictureFlags)) - 1u) << channel;
    return made;
}

TEST(PlaybackHandOff, WakesTheWindowOnceUntilItTakesTheNews) {
    PlayerPictures pictures;
    PlaybackHandOff handOff;
    Made quad = make(PictureKind::Quad, 4);
    Made single = make(PictureKind::Single, 9);
    EXPECT_TRUE(handOff.pictureDelivered(pictures, quad.record, quad.mask));
    EXPECT_FALSE(handOff.pictureDelivered(pictures, single.record, single.mask));
    EXPECT_FALSE(handOff.sliderMoved(12));

    PlaybackHandOff::Update news = handOff.take();
    EXPECT_EQ(news.dirtyChannels, 0x02F0u);
    EXPECT_EQ(news.presentMask, 0x02F0u);
    EXPECT_FALSE(news.lastPictureQuad);
    EXPECT_EQ(news.sliderValue, 12);
    EXPECT_FALSE(news.switchToPal);
    EXPECT_EQ(handOff.storedPictures(), 2u);

    // Taken: the next news wakes again; an unchanged slider is no news.
    EXPECT_FALSE(handOff.sliderMoved(12));
    EXPECT_TRUE(handOff.sliderMoved(13));
    news = handOff.take();
    EXPECT_EQ(news.dirtyChannels, 0u);
    EXPECT_EQ(news.presentMask, 0x02F0u);

    // A record outside the page is not stored, yet names its channels as present.
    pictures.setPage(1, 0);
    Made hidden = make(PictureKind::Single, 3);
    EXPECT_TRUE(handOff.pictureDelivered(pictures, hidden.record, hidden.mask));
    news = handOff.take();
    EXPECT_EQ(news.dirtyChannels, 0u);
    EXPECT_EQ(news.presentMask, 0x02F8u);
    EXPECT_EQ(handOff.storedPictures(), 2u);

    handOff.reset();
    EXPECT_EQ(handOff.take().presentMask, 0u);
    EXPECT_EQ(handOff.storedPictures(), 0u);
}

TEST(PlaybackHandOff, AsksForTheOtherSkinOnce) {
    PlayerPictures pictures;
    pictures.setPal(true);
    PlaybackHandOff handOff;
    Made ntsc = make(PictureKind::Single, 0);
    EXPECT_TRUE(handOff.pictureDelivered(pictures, ntsc.record, ntsc.mask));
    EXPECT_FALSE(handOff.pictureDelivered(pictures, ntsc.record, ntsc.mask));
    EXPECT_EQ(handOff.take().switchToPal, std::optional<bool>(false));
    // The switch was asked for already: later pictures of the same standard do not ask again.
    handOff.pictureDelivered(pictures, ntsc.record, ntsc.mask);
    EXPECT_FALSE(handOff.take().switchToPal);
}

// The playback thread delivers while the window takes whenever it is woken: every stored channel
// reaches the window, and once the last wake-up is answered nothing is left behind.
TEST(PlaybackHandOff, NoNewsIsLostBetweenTheTwoThreads) {
    PlayerPictures pictures;
    PlaybackHandOff handOff;
    std::vector<Made> made;
    for (int channel = 0; channel < 16; ++channel) {
        made.push_back(make(PictureKind::Single, channel));
    }
    std::atomic<int> wakes{0};
    std::atomic<bool> done{false};
    constexpr int kDeliveries = 96;
    std::thread player([&] {
        for (int i = 0; i < kDeliveries; ++i) {
            const Made& m = made[static_cast<size_t>(i % 16)];
            if (handOff.pictureDelivered(pictures, m.record, m.mask)) {
                wakes.fetch_add(1);
            }
            if (handOff.sliderMoved(i)) {
                wakes.fetch_add(1);
            }
        }
        done = true;
    });
    uint32_t seen = 0;
    int answered = 0;
    int slider = -1;
    while (!done || answered < wakes.load()) {
        if (answered < wakes.load()) {
            ++answered;
            const PlaybackHandOff::Update news = handOff.take();
            seen |= news.dirtyChannels;
            EXPECT_GE(news.sliderValue, slider);
            slider = news.sliderValue;
        } else {
            std::this_thread::yield();
        }
    }
    player.join();
    EXPECT_EQ(seen, 0xFFFFu);
    EXPECT_EQ(slider, kDeliveries - 1);
    EXPECT_EQ(handOff.take().dirtyChannels, 0u);
    EXPECT_EQ(handOff.storedPictures(), uint64_t(kDeliveries));
}

}  // namespace
}  // namespace dvr::player
