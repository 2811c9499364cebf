#include "viewer/live/LiveLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace dvr::live {
namespace {

constexpr PaneRect kOverlay{40, 60, 760, 540};  // 720 x 480
constexpr uint32_t kSixteenChannels = 0x10016;
constexpr uint32_t kAllChannelsWord = 0xFFFF0000;  // p5 with bits 16..31 set: every channel exists

int modeIndex(uint16_t split) {
    return split & 0xFF;
}

// A view connected to a recorder of the given layout code with every channel present, in `split`.
LiveLayout connectedLayout(uint32_t layoutCode, uint16_t split, uint32_t channelWord = kAllChannelsWord) {
    LiveLayout layout;
    layout.setOverlay(kOverlay);
    layout.resetForConnection();
    layout.setChannelWord(channelWord);
    layout.setLayoutCode(layoutCode);
    layout.onModeButton(modeIndex(split));
    return layout;
}

std::vector<int> checkedChannels(const LiveLayout& layout) {
    std::vector<int> checked;
    for (int c = 0; c < kChannelCount; ++c) {
        if (layout.channelButtonChecked(c)) {
            checked.push_back(c);
        }
    }
    return checked;
}

int centreX(const PaneRect& r) {
    return (r.left + r.right) / 2;
}
int centreY(const PaneRect& r) {
    return (r.top + r.bottom) / 2;
}

TEST(LiveLayout, SixteenPanesTileTheOverlayWithOnePixelGaps) {
    LiveLayout layout;
    layout.setOverlay(kOverlay);
    layout.applyLayout(kSplitSixteen);
    EXPECT_EQ(layout.paneRect(0), (PaneRect{41, 61, 219, 179}));
    EXPECT_EQ(layout.paneRect(5), (PaneRect{221, 181, 399, 299}));
    EXPECT_EQ(layout.paneRect(15), (PaneRect{581, 421, 759, 539}));
    EXPECT_FALSE(layout.rotateButtonEnabled());
    EXPECT_TRUE(layout.modeButtonChecked(6));
    EXPECT_EQ(checkedChannels(layout).size(), 16u);
}

TEST(LiveLayout, NinePanesFromChannelTenWrapAndLeaveTheRestEmpty) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitNine);
    layout.onChannelButton(10);  // pulled back to 7
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(layout.paneRect(c).isEmpty(), c < 7) << c;
    }
    EXPECT_EQ(layout.paneRect(7), (PaneRect{41, 61, 279, 219}));
}

TEST(LiveLayout, QuadPictureGivesTheCentredHalfSizePaneInOnePane) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitOne);
    EXPECT_EQ(layout.paneRect(0), (PaneRect{41, 61, 759, 539}));
    layout.setPictureFormat(0x2, 240);
    layout.applyLayout(layout.splitCode());
    EXPECT_EQ(layout.paneRect(0), (PaneRect{40 + 181, 60 + 121, 40 + 360 + 179, 60 + 240 + 119}));
}

TEST(LiveLayout, OnePaneButtonTakesTheLowestAvailableChannel) {
    struct Case {
        uint32_t unavailableWordBits;  // p5
        int expected;
    };
    const Case cases[] = {
        {0x00000000, 0},  // every channel unavailable: channel 0
        {0xFFFC0000, 2},  // channels 0 and 1 unavailable
        {0xFFFF0000, 0},
        {0x80000000, 15},
    };
    for (const Case& c : cases) {
        LiveLayout layout = connectedLayout(kSixteenChannels, kSplitSixteen, c.unavailableWordBits);
        const LayoutResult result = layout.onModeButton(0);
        EXPECT_TRUE(result.layoutApplied);
        EXPECT_EQ(layout.splitCode(), kSplitOne);
        EXPECT_EQ(layout.firstChannel(), c.expected);
        EXPECT_EQ(layout.singleChannel(), c.expected);
        EXPECT_EQ(layout.displayedMask(), 1u << c.expected);
        EXPECT_TRUE(layout.rotateButtonEnabled());
    }
}

TEST(LiveLayout, UnavailableModesOnlyBeep) {
    for (int index : {2, 4, 5}) {
        LiveLayout layout = connectedLayout(kSixteenChannels, kSplitFour);
        const LayoutResult result = layout.onModeButton(index);
        EXPECT_TRUE(result.beep);
        EXPECT_FALSE(result.layoutApplied);
        EXPECT_EQ(layout.splitCode(), kSplitFour);
        EXPECT_FALSE(layout.modeButtonChecked(index));
    }
}

