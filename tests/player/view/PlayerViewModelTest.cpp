#include "player/view/PlayerViewModel.h"

#include <gtest/gtest.h>

namespace dvr::player {
namespace {

namespace c = control;

constexpr uint32_t kSingle = 0;
constexpr uint32_t kPair = 1;
constexpr uint32_t kQuad = 2;

PlayerViewModel openModel(int channels, uint32_t present = 0xFFFF, bool sound = false) {
    PlayerViewModel model;
    model.setPictureOrigin(10, 20);
    model.beginOpen();
    model.fileOpened(channels, sound);
    model.addPresentChannels(present);
    return model;
}

TEST(PlayerViewModel, PaneRectanglesOfEachLayout) {
    struct Case {
        bool pal;
        int layout;
        int channel;
        PaneRect pane;
    };
    const Case cases[] = {
        {false, 1, 0, {10, 20, 730, 500}},   {false, 1, 7, {10, 20, 730, 500}},
        {false, 2, 0, {10, 20, 370, 260}},   {false, 2, 3, {370, 260, 730, 500}},
        {false, 2, 6, {10, 260, 370, 500}},  // channel 6 uses pane 2
        {false, 3, 4, {250, 180, 490, 340}}, {false, 3, 8, {490, 340, 730, 500}},
        {false, 3, 11, {490, 20, 730, 180}},  // channel 11 uses pane 2
        {true, 3, 0, {10, 20, 250, 212}},    {false, 4, 15, {550, 380, 730, 500}},
        {true, 4, 5, {190, 164, 370, 308}},
    };
    for (const Case& k : cases) {
        PlayerViewModel model;
        model.setPictureOrigin(10, 20);
        model.setPal(k.pal);
        model.applyLayout(k.layout);
        EXPECT_EQ(model.channelPane(k.channel), k.pane) << "layout " << k.layout << " channel " << k.channel;
    }
}

TEST(PlayerViewModel, QuadPictureInOnePaneUsesTheCentredHalfSizePane) {
    for (bool pal : {false, true}) {
        PlayerViewModel model = openModel(16);
        model.setPal(pal);
        model.channelButton(4);
        EXPECT_EQ(model.channelPane(4).width(), 720);
        EXPECT_TRUE(model.setLastPictureQuad(true));
        const PaneRect pane = model.channelPane(4);
        const int height = pal ? 576 : 480;
        EXPECT_EQ(pane, (PaneRect{10 + 180, 20 + 120, 10 + 540, 20 + 120 + height / 2}));
        // A quarter of a 720-wide quad picture is 360 wide: it fits the pane unscaled across.
        EXPECT_EQ(pane.width(), 360);
        EXPECT_FALSE(model.setLastPictureQuad(true));
        EXPECT_TRUE(model.setLastPictureQuad(false));
        EXPECT_EQ(model.channelPane(4).width(), 720);
    }
}

TEST(PlayerViewModel, DefaultLayoutFollowsTheChannelCount) {
    EXPECT_EQ(openModel(4).layout(), 2);
    EXPECT_EQ(openModel(8).layout(), 3);
    EXPECT_EQ(openModel(16).layout(), 4);
}

TEST(PlayerViewModel, NextPageEnabledByChannelCountAndLayout) {
    struct Case {
        int channels;
        int layout;
        bool nextAtFirstPage;
        int pagesReachable;
    };
    const Case cases[] = {
        {8, 3, false, 1}, {16, 4, false, 1}, {4, 4, false, 1},  {4, 2, false, 1}, {8, 2, true, 2},
        {16, 2, true, 4}, {16, 3, true, 2},  {16, 1, true, 16}, {8, 1, true, 8},  {4, 3, false, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.channels << " channels, layout " << k.layout);
        PlayerViewModel model = openModel(k.channels);
        model.layoutButton(k.layout);
        EXPECT_EQ(model.pageText(), "1");
        EXPECT_FALSE(model.enabled(c::kPrevPage));
        EXPECT_EQ(model.enabled(c::kNextPage), k.nextAtFirstPage);
        int pages = 1;
        while (model.enabled(c::kNextPage) && pages < 20) {
            model.nextPage();
            ++pages;
            EXPECT_EQ(model.pageText(), std::to_string(pages));
            EXPECT_TRUE(model.enabled(c::kPrevPage));
        }
        EXPECT_EQ(pages, k.pagesReachable);
    }
}

TEST(PlayerViewModel, EightChannelsInNinePanesNeverEnableNextPage) {
    PlayerViewModel model = openModel(8);
    ASSERT_EQ(model.layout(), 3);
    for (int channel = 0; channel < 8; ++channel) {
        model.channelButton(channel);
        model.layoutButton(3);
        EXPECT_FALSE(model.enabled(c::kNextPage)) << "from channel " << channel;
        EXPECT_EQ(model.pageText(), "1");
    }
}

TEST(PlayerViewModel, PageStepsSkipPagesWithoutChannels) {
    PlayerViewModel model = openModel(16, /*present=*/0x000F | 0xF000);  // pages 0 and 3 of four
    model.layoutButton(2);
    model.nextPage();
    EXPECT_EQ(model.page(), 3);
    EXPECT_EQ(model.firstChannel(), 12);
    EXPECT_FALSE(model.enabled(c::kNextPage));
    model.nextPage();
    EXPECT_EQ(model.page(), 3);
    model.previousPage();
    EXPECT_EQ(model.page(), 0);
    EXPECT_FALSE(model.enabled(c::kPrevPage));
    model.previousPage();
    EXPECT_EQ(model.page(), 0);
}

TEST(PlayerViewModel, ChannelButtonOfAnAbsentChannelDoesNothing) {
    PlayerViewModel model = openModel(16, /*present=*/0b1011);
    model.layoutButton(3);
    EXPECT_FALSE(model.channelButton(2));
    EXPECT_EQ(model.layout(), 3);
    EXPECT_EQ(model.pageText(), "1");
    EXPECT_FALSE(model.channelButton(15));

    EXPECT_TRUE(model.channelButton(3));
    EXPECT_EQ(model.layout(), 1);
    EXPECT_EQ(model.firstChannel(), 3);
    EXPECT_EQ(model.pageText(), "4");
    EXPECT_TRUE(model.enabled(c::kPrevPage));
    EXPECT_TRUE(model.enabled(c::kNextPage));
    EXPECT_TRUE(model.enabled(c::kEdit));
}

TEST(PlayerViewModel, OnePaneLayoutStartsAtThePresentChannel) {
    PlayerViewModel model = openModel(16, /*present=*/0b110000);
    model.layoutButton(1);
    EXPECT_EQ(model.firstChannel(), 4);
    EXPECT_EQ(model.pageText(), "5");
    EXPECT_TRUE(model.enabled(c::kEdit));
    model.layoutButton(2);
    EXPECT_EQ(model.firstChannel(), 4);
    EXPECT_EQ(model.pageText(), "2");
    EXPECT_FALSE(model.enabled(c::kEdit));
}

TEST(PlayerViewModel, RecordVisibility) {
    struct Case {
        int layout;
        int first;  // first channel via a channel button (layout 1) or a page step
        int channel;
        uint32_t flags;
        bool visible;
    };
    const Case cases[] = {
        {1, 5, 5, kSingle, true},  {1, 5, 4, kSingle, false}, {1, 5, 4, kPair, true},
        {1, 5, 6, kPair, false},   {1, 5, 4, kQuad, true},    {1, 5, 7, kQuad, true},
        {1, 5, 8, kQuad, false},   {2, 4, 7, kSingle, true},  {2, 4, 8, kSingle, false},
        {2, 4, 3, kSingle, false}, {3, 9, 15, kSingle, true}, {3, 9, 8, kSingle, false},
        {4, 0, 15, kSingle, true},
    };
    for (const Case& k : cases) {
        PlayerViewModel model = openModel(16);
        model.channelButton(k.first);
        if (k.layout > 1) {
            model.layoutButton(k.layout);
        }
        EXPECT_EQ(model.recordVisible(k.channel, k.flags), k.visible)
            << "layout " << k.layout << " first " << k.first << " channel " << k.channel << " flags "
            << k.flags;
    }
}

TEST(PlayerViewModel, SoundOnLocksTheViewToOnePaneAtNormalSpeed) {
    PlayerViewModel model = openModel(16, 0xFFFF, /*sound=*/true);
    ASSERT_TRUE(model.soundControlsVisible());
    model.speedUp();
    model.delayUp();
    EXPECT_TRUE(model.setSoundOn(true));
    EXPECT_EQ(model.soundChannel(), 1);
    EXPECT_TRUE(model.checked(c::kSound1));
    EXPECT_EQ(model.layout(), 1);
    EXPECT_EQ(model.channelPane(0).width(), 360);
    EXPECT_EQ(model.speedIndex(), 2);
    EXPECT_EQ(model.delayIndex(), 1);
    for (int id : {c::kBackup, c::kEdit, c::kChannel1, c::kChannel16, c::kPrevPage, c::kNextPage, c::kMode1,
                   c::kMode16, c::kSpeedUp, c::kDelayDown, c::kFfPlay, c::kRwPlay, c::kBPlay}) {
        EXPECT_FALSE(model.enabled(id)) << id;
    }
    for (int id : {c::kSound1, c::kSound2, c::kSound3, c::kSound4, c::kSkipList}) {
        EXPECT_TRUE(model.enabled(id)) << id;
    }
    EXPECT_EQ(model.doubleClick(200, 200, false), PlayerViewModel::DoubleClick::Ignored);

    model.selectSoundChannel(3);
    EXPECT_FALSE(model.checked(c::kSound1));
    EXPECT_TRUE(model.checked(c::kSound3));

    // Reaching the end switches sound off and gives the controls back.
    EXPECT_TRUE(model.atEnd());
    EXPECT_FALSE(model.soundOn());
    EXPECT_FALSE(model.checked(c::kSoundOn));
    for (int id : {c::kMode1, c::kSpeedUp, c::kDelayUp, c::kChannel1, c::kBackup, c::kEdit}) {
        EXPECT_TRUE(model.enabled(id)) << id;
    }
    for (int id : {c::kSound1, c::kSkipList, c::kFfPlay, c::kFPlay, c::kPause, c::kEnd}) {
        EXPECT_FALSE(model.enabled(id)) << id;
    }
    EXPECT_EQ(model.channelPane(0).width(), 720);
    // The next sound-on keeps the chosen channel.
    EXPECT_FALSE(model.setSoundOn(true));
    EXPECT_EQ(model.soundChannel(), 3);
}

TEST(PlayerViewModel, NavigationButtonsDisableTheActiveModeAndSetTheSoundButton) {
    using N = NavigationState;
    struct Case {
        int button;
        media::PlayMode mode;
        NavigationState state;
        bool soundButton;
    };
    const Case cases[] = {
        {c::kFPlay, media::PlayMode::Forward, N::Forward, true},
        {c::kPause, media::PlayMode::Pause, N::Pause, true},
        {c::kFfPlay, media::PlayMode::FastForward, N::FastForward, false},
        {c::kBPlay, media::PlayMode::Backward, N::Backward, false},
        {c::kRwPlay, media::PlayMode::FastBackward, N::FastBackward, false},
    };
    for (const Case& k : cases) {
        PlayerViewModel model = openModel(4);
        const auto request = model.navigationButton(k.button);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->mode, k.mode);
        EXPECT_TRUE(request->setRequestFlag);
        EXPECT_EQ(model.navigationState(), k.state);
        EXPECT_FALSE(model.enabled(k.button));
        EXPECT_EQ(model.enabled(c::kSoundOn), k.soundButton);
        for (int other : {c::kFPlay, c::kPause, c::kFfPlay, c::kBPlay, c::kRwPlay, c::kStart, c::kEnd}) {
            if (other != k.button) {
                EXPECT_TRUE(model.enabled(other)) << k.button << " leaves " << other;
            }
        }
    }
    PlayerViewModel closed;
    EXPECT_FALSE(closed.navigationButton(c::kFPlay));
    EXPECT_FALSE(closed.enabled(c::kFPlay));
}

TEST(PlayerViewModel, TheIndicatorShowsPauseWhilePausedOrWaitingOutTheDelay) {
    PlayerViewModel closed;
    EXPECT_FALSE(closed.shownNavigationState(true, false));
    PlayerViewModel model = openModel(4);
    model.navigationButton(c::kFfPlay);
    EXPECT_EQ(model.shownNavigationState(false, false), NavigationState::FastForward);
    EXPECT_EQ(model.shownNavigationState(false, true), NavigationState::Pause);
    EXPECT_EQ(model.shownNavigationState(true, false), NavigationState::Pause);
}

TEST(PlayerViewModel, PlaybackNewsAddsChannelsAndNamesThePanesToRepaint) {
    PlayerViewModel model = openModel(16, 0);
    model.layoutButton(3);
    EXPECT_TRUE(model.playbackNews(0x0003, false));
    EXPECT_FALSE(model.playbackNews(0x0001, false));
    EXPECT_EQ(model.presentMask(), 0x0003u);
    // Channels 1 and 10: only channel 1 is on the first page of nine panes.
    const std::vector<PaneRect> panes = model.pagePanes(0x0402);
    ASSERT_EQ(panes.size(), 1u);
    EXPECT_EQ(panes[0], model.channelPane(1));
    // A quad picture shrinks the single pane.
    model.layoutButton(1);
    EXPECT_TRUE(model.playbackNews(0x0003, true));
    EXPECT_EQ(model.channelPane(0).width(), 360);
}

TEST(PlayerViewModel, EndStaysDisabledForAFileWithoutAValidEndTime) {
    PlayerViewModel model = openModel(4);
    model.setEndTimeValid(false);
    model.navigationButton(c::kFPlay);
    EXPECT_FALSE(model.enabled(c::kEnd));
    EXPECT_TRUE(model.enabled(c::kFfPlay));
    model.beginOpen();
    model.fileOpened(4, false);
    EXPECT_TRUE(model.enabled(c::kEnd));
}

// Sound shows one pane: the page's first channel, or the first present one, and the page follows it.
TEST(PlayerViewModel, SoundOnShowsAChannelThatIsThereAndThePageFollows) {
    PlayerViewModel model = openModel(16, 0xFFFF, /*sound=*/true);
    model.layoutButton(2);
    model.nextPage();
    ASSERT_EQ(model.firstChannel(), 4);
    model.setSoundOn(true);
    EXPECT_EQ(model.layout(), 1);
    EXPECT_EQ(model.firstChannel(), 4);
    EXPECT_EQ(model.page(), 4);
    model.setSoundOn(false);
    model.nextPage();
    EXPECT_EQ(model.firstChannel(), 5);

    PlayerViewModel missing = openModel(16, 0x00F0, /*sound=*/true);
    missing.setSoundOn(true);
    EXPECT_EQ(missing.firstChannel(), 4);
    EXPECT_EQ(missing.page(), 4);
}

TEST(PlayerViewModel, TheSoundSwitchNeedsAReadyDeviceToSwitchOn) {
    EXPECT_FALSE(openModel(4).soundSwitchUsable(true)) << "no sound in the file";
    PlayerViewModel model = openModel(4, 0xF, true);
    EXPECT_TRUE(model.soundSwitchUsable(true));
    EXPECT_FALSE(model.soundSwitchUsable(false));
    model.setSoundOn(true);
    EXPECT_TRUE(model.soundSwitchUsable(false)) << "switching off needs no device";
    model.setSoundOn(false);
    model.navigationButton(c::kFfPlay);
    EXPECT_FALSE(model.soundSwitchUsable(true)) << "sound plays forward only";
    // An export plays forwards with the backup window open: sound would leave pictures out of it.
    model.setBackupWindowOpen(true);
    model.navigationButton(c::kFPlay);
    EXPECT_FALSE(model.soundSwitchUsable(true)) << "not while the backup window is open";
    model.setBackupWindowOpen(false);
    EXPECT_TRUE(model.soundSwitchUsable(true));
}

// A step during play ends paused: PLAY can be pressed again at once.
TEST(PlayerViewModel, AnArrowStepDuringPlayLeavesThePlayButtonsUsable) {
    PlayerViewModel model = openModel(4);
    model.navigationButton(c::kFPlay);
    ASSERT_FALSE(model.enabled(c::kFPlay));
    ASSERT_EQ(model.arrowKey(true)->mode, media::PlayMode::StepForward);
    EXPECT_TRUE(model.enabled(c::kFPlay));
    EXPECT_TRUE(model.enabled(c::kBPlay));
    EXPECT_FALSE(model.enabled(c::kPause));
}

TEST(PlayerViewModel, SpaceRemembersTheDirection) {
    PlayerViewModel model = openModel(4);
    EXPECT_EQ(model.spaceKey(media::PlayMode::Pause)->mode, media::PlayMode::Forward);
    EXPECT_EQ(model.spaceKey(media::PlayMode::FastBackward)->mode, media::PlayMode::Pause);
    EXPECT_EQ(model.spaceKey(media::PlayMode::Pause)->mode, media::PlayMode::Backward);
    EXPECT_EQ(model.spaceKey(media::PlayMode::FastForward)->mode, media::PlayMode::Pause);
    EXPECT_EQ(model.spaceKey(media::PlayMode::Pause)->mode, media::PlayMode::Forward);
    EXPECT_FALSE(model.spaceKey(media::PlayMode::StepForward));
    const auto step = model.arrowKey(false);
    EXPECT_EQ(step->mode, media::PlayMode::StepBackward);
    EXPECT_FALSE(step->setRequestFlag);
}

TEST(PlayerViewModel, EachCommandSaysWhatItAsksOfThePlaybackAndTheWindow) {
    using Window = CommandEffects::Window;
    struct Case {
        int id;
        bool mode;
        bool newPage;
        bool refresh;
        Window window;
    };
    const Case cases[] = {
        {c::kFPlay, true, false, true, Window::None},
        {c::kStart, true, false, true, Window::None},
        {c::kMode1, false, true, true, Window::None},
        {c::kMode16, false, true, true, Window::None},
        {c::kChannel1 + 2, false, true, true, Window::None},    // a present channel
        {c::kChannel1 + 9, false, false, false, Window::None},  // an absent one does nothing
        {c::kNextPage, false, false, true, Window::None},
        {c::kSpeedUp, false, false, true, Window::None},
        {c::kDelayDown, false, false, true, Window::None},
        {c::kOpen, false, false, false, Window::OpenFile},
        {c::kExit, false, false, false, Window::Exit},
        {c::kSoundOn, false, false, false, Window::ToggleSound},
        {c::kBackup, false, false, false, Window::BackupWindow},
        {c::kEdit, false, false, false, Window::EditWindow},
        {c::kSetting, false, false, false, Window::None},
        {999, false, false, false, Window::None},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.id);
        PlayerViewModel model = openModel(16, 0x00FF);
        const CommandEffects effects = model.onCommand(k.id);
        EXPECT_EQ(effects.mode.has_value(), k.mode);
        EXPECT_EQ(effects.newPage, k.newPage);
        EXPECT_EQ(effects.refresh, k.refresh);
        EXPECT_EQ(effects.window, k.window);
    }
    // The buttons act on the model as their own calls do.
    PlayerViewModel model = openModel(16);
    EXPECT_EQ(model.onCommand(c::kFPlay).mode->mode, media::PlayMode::Forward);
    model.onCommand(c::kMode9);
    EXPECT_EQ(model.layout(), 3);
    model.onCommand(c::kSpeedUp);
    EXPECT_EQ(model.speedIndex(), 3);
    // Without a file the navigation buttons ask for nothing.
    PlayerViewModel closed;
    closed.beginOpen();
    EXPECT_FALSE(closed.onCommand(c::kFPlay).mode);
}

