#include "viewer/playback/PlaybackLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace dvr::playback {
namespace {

constexpr uint32_t kFull = 0x03000000;
constexpr uint32_t kPair = 0x03000001;
constexpr uint32_t kQuad = 0x03000002;

std::vector<int> visibleChannels(const PlaybackLayout& layout) {
    std::vector<int> out;
    for (int c = 0; c < kPaneCount; ++c)
        if (layout.isVisible(c))
            out.push_back(c);
    return out;
}

std::vector<int> range(int from, int to) {
    std::vector<int> out;
    for (int c = from; c <= to; ++c)
        out.push_back(c);
    return out;
}

frame::FrameHeader header(uint32_t flags, uint32_t layoutCode = 0x10016, uint32_t signal = 0) {
    frame::FrameHeader h;
    h.pictureFlags = flags;
    h.layoutCode = layoutCode;
    h.videoStandard = frame::kSixtyFieldStandard;
    h.channelMaskA = 0xFFFF0000;
    h.channelMaskB = 0xFFFF0000;
    h.signalWord = signal;
    return h;
}

// Accepts pictures of these flags until the format settled.
void settle(PlaybackLayout& layout, const frame::FrameHeader& h) {
    for (int i = 0; i < 5 && !layout.acceptPicture(h); ++i) {
    }
}

TEST(PlaybackLayout, OpeningSplitCodeFollowsTheCapacity) {
    EXPECT_EQ(openingSplitCode(0x10004), kSplitFour);
    EXPECT_EQ(openingSplitCode(0x30004), kSplitFour);
    EXPECT_EQ(openingSplitCode(0x20008), kSplitNine);
    EXPECT_EQ(openingSplitCode(0x10016), kSplitSixteen);
}

TEST(PlaybackLayout, PanesOfTheFourPaneLayout) {
    PlaybackLayout layout;
    layout.setArea({10, 20, 730, 500});
    layout.open(kSplitFour, 0x10016);
    EXPECT_EQ(visibleChannels(layout), range(0, 3));
    EXPECT_EQ(layout.paneRect(0), (Rect{11, 21, 369, 259}));
    EXPECT_EQ(layout.paneRect(3), (Rect{371, 261, 729, 499}));
    EXPECT_TRUE(layout.modeFourChecked());
    EXPECT_FALSE(layout.modeOneChecked());
    EXPECT_EQ(layout.selectedChannel(), kNoSelectedChannel);

    // The single pane of a quad picture is half size, placed 180, 120 in.
    settle(layout, header(kQuad, 0x20016));
    layout.onModeOne(false);
    EXPECT_EQ(layout.paneRect(0), (Rect{10 + 180 + 1, 20 + 120 + 1, 10 + 180 + 359, 20 + 120 + 239}));
    EXPECT_TRUE(layout.modeOneChecked());
}

TEST(PlaybackLayout, ModePlusAndMinusStopAtTheEnds) {
    PlaybackLayout layout;
    layout.open(kSplitSixteen, 0x10016);
    EXPECT_FALSE(layout.onModePlus(false));
    EXPECT_EQ(layout.splitCode(), kSplitSixteen);
    const uint16_t down[] = {kSplitNine, kSplitFour, kSplitOne};
    for (uint16_t split : down) {
        EXPECT_TRUE(layout.onModeMinus(false));
        EXPECT_EQ(layout.splitCode(), split);
        EXPECT_EQ(layout.firstChannel(), 0);
    }
    EXPECT_FALSE(layout.onModeMinus(false));
    EXPECT_EQ(layout.splitCode(), kSplitOne);
    EXPECT_TRUE(layout.onModePlus(false));
    EXPECT_EQ(layout.splitCode(), kSplitFour);
    // Already several panes: the four-pane button does nothing.
    EXPECT_FALSE(layout.onModeFour(false));
    EXPECT_FALSE(layout.onModePlus(true));
}

TEST(PlaybackLayout, ChannelButtonsPageWithinTheCapacity) {
    PlaybackLayout layout;
    layout.open(kSplitFour, 0x10016);
    EXPECT_TRUE(layout.onChannelButton(13, false));
    EXPECT_EQ(visibleChannels(layout), range(12, 15));
    EXPECT_TRUE(layout.onChannelButton(3, false));
    EXPECT_EQ(visibleChannels(layout), range(3, 6));

    layout.open(kSplitNine, 0x20016);
    EXPECT_TRUE(layout.onChannelButton(8, false));
    EXPECT_EQ(visibleChannels(layout), range(7, 15));
    for (int c = 0; c < kPaneCount; ++c)
        EXPECT_EQ(layout.channelButtonChecked(c), c >= 7);

    // Refused: a four-channel recorder in four panes, an eight-channel one in
    // nine, any click in sixteen, channels beyond the capacity.
    layout.open(kSplitFour, 0x10004);
    EXPECT_FALSE(layout.onChannelButton(1, false));
    layout.open(kSplitNine, 0x30008);
    EXPECT_FALSE(layout.onChannelButton(1, false));
    layout.open(kSplitSixteen, 0x10016);
    EXPECT_FALSE(layout.onChannelButton(1, false));
    layout.open(kSplitFour, 0x20008);
    EXPECT_FALSE(layout.onChannelButton(8, false));
    EXPECT_TRUE(layout.onChannelButton(7, false));
    EXPECT_EQ(visibleChannels(layout), range(7, 10));

    // Single pane: a click on the shown channel is undone.
    layout.onModeOne(false);
    EXPECT_FALSE(layout.onChannelButton(0, false));
    EXPECT_TRUE(layout.onChannelButton(5, false));
    EXPECT_EQ(visibleChannels(layout), std::vector<int>{5});
}

TEST(PlaybackLayout, DoubleClickZoomUsesTheMaskOfTheProtocolLevel) {
    PlaybackLayout layout;
    layout.setArea({0, 0, 720, 480});
    layout.open(kSplitNine, 0x10016);
    frame::FrameHeader h = header(kFull);
    h.channelMaskA = 0xFFFF0000;
    h.channelMaskB = 0xFFDF0000;  // channel 5 hidden for the newer recorders
    settle(layout, h);
    const Rect pane5 = layout.paneRect(5);
    const int x = (pane5.left + pane5.right) / 2;
    const int y = (pane5.top + pane5.bottom) / 2;

    EXPECT_FALSE(layout.onDoubleClick(x, y, false));  // only while playing
    layout.setProtocolLevel(2);
    EXPECT_FALSE(layout.onDoubleClick(x, y, true));
    layout.setProtocolLevel(1);
    ASSERT_TRUE(layout.onDoubleClick(x, y, true));
    EXPECT_EQ(layout.splitCode(), kSplitOne);
    EXPECT_EQ(visibleChannels(layout), std::vector<int>{5});
    // Back to the nine panes from channel 0.
    ASSERT_TRUE(layout.onDoubleClick(360, 240, true));
    EXPECT_EQ(layout.splitCode(), kSplitNine);
    EXPECT_EQ(visibleChannels(layout), range(0, 8));
}

TEST(PlaybackLayout, PicturesAfterAFlagChangeAreDroppedUntilSettled) {
    PlaybackLayout layout;
    layout.open(kSplitSixteen, 0x10016);
    std::vector<bool> drawn;
    for (int i = 0; i < 6; ++i)
        drawn.push_back(layout.acceptPicture(header(kFull)));
    EXPECT_EQ(drawn, (std::vector<bool>{false, false, false, false, true, true}));
    EXPECT_EQ(layout.formatText(), "FINE@720*240            \n");
    drawn.clear();
    for (int i = 0; i < 5; ++i)
        drawn.push_back(layout.acceptPicture(header(kPair)));
    EXPECT_EQ(drawn, (std::vector<bool>{false, false, false, false, true}));
    EXPECT_EQ(layout.formatText(), "FINE@360*240            \n");

    // Quad pictures need layout family 2 or the quad signal word.
    settle(layout, header(kQuad, 0x10016));
    EXPECT_FALSE(layout.acceptPicture(header(kQuad, 0x10016)));
    EXPECT_TRUE(layout.acceptPicture(header(kQuad, 0x10016, frame::kQuadSignalWord)));
    EXPECT_TRUE(layout.acceptPicture(header(kQuad, 0x20016)));
}

TEST(PlaybackLayout, EachPaneIsCutByItsOwnPicture) {
    PlaybackLayout layout;
    layout.open(kSplitSixteen, 0x20016);
    settle(layout, header(kQuad, 0x20016));
    PaneDrawList quad = layout.pictureStored(2, kQuad);  // channels 0 to 3 in buffer 0
    ASSERT_EQ(quad.count, 4);
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(quad.draws[size_t(q)].channel, q);
        EXPECT_EQ(quad.draws[size_t(q)].buffer, 0);
    }
    // Bottom-right quarter, cropped (4, 3) in and 20 x 10 smaller.
    EXPECT_EQ(quad.draws[3].source, (frame::PixelRect{364, 123, 340, 110}));