TEST(LiveLayout, MultiPaneModeButtonsStartAtChannelZero) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitNine);
    layout.onChannelButton(5);
    ASSERT_EQ(layout.firstChannel(), 5);
    layout.onModeButton(1);
    EXPECT_EQ(layout.splitCode(), kSplitFour);
    EXPECT_EQ(layout.firstChannel(), 0);
    EXPECT_EQ(layout.displayedMask(), 0xFu);
    EXPECT_EQ(layout.singleChannel(), kNoSingleChannel);
}

TEST(LiveLayout, ChannelButtons) {
    struct Case {
        const char* name;
        uint32_t layoutCode;
        uint16_t split;
        uint32_t channelWord;
        int click;
        bool applied;
        int first;
        uint32_t mask;
    };
    const Case cases[] = {
        {"4 panes, 14 -> 12..15", kSixteenChannels, kSplitFour, kAllChannelsWord, 14, true, 12, 0xF000},
        {"4 panes, 3 -> 3..6", kSixteenChannels, kSplitFour, kAllChannelsWord, 3, true, 3, 0x78},
        {"9 panes, 10 -> 7..15", kSixteenChannels, kSplitNine, kAllChannelsWord, 10, true, 7, 0xFF80},
        {"9 panes, 2 -> 2..10", kSixteenChannels, kSplitNine, kAllChannelsWord, 2, true, 2, 0x7FC},
        {"four-channel recorder ignores 4 panes", 0x20004, kSplitFour, kAllChannelsWord, 2, false, 0, 0xF},
        {"eight-channel recorder ignores 9 panes", 0x30008, kSplitNine, kAllChannelsWord, 3, false, 0, 0x1FF},
        {"eight-channel recorder in 4 panes", 0x30008, kSplitFour, kAllChannelsWord, 4, true, 4, 0xF0},
        {"channel beyond the capacity", 0x10008, kSplitFour, kAllChannelsWord, 8, false, 0, 0xF},
        {"16 panes ignore every click", kSixteenChannels, kSplitSixteen, kAllChannelsWord, 3, false, 0,
         0xFFFF},
        {"4 panes, all four unavailable", kSixteenChannels, kSplitFour, 0x0F0F0000, 4, false, 0, 0xF},
        {"4 panes, one of four available", kSixteenChannels, kSplitFour, 0x0F8F0000, 4, true, 4, 0xF0},
        {"one pane, other channel", kSixteenChannels, kSplitOne, kAllChannelsWord, 9, true, 9, 0x200},
        {"one pane, unavailable channel", kSixteenChannels, kSplitOne, 0x00FF0000, 9, false, 0, 0x1},
        {"one pane, the shown channel", kSixteenChannels, kSplitOne, kAllChannelsWord, 0, false, 0, 0x1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveLayout layout = connectedLayout(c.layoutCode, c.split, c.channelWord);
        const LayoutResult result = layout.onChannelButton(c.click);
        EXPECT_EQ(result.layoutApplied, c.applied);
        EXPECT_EQ(layout.splitCode(), c.split);
        EXPECT_EQ(layout.firstChannel(), c.first);
        EXPECT_EQ(layout.displayedMask(), c.mask);
        // The buttons always show the layout: an ignored click is undone.
        std::vector<int> expected;
        const int count = c.split == kSplitOne ? 1 : c.split >> 8;
        for (int i = c.first; i < c.first + count; ++i) {
            expected.push_back(i);
        }
        EXPECT_EQ(checkedChannels(layout), expected);
    }
}

TEST(LiveLayout, ChannelClicksBeforeTheFirstPictureAreIgnored) {
    LiveLayout layout;
    layout.setOverlay(kOverlay);
    layout.applyLayout(kSplitFour);
    EXPECT_FALSE(layout.onChannelButton(0).layoutApplied);
    EXPECT_FALSE(layout.onChannelButton(15).layoutApplied);
}

TEST(LiveLayout, DoubleClickZoomsAndReturnsToTheLayoutAtChannelZero) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitNine);
    const PaneRect pane5 = layout.paneRect(5);
    LayoutResult result = layout.onDoubleClick(centreX(pane5), centreY(pane5), true);
    EXPECT_TRUE(result.layoutApplied);
    EXPECT_EQ(layout.splitCode(), kSplitOne);
    EXPECT_EQ(layout.firstChannel(), 5);
    EXPECT_EQ(layout.displayedMask(), 1u << 5);
    EXPECT_EQ(layout.previousSplitCode(), kSplitNine);

    const PaneRect single = layout.paneRect(5);
    layout.onDoubleClick(centreX(single), centreY(single), true);
    EXPECT_EQ(layout.splitCode(), kSplitNine);
    EXPECT_EQ(layout.firstChannel(), 0);
    EXPECT_EQ(layout.displayedMask(), 0x1FFu);
}