TEST(PlayerViewModel, DoubleClickSwitchesBetweenAPaneAndTheChosenLayout) {
    PlayerViewModel model = openModel(16, /*present=*/0xFFFF & ~(1u << 1));
    model.layoutButton(2);  // panes 360 x 240 from (10, 20)
    EXPECT_EQ(model.doubleClick(400, 30, false), PlayerViewModel::DoubleClick::Ignored);  // channel 1 absent
    EXPECT_EQ(model.doubleClick(20, 300, false), PlayerViewModel::DoubleClick::Changed);  // channel 2
    EXPECT_EQ(model.layout(), 1);
    EXPECT_EQ(model.firstChannel(), 2);
    EXPECT_EQ(model.doubleClick(100, 100, false), PlayerViewModel::DoubleClick::Changed);
    EXPECT_EQ(model.layout(), 2);
    EXPECT_EQ(model.doubleClick(100, 100, true), PlayerViewModel::DoubleClick::About);
}

TEST(PlayerViewModel, SpeedAndDelayStayInRange) {
    PlayerViewModel model;
    for (int i = 0; i < 10; ++i) {
        model.speedUp();
        model.delayUp();
    }
    EXPECT_STREQ(PlayerViewModel::speedLabel(model.speedIndex()), "16x");
    EXPECT_STREQ(PlayerViewModel::delayLabel(model.delayIndex()), "  32");
    for (int i = 0; i < 10; ++i) {
        model.speedDown();
        model.delayDown();
    }
    EXPECT_STREQ(PlayerViewModel::speedLabel(model.speedIndex()), "1/4x");
    EXPECT_STREQ(PlayerViewModel::delayLabel(model.delayIndex()), "   1 ");
}

}  // namespace
}  // namespace dvr::player