    // A full picture of channel 1 follows: its pane takes the whole picture of
    // buffer 1, the others keep their quarters of buffer 0.
    settle(layout, header(kFull, 0x20016));
    const PaneDrawList full = layout.pictureStored(1, kFull);
    ASSERT_EQ(full.count, 1);
    EXPECT_EQ(full.draws[0].buffer, 1);
    EXPECT_EQ(full.draws[0].source, (frame::PixelRect{4, 3, 700, 230}));
    const PaneDrawList all = layout.repaintAll();
    ASSERT_EQ(all.count, 4);
    EXPECT_EQ(all.draws[0].source, (frame::PixelRect{4, 3, 340, 110}));
    EXPECT_EQ(all.draws[0].buffer, 0);
    EXPECT_EQ(all.draws[1].buffer, 1);
    EXPECT_EQ(all.draws[2].source, (frame::PixelRect{4, 123, 340, 110}));
    EXPECT_EQ(all.draws[2].buffer, 0);

    // A full picture of channel 0 replaces buffer 0: channels 2 and 3 no
    // longer have a picture rather than showing part of channel 0.
    layout.pictureStored(0, kFull);
    const PaneDrawList after = layout.repaintAll();
    ASSERT_EQ(after.count, 2);
    EXPECT_EQ(after.draws[0].channel, 0);
    EXPECT_EQ(after.draws[0].source.width, 700);
    EXPECT_EQ(after.draws[1].channel, 1);
}

