#include "player/view/PlayerPictures.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tools/synth/Synth.h"

namespace dvr::player {
namespace {

using frame::PictureKind;

synth::CodestreamCache& cache() {
    static synth::CodestreamCache instance;
    return instance;
}

struct Made {
    std::shared_ptr<const std::vector<uint8_t>> codestream;
    PictureRecord record;
};

Made make(PictureKind kind, int channel, int height = 240, int fieldCode = 255,
          uint32_t layoutCode = 0x10016) {
    const synth::PictureShape shape{kind, channel, 16, height};
    Made made;
    made.codestream = cache().get(shape, synth::defaultCodestreamBytes(height));
    made.record.layoutCode = layoutCode;
    made.record.pictureFlags = synth::pictureFlagsFor(kind);
    made.record.videoStandard = frame::kSixtyFieldStandard;
    made.record.recordChannel = synth::codedChannel(shape);
    made.record.fieldCode = fieldCode;
    made.record.time = {2026, 1, 2, 3, 4, 5};
    made.record.codestream = *made.codestream;
    return made;
}

// The colour in the middle of a channel's part of its stored picture.
uint32_t paneColour(const PlayerPictures& pictures, int channel) {
    uint32_t rgb = 0xFFFFFFFF;
    pictures.withPaneSource(channel, [&](const PlayerPictures::PaneSource& s) {
        if (!s.picture) {
            return;
        }
        const int x = s.rect.x + 12;
        const int y = s.rect.y + s.rect.height - 12;
        const uint8_t* p = s.picture->pixels.data() + (static_cast<size_t>(y) * s.picture->width + x) * 4;
        rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    });
    return rgb;
}

TEST(PlayerPictures, KeepsEachChannelsPictureAndTime) {
    PlayerPictures pictures;
    pictures.setPage(4, 0);
    for (int channel : {3, 9}) {
        Made m = make(PictureKind::Single, channel);
        const StoreOutcome out = pictures.store(m.record);
        EXPECT_EQ(out.result, StoreResult::Stored);
        EXPECT_EQ(out.channel, channel);
    }
    EXPECT_EQ(synth::nearestSignatureChannel(paneColour(pictures, 3)), 3);
    EXPECT_EQ(synth::nearestSignatureChannel(paneColour(pictures, 9)), 9);
    EXPECT_EQ(paneColour(pictures, 4), 0xFFFFFFFFu);
    EXPECT_EQ(pictures.channelTime(9), (DateTime{2026, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(pictures.channelTime(4));
    EXPECT_EQ(pictures.lastChannel(), 9);
    EXPECT_EQ(pictures.rollPictureCounts(), 2);
    EXPECT_EQ(pictures.picturesPerSecond(3), 1);
    EXPECT_EQ(pictures.rollPictureCounts(), 0);
}

TEST(PlayerPictures, SkipsRecordsOutsideThePage) {
    PlayerPictures pictures;
    pictures.setPage(1, 2);
    Made m = make(PictureKind::Single, 5);
    EXPECT_EQ(pictures.store(m.record).result, StoreResult::NotVisible);
    pictures.setPage(2, 4);
    EXPECT_EQ(pictures.store(m.record).result, StoreResult::Stored);
}

TEST(PlayerPictures, PairAndQuadPicturesFeedEveryChannelTheyCarry) {
    PlayerPictures pictures;
    pictures.setPage(4, 0);
    Made pair = make(PictureKind::Pair, 6);
    EXPECT_EQ(pictures.store(pair.record).channel, 6);
    Made quad = make(PictureKind::Quad, 12, 240, 0);
    EXPECT_EQ(pictures.store(quad.record).channel, 12);
    for (int channel : {6, 7, 12, 13, 14, 15}) {
        EXPECT_EQ(synth::nearestSignatureChannel(paneColour(pictures, channel)), channel) << channel;
        EXPECT_TRUE(pictures.channelTime(channel));
    }
}

TEST(PlayerPictures, QuadsAreKeptOnlyFromFirstFieldsUnlessTheRecorderSaysOtherwise) {
    struct Case {
        int fieldCode;
        uint32_t layoutCode;
        StoreResult result;
    };
    for (const Case& k : {Case{0, 0x10016, StoreResult::Stored}, Case{255, 0x10016, StoreResult::Dropped},
                          Case{1, 0x30016, StoreResult::Dropped}, Case{1, 0x20016, StoreResult::Stored},
                          Case{255, 0x20016, StoreResult::Stored}}) {
        PlayerPictures pictures;
        Made quad = make(PictureKind::Quad, 0, 240, k.fieldCode, k.layoutCode);
        EXPECT_EQ(pictures.store(quad.record).result, k.result) << k.fieldCode << " " << k.layoutCode;
    }
}

TEST(PlayerPictures, APaneShowsOnlyPicturesThatCarryItsChannel) {
    PlayerPictures pictures;
    pictures.setPage(4, 0);
    // Each step stores one picture; afterwards channels 4 to 7 show their own colour (o) or nothing (-).
    struct Step {
        PictureKind kind;
        int channel;
        const char* shown;  // channels 4, 5, 6, 7
    };
    const Step steps[] = {
        {PictureKind::Quad, 4, "oooo"},   {PictureKind::Single, 4, "o---"}, {PictureKind::Pair, 4, "oo--"},
        {PictureKind::Quad, 4, "oooo"},   {PictureKind::Pair, 6, "oooo"},   {PictureKind::Single, 6, "ooo-"},
        {PictureKind::Single, 4, "o-o-"}, {PictureKind::Pair, 4, "ooo-"},   {PictureKind::Quad, 4, "oooo"},
    };
    for (const Step& step : steps) {
        Made m = make(step.kind, step.channel, 240, 0);
        ASSERT_EQ(pictures.store(m.record).result, StoreResult::Stored);
        std::string shown;
        for (int channel = 4; channel < 8; ++channel) {
            const uint32_t colour = paneColour(pictures, channel);
            if (colour == 0xFFFFFFFFu) {
                shown += '-';
            } else {
                EXPECT_EQ(synth::nearestSignatureChannel(colour), channel)
                    << "after " << int(step.kind) << " at " << step.channel;
                shown += 'o';
            }
        }
        EXPECT_EQ(shown, step.shown) << "after " << int(step.kind) << " at " << step.channel;
    }
}

TEST(PlayerPictures, FramePicturesAreWovenFromTheirTwoFields) {
    PlayerPictures pictures;
    Made first = make(PictureKind::FullHeight, 2, 240, 0);
    Made second = make(PictureKind::FullHeight, 2, 240, 1);
    Made whole = make(PictureKind::FullHeight, 2, 240, 255);
    EXPECT_EQ(pictures.store(whole.record).result, StoreResult::Dropped);
    EXPECT_EQ(pictures.store(second.record).result, StoreResult::Dropped);
    EXPECT_EQ(pictures.store(first.record).result, StoreResult::FieldHeld);
    EXPECT_EQ(pictures.store(second.record).result, StoreResult::Stored);
    pictures.withPaneSource(2, [](const PlayerPictures::PaneSource& s) {
        ASSERT_NE(s.picture, nullptr);
        EXPECT_EQ(s.picture->height, 480);
        EXPECT_EQ(s.rect, (frame::PixelRect{0, 0, 720, 480}));
    });
    EXPECT_EQ(synth::nearestSignatureChannel(paneColour(pictures, 2)), 2);

    // A first field held when a new file is opened is not woven with the new file's second field.
    EXPECT_EQ(pictures.store(first.record).result, StoreResult::FieldHeld);
    pictures.clear();
    EXPECT_EQ(pictures.store(second.record).result, StoreResult::Dropped);
    pictures.withPaneSource(2, [](const PlayerPictures::PaneSource& s) { EXPECT_EQ(s.picture, nullptr); });
}

TEST(PlayerPictures, AskForTheOtherSkinByTheVideoStandard) {
    PlayerPictures pictures;
    Made m = make(PictureKind::Single, 0);
    pictures.setPal(true);
    EXPECT_EQ(pictures.store(m.record).switchToPal, std::optional<bool>(false));
    pictures.setPal(false);
    EXPECT_FALSE(pictures.store(m.record).switchToPal);
    m.record.videoStandard = frame::kFiftyFieldStandard;
    EXPECT_EQ(pictures.store(m.record).switchToPal, std::optional<bool>(true));
}

TEST(PlayerPictures, PaintingWhilePicturesArriveOnAnotherThread) {
    PlayerPictures pictures;
    std::vector<Made> made;
    for (int channel = 0; channel < 4; ++channel) {
        made.push_back(make(PictureKind::Single, channel));
    }
    std::atomic<bool> done{false};
    std::thread player([&] {
        for (int i = 0; i < 40; ++i) {
            pictures.store(made[static_cast<size_t>(i % 4)].record);
        }
        done = true;
    });
    int painted = 0;
    while (!done) {
        for (int channel = 0; channel < 4; ++channel) {
            if (paneColour(pictures, channel) != 0xFFFFFFFFu) {
                EXPECT_EQ(synth::nearestSignatureChannel(paneColour(pictures, channel)), channel);
                ++painted;
            }
        }
        pictures.rollPictureCounts();
    }
    player.join();
    EXPECT_EQ(pictures.lastChannel(), 3);
    (void)painted;
}

// The pane's picture as stored: its size, its reduction and its pixels.
struct Shown {
    int width = 0;
    int height = 0;
    int reduction = -1;
    std::vector<uint8_t> pixels;
};
Shown shown(const PlayerPictures& pictures, int channel) {
    Shown out;
    pictures.withPaneSource(channel, [&](const PlayerPictures::PaneSource& s) {
        if (s.picture) {
            out = {s.picture->width,
                   s.picture->height,
                   s.reduction,
                   {s.picture->pixels.begin(),
                    s.picture->pixels.begin() + std::ptrdiff_t(s.picture->imageBytes())}};
        }
    });
    return out;
}

// Pictures decoded at the size of the 16 panes are decoded again at full size as soon as the layout
// grows to one pane (the player may be paused: no new picture comes), byte for byte as a full-size decode,
// for single pictures and for frames woven from two fields; the next picture comes at full size too.
TEST(PlayerPictures, ALayoutChangeGetsAFullResolutionPictureNext) {
    PlayerPictures full;
    full.setPage(1, 3);
    PlayerPictures paned;
    paned.setPaneSizedDecoding(true);
    paned.setPage(4, 0);

    Made single = make(PictureKind::Single, 3);
    Made first = make(PictureKind::FullHeight, 5, 240, 0);
    Made second = make(PictureKind::FullHeight, 5, 240, 1);
    for (const Made* m : {&single, &first, &second}) {
        paned.store(m->record);
    }
    EXPECT_EQ(shown(paned, 3).width, 180);
    EXPECT_EQ(shown(paned, 3).height, 60);
    EXPECT_EQ(shown(paned, 3).reduction, 2);
    EXPECT_EQ(shown(paned, 5).width, 180);
    EXPECT_EQ(shown(paned, 5).height, 120);

    // The 9-pane layout: one halving.
    paned.setPage(3, 0);
    EXPECT_EQ(shown(paned, 3).width, 360);
    EXPECT_EQ(shown(paned, 3).reduction, 1);

    full.store(single.record);
    paned.setPage(1, 3);
    const Shown grown = shown(paned, 3);
    EXPECT_EQ(grown.reduction, 0);
    EXPECT_EQ(grown.width, 720);
    EXPECT_EQ(grown.height, 240);
    EXPECT_TRUE(grown.pixels == shown(full, 3).pixels);

    full.setPage(1, 5);
    full.store(first.record);
    full.store(second.record);
    paned.setPage(1, 5);
    const Shown woven = shown(paned, 5);
    EXPECT_EQ(woven.width, 720);
    EXPECT_EQ(woven.height, 480);
    EXPECT_TRUE(woven.pixels == shown(full, 5).pixels);

    // A picture decoded small just before the layout grew is stored at the new size.
    paned.setPage(4, 0);
    frame::J2kDecoder decoder;
    frame::DecodedPicture picture;
    const DecodeStep step = paned.decode(single.record, decoder, picture);
    ASSERT_EQ(step.result, StoreResult::Stored);
    EXPECT_EQ(picture.reduction, 2);
    paned.setPage(1, 3);
    EXPECT_EQ(paned.storeDecoded(single.record, step, picture, decoder).result, StoreResult::Stored);
    EXPECT_TRUE(shown(paned, 3).pixels == shown(full, 3).pixels);
}

}  // namespace
}  // namespace dvr::player