namespace dvr::player {
namespace {

// The backup window keeps the file (OPEN disabled) and stays closable by BACKUP, also with sound on;
// an export locks the pane to its channel until it ends or the window closes.
TEST(PlayerViewModel, BackupWindowKeepsTheFileAndAnExportLocksThePane) {
    PlayerViewModel model = openModel(16, 0xFFFF, /*sound=*/true);
    model.setBackupWindowOpen(true);
    EXPECT_FALSE(model.enabled(control::kOpen));
    EXPECT_TRUE(model.enabled(control::kBackup));
    model.setSoundOn(true);
    model.atEnd();
    EXPECT_TRUE(model.enabled(control::kBackup));
    EXPECT_FALSE(model.enabled(control::kEdit));

    model.setExporting(true);
    for (int id : {control::kMode1, control::kMode16, control::kChannel1, control::kChannel16,
                   control::kPrevPage, control::kNextPage, control::kSpeedUp, control::kSpeedDown,
                   control::kDelayUp, control::kDelayDown}) {
        EXPECT_FALSE(model.enabled(id)) << id;
    }
    model.setBackupWindowOpen(false);
    EXPECT_FALSE(model.exporting());
    EXPECT_TRUE(model.enabled(control::kOpen));
    EXPECT_TRUE(model.enabled(control::kMode4));
    EXPECT_TRUE(model.enabled(control::kSpeedUp));
}

TEST(PlayerViewModel, AHandedOverFileWaitsWhileTheBackupOrEditWindowWorksOnTheCurrentOne) {
    PlayerViewModel model = openModel(4);
    EXPECT_FALSE(model.handOffRefusal(false));
    EXPECT_NE(model.handOffRefusal(true)->find("image edit window"), std::string::npos);
    model.setBackupWindowOpen(true);
    EXPECT_NE(model.handOffRefusal(false)->find("backup window"), std::string::npos);
    model.setBackupWindowOpen(false);
    EXPECT_FALSE(model.handOffRefusal(false));
}

}  // namespace
}  // namespace dvr::player