TEST(LiveLayout, DoubleClickFromTheOnePaneButtonReturnsToSixteen) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitOne);
    const PaneRect pane = layout.paneRect(0);
    layout.onDoubleClick(centreX(pane), centreY(pane), true);
    EXPECT_EQ(layout.splitCode(), kSplitSixteen);
}

TEST(LiveLayout, DoubleClickThatDoesNothing) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitFour, 0xFFFD0000);  // channel 1 unavailable
    const PaneRect pane1 = layout.paneRect(1);
    const PaneRect pane2 = layout.paneRect(2);
    EXPECT_FALSE(layout.onDoubleClick(centreX(pane2), centreY(pane2), false).layoutApplied);  // not connected
    EXPECT_FALSE(layout.onDoubleClick(centreX(pane1), centreY(pane1), true).layoutApplied);   // unavailable
    EXPECT_FALSE(layout.onDoubleClick(pane2.right, pane2.bottom, true).layoutApplied);        // in the gap
    EXPECT_EQ(layout.splitCode(), kSplitFour);
}

TEST(LiveLayout, AboutAreaOpensAboutInEveryStateButRotation) {
    LiveLayout idle;
    EXPECT_TRUE(idle.onDoubleClick(0, 564, false).openAbout);
    EXPECT_TRUE(idle.onDoubleClick(143, 599, false).openAbout);
    EXPECT_FALSE(idle.onDoubleClick(144, 599, false).openAbout);
    EXPECT_FALSE(idle.onDoubleClick(10, 563, false).openAbout);

    LiveLayout rotating = connectedLayout(kSixteenChannels, kSplitOne);
    rotating.onRotateButton(true, 3);
    ASSERT_TRUE(rotating.rotating());
    EXPECT_FALSE(rotating.onDoubleClick(10, 570, true).openAbout);
}

TEST(LiveLayout, RotationStepsEveryIntervalPlusTwoTicks) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitOne, 0x000F0000);  // channels 0..3
    const LayoutResult start = layout.onRotateButton(true, 3);
    EXPECT_TRUE(layout.rotating());
    EXPECT_TRUE(layout.rotateButtonChecked());
    EXPECT_TRUE(start.layoutApplied);
    EXPECT_EQ(layout.firstChannel(), 1);  // one step at once

    std::vector<int> stepTicks;
    std::vector<int> shown;
    for (int tick = 1; tick <= 20; ++tick) {
        if (layout.onRotationTick()) {
            stepTicks.push_back(tick);
            shown.push_back(layout.firstChannel());
        }
    }
    EXPECT_EQ(stepTicks, (std::vector<int>{5, 10, 15, 20}));
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 0, 1}));  // wraps over the available channels

    layout.onRotateButton(true, 3);
    EXPECT_FALSE(layout.rotating());
    EXPECT_FALSE(layout.onRotationTick());
}

TEST(LiveLayout, RotationFollowsTheRecorderCapacity) {
    LiveLayout layout = connectedLayout(0x10004, kSplitOne);
    layout.onChannelButton(3);
    layout.onRotateButton(true, 0);
    EXPECT_EQ(layout.firstChannel(), 0);
}

TEST(LiveLayout, RotationNeedsOnePaneAndAConnection) {
    LiveLayout multi = connectedLayout(kSixteenChannels, kSplitFour);
    EXPECT_TRUE(multi.onRotateButton(true, 3).beep);
    EXPECT_FALSE(multi.rotating());

    LiveLayout single = connectedLayout(kSixteenChannels, kSplitOne);
    EXPECT_TRUE(single.onRotateButton(false, 3).beep);
    EXPECT_FALSE(single.rotating());
}

TEST(LiveLayout, FourPanesStopRotationAndDisableTheButton) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitOne);
    layout.onRotateButton(true, 3);
    ASSERT_TRUE(layout.rotating());
    layout.onModeButton(1);
    EXPECT_FALSE(layout.rotating());
    EXPECT_FALSE(layout.rotateButtonChecked());
    EXPECT_FALSE(layout.rotateButtonEnabled());
    EXPECT_EQ(layout.rotationInterval(), 0);
}