TEST(PlaybackLayout, DrawingFollowsTheLayout) {
    PlaybackLayout layout;
    layout.open(kSplitNine, 0x10016);
    settle(layout, header(kPair));
    layout.pictureStored(1, kPair);  // channels 0 and 1 in buffer 0
    layout.pictureStored(2, kPair);  // channels 2 and 3 in buffer 2
    settle(layout, header(kFull));
    // In nine panes a full picture first redraws channels 1 and 2.
    const PaneDrawList nine = layout.pictureStored(6, kFull);
    ASSERT_EQ(nine.count, 3);
    EXPECT_EQ(nine.draws[0].channel, 1);
    EXPECT_EQ(nine.draws[0].source, (frame::PixelRect{364, 3, 340, 234}));
    EXPECT_EQ(nine.draws[1].channel, 2);
    EXPECT_EQ(nine.draws[2].channel, 6);

    // Single pane: only the selected channel's pane, from its group's buffer.
    layout.onChannelButton(3, false);
    layout.onModeOne(false);
    layout.onChannelButton(3, false);
    EXPECT_EQ(layout.pictureStored(5, kFull).count, 0);
    settle(layout, header(kPair));
    const PaneDrawList single = layout.pictureStored(2, kPair);
    ASSERT_EQ(single.count, 1);
    EXPECT_EQ(single.draws[0].channel, 3);
    EXPECT_EQ(single.draws[0].buffer, 2);

    // Unknown layout codes are not stretched.
    layout.setLayoutCode(0x40016);
    EXPECT_FALSE(layout.pictureStored(2, kPair).draws[0].hasSource);
    // Channels outside the mask are not drawn.
    frame::FrameHeader hidden = header(kPair);
    hidden.channelMaskA = 0xFFF70000;
    settle(layout, hidden);
    EXPECT_EQ(layout.pictureStored(2, kPair).count, 0);
}

// Opened before any live picture (no layout code), the window takes the code from its playback pictures:
// the pictures are cut and stretched and the channel buttons work.
TEST(PlaybackLayout, TheLayoutCodeComesFromPlaybackPicturesAsWell) {
    PlaybackLayout layout;
    layout.open(kSplitFour, 0);
    EXPECT_FALSE(layout.onChannelButton(13, false));
    settle(layout, header(kFull, 0x20016));
    EXPECT_EQ(layout.layoutCode(), 0x20016u);
    layout.pictureStored(1, kFull);
    const PaneDrawList draws = layout.repaintAll();
    ASSERT_EQ(draws.count, 1);
    EXPECT_TRUE(draws.draws[0].hasSource);
    EXPECT_TRUE(layout.onChannelButton(13, false));
    EXPECT_EQ(visibleChannels(layout), range(12, 15));
}

}  // namespace
}  // namespace dvr::playback