TEST(LiveLayout, VisibilityFollowsPageAndAvailability) {
    LiveLayout layout = connectedLayout(kSixteenChannels, kSplitFour, 0xFFEF0000);  // channel 4 unavailable
    layout.onChannelButton(3);
    EXPECT_FALSE(layout.isVisible(2));
    EXPECT_TRUE(layout.isVisible(3));
    EXPECT_FALSE(layout.isVisible(4));
    EXPECT_TRUE(layout.isVisible(6));
    EXPECT_FALSE(layout.isVisible(7));
    EXPECT_FALSE(layout.isVisible(16));
    EXPECT_FALSE(layout.isVisible(-1));
}

TEST(LiveLayout, LayoutCodeLimitsTheDisplayedMask) {
    struct Case {
        uint32_t layoutCode;
        uint16_t split;
        uint32_t mask;
    };
    const Case cases[] = {
        {0x20008, kSplitNine, 0xFF},      {0x10004, kSplitNine, 0xF}, {0x30004, kSplitSixteen, 0xF},
        {0x10016, kSplitSixteen, 0xFFFF}, {0x20008, kSplitFour, 0xF},
    };
    for (const Case& c : cases) {
        LiveLayout layout = connectedLayout(0x10016, c.split);
        layout.setLayoutCode(c.layoutCode);
        EXPECT_EQ(layout.displayedMask(), c.mask) << std::hex << c.layoutCode;
    }
}

TEST(LiveLayout, ChannelWordGivesTheUnavailableMask) {
    LiveLayout layout;
    EXPECT_EQ(layout.unavailableMask(), 0xFFFF0000u);
    layout.setChannelWord(0x00FF1234);
    EXPECT_EQ(layout.unavailableMask(), 0xFF00u);
    layout.resetForConnection();
    EXPECT_EQ(layout.unavailableMask(), 0xFF00u);
}

TEST(LiveLayout, CropMarginsByLayoutCode) {
    struct Case {
        uint32_t layoutCode;
        bool known;
        frame::PixelRect cropped;
    };
    const Case cases[] = {
        {0x10004, true, {4, 3, 700, 234}},  {0x30016, true, {4, 3, 700, 234}},
        {0x20008, true, {5, 3, 690, 230}},  {0x00000, false, {0, 0, 720, 240}},
        {0x40016, false, {0, 0, 720, 240}}, {0x10010, false, {0, 0, 720, 240}},
    };
    for (const Case& c : cases) {
        frame::PixelRect source{0, 0, 720, 240};
        EXPECT_EQ(cropForLayoutCode(c.layoutCode, source), c.known) << std::hex << c.layoutCode;
        EXPECT_EQ(source, c.cropped) << std::hex << c.layoutCode;
    }
}

struct ExpectedDraw {
    int pane;
    int buffer;
    frame::PixelRect uncropped;
};

// Picture draws in a family-1 recorder (crop x + 4, y + 3, width - 20, height - 6).
void expectDraws(const DrawPlan& plan, const std::vector<ExpectedDraw>& expected) {
    ASSERT_EQ(plan.count, int(expected.size()));
    for (int i = 0; i < plan.count; ++i) {
        const PaneDraw& d = plan.draws[size_t(i)];
        const ExpectedDraw& e = expected[size_t(i)];
        EXPECT_EQ(d.paneChannel, e.pane) << i;
        EXPECT_EQ(d.bufferChannel, e.buffer) << i;
        EXPECT_TRUE(d.hasSource);
        const frame::PixelRect cropped{e.uncropped.x + 4, e.uncropped.y + 3, e.uncropped.width - 20,
                                       e.uncropped.height - 6};
        EXPECT_EQ(d.source, cropped) << i;
    }
}

LiveLayout streamingLayout(uint16_t split, uint32_t flags, int height) {
    LiveLayout layout = connectedLayout(kSixteenChannels, split);
    layout.setPictureFormat(flags, height);
    layout.applyLayout(layout.splitCode());
    for (int c = 0; c < kChannelCount; ++c) {
        layout.markBufferFilled(c);
    }
    return layout;
}

TEST(LiveLayoutDraw, MultiPanePictures) {
    LiveLayout full = streamingLayout(kSplitSixteen, 0x0, 288);
    expectDraws(full.planDraw(6), {{6, 6, {0, 0, 720, 288}}});

    LiveLayout pair = streamingLayout(kSplitSixteen, 0x1, 240);
    expectDraws(pair.planDraw(3), {});
    expectDraws(pair.planDraw(6), {{6, 6, {0, 0, 360, 240}}, {7, 6, {360, 0, 360, 240}}});

    LiveLayout quad = streamingLayout(kSplitSixteen, 0x2, 240);
    expectDraws(quad.planDraw(9), {{8, 9, {0, 0, 360, 120}},
                                   {9, 9, {360, 0, 360, 120}},
                                   {10, 9, {0, 120, 360, 120}},
                                   {11, 9, {360, 120, 360, 120}}});
}

TEST(LiveLayoutDraw, MultiPaneDrawsOnlyVisibleFilledPanes) {
    LiveLayout quad = streamingLayout(kSplitFour, 0x2, 240);
    quad.onChannelButton(2);  // channels 2..5
    expectDraws(quad.planDraw(0), {{2, 0, {0, 120, 360, 120}}, {3, 0, {360, 120, 360, 120}}});
    quad.clearBuffers();
    expectDraws(quad.planDraw(4), {});
}

TEST(LiveLayoutDraw, OnePanePictures) {
    LiveLayout pair = streamingLayout(kSplitOne, 0x1, 240);
    pair.onChannelButton(3);
    pair.markBufferFilled(3);
    expectDraws(pair.planDraw(2), {{3, 2, {360, 0, 360, 240}}});
    pair.onChannelButton(4);
    expectDraws(pair.planDraw(4), {{4, 4, {0, 0, 360, 240}}});

    LiveLayout quad = streamingLayout(kSplitOne, 0x2, 288);
    quad.onChannelButton(6);
    expectDraws(quad.planDraw(5), {{6, 5, {0, 144, 360, 144}}});
    expectDraws(quad.planDraw(9), {});  // another group of four
}

TEST(LiveLayoutDraw, OnePaneFullPictureSkipsTheFirstAfterASwitch) {
    LiveLayout layout = streamingLayout(kSplitSixteen, 0x0, 240);
    layout.planDraw(2);
    layout.onModeButton(0);
    layout.markBufferFilled(0);
    expectDraws(layout.planDraw(0), {});  // a multi-pane picture was drawn since
    EXPECT_FALSE(layout.bufferFilled(0));
    layout.markBufferFilled(0);
    expectDraws(layout.planDraw(0), {{0, 0, {0, 0, 720, 240}}});
    layout.markBufferFilled(0);
    expectDraws(layout.planDraw(0), {{0, 0, {0, 0, 720, 240}}});
}

TEST(LiveLayoutDraw, UnknownLayoutCodeDrawsBlankPanes) {
    LiveLayout layout = streamingLayout(kSplitSixteen, 0x0, 240);
    layout.setLayoutCode(0x50016);
    const DrawPlan plan = layout.planDraw(1);
    ASSERT_EQ(plan.count, 1);
    EXPECT_FALSE(plan.draws[0].hasSource);
}

TEST(LiveLayout, ResetForConnectionRestoresStartUpLayout) {
    LiveLayout layout = connectedLayout(0x20008, kSplitOne);
    layout.onChannelButton(5);
    layout.onRotateButton(true, 3);
    layout.setPictureFormat(0x2, 288);
    layout.resetForConnection();
    EXPECT_EQ(layout.splitCode(), kSplitSixteen);
    EXPECT_EQ(layout.previousSplitCode(), kSplitSixteen);
    EXPECT_EQ(layout.firstChannel(), 0);
    EXPECT_EQ(layout.singleChannel(), kNoSingleChannel);
    EXPECT_EQ(layout.displayedMask(), 0xFFFFu);
    EXPECT_EQ(layout.layoutCode(), 0u);
    EXPECT_EQ(layout.pictureFlags(), 0u);
    EXPECT_FALSE(layout.rotating());
    EXPECT_FALSE(layout.paneRect(15).isEmpty());
}

}  // namespace
}  // namespace dvr::live

namespace dvr::live {
namespace {

TEST(LiveLayout, ZoomReturnModeButtons) {
    const std::pair<uint16_t, int> cases[] = {
        {kSplitOne, 6},  {kSplitSixteen, 6}, {kSplitFour, 1},     {kSplitSeven, 2},
        {kSplitNine, 3}, {kSplitTen, 4},     {kSplitThirteen, 5}, {0x1234, 6},
    };
    for (const auto& [split, index] : cases) {
        EXPECT_EQ(modeIndexForSplit(split), index) << std::hex << split;
    }
}

}  // namespace
}  // namespace dvr::live
