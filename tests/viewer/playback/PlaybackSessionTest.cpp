// The controller driving a real RecorderSession over a fake transport.
#include "../link/FakeLink.h"
#include "PairRecord.h"

#include "tools/synth/Synth.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"
#include "viewer/playback/SessionPlaybackRequests.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dvr::playback {
namespace {

using namespace link;
using link::testing::FakeTransport;
using link::testing::params;
using link::testing::reply;
using testing::pairRecord;

class PlaybackSessionTest : public ::testing::Test {
protected:
    void deliver(const std::vector<uint8_t>& bytes) {
        transport.arrive(bytes);
        while (!transport.incoming.empty())
            dvr::link::readOnce(transport, session);
    }
    size_t count(uint32_t command) const {
        const auto commands = transport.sentCommands();
        return size_t(std::count(commands.begin(), commands.end(), command));
    }
    std::vector<uint8_t> pictureAt(const DateTime& t) {
        static const auto record = pairRecord(3);
        return reply(command::PlaybackPictureReply,
                     params({packPictureDateWord(t), packPictureTimeWord(t), 0, 1, 120000}), record);
    }

    static constexpr DateTime kStart{2006, 1, 2, 3, 4, 5};
    static constexpr DateTime kEnd{2006, 1, 2, 3, 4, 20};
    FakeTransport transport;
    // The link refers to the driver declared below; it is used only after
    // the constructors ran.
    SessionPlaybackRequests link{driver, "127.0.0.1", 50000};
    PlaybackController controller{link, [] { return DateTime{2010, 1, 1}; }};
    PlaybackControllerHost host{controller};
    link::LiveHost live;
    RecorderSession session{live, &host};
    dvr::link::testing::FakeSteadyClock clock;
    dvr::link::SessionDriver driver{session, transport, clock};
};

TEST_F(PlaybackSessionTest, OnePictureRequestOutstandingAndChangesQueued) {
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    driver.onConnectResult(0);
    deliver(reply(command::LoginReply, params({1, 16, packDateWord(kStart), packTimeWord(kStart),
                                               packDateWord(kEnd), packTimeWord(kEnd)})));
    controller.open(openingSplitCode(0x10016), 0x10016);
    controller.onRangeTimer();
    EXPECT_EQ(transport.sentCommands().back(), command::RecordingRange);
    // The window opened paused: the range reply stops any play.
    deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                        packDateWord(kEnd), packTimeWord(kEnd)})));
    EXPECT_EQ(transport.sentCommands().back(), command::StopPlayback);
    deliver(reply(command::StopPlaybackReply, params({1})));

    controller.onPlayButton(PlayButton::Forward);
    ASSERT_EQ(transport.sentCommands().back(), command::PlaySearch);
    const ParamBlock search = transport.sentParams(transport.sent.size() - 1);
    EXPECT_EQ(search.p[0], 15u);
    EXPECT_EQ(search.p[1], packDateWord(kStart));
    EXPECT_EQ(search.p[2], packTimeWord(kStart));
    EXPECT_EQ(search.p[3], 0x00010100u);
    deliver(reply(command::PlaySearchReply, params({1})));
    EXPECT_EQ(count(command::NextPlaybackPicture), 1u);

    deliver(pictureAt({2006, 1, 2, 3, 4, 5}));
    EXPECT_EQ(count(command::NextPlaybackPicture), 2u);
    EXPECT_EQ(controller.clockText(), "03:04:05");

    // Fast forward while a picture is in flight: nothing is sent until it
    // arrives; then the new play request goes out instead of a picture request.
    const size_t sentBefore = transport.sent.size();
    controller.onPlayButton(PlayButton::FastForward);
    EXPECT_EQ(transport.sent.size(), sentBefore);
    deliver(pictureAt({2006, 1, 2, 3, 4, 6}));
    ASSERT_EQ(transport.sentCommands().back(), command::PlaySearch);
    EXPECT_EQ(transport.sentParams(transport.sent.size() - 1).p[3], 0x00030200u);
    EXPECT_EQ(session.pendingRequest(), RequestKind::NextPlaybackPicture);

    // After the format settled the pair lands in its even channel's panes.
    for (int s = 9; s < 15; s += 1)
        deliver(pictureAt({2006, 1, 2, 3, 4, s}));
    EXPECT_EQ(controller.layout().paneSource(2).buffer, 2);
    EXPECT_EQ(controller.layout().paneSource(3).buffer, 2);

    // The picture at the recording end queues the stop.
    deliver(pictureAt(kEnd));
    EXPECT_EQ(transport.sentCommands().back(), command::StopPlayback);
    EXPECT_FALSE(controller.playing());
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_EQ(controller.statusText(), "STOP PLAY IMAGE");
}

// The replies of a stopped picture chain come before the stop's own reply: a play pressed before that
// reply must outlive it, and the stopped chain's last picture must not start a second chain.
TEST_F(PlaybackSessionTest, APlayPressedBeforeTheStopReplySurvivesIt) {
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    driver.onConnectResult(0);
    deliver(reply(command::LoginReply, params({1, 16, packDateWord(kStart), packTimeWord(kStart),
                                               packDateWord(kEnd), packTimeWord(kEnd)})));
    controller.open(openingSplitCode(0x10016), 0x10016);
    controller.onRangeTimer();
    deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                        packDateWord(kEnd), packTimeWord(kEnd)})));
    ASSERT_EQ(transport.sentCommands().back(), command::StopPlayback);

    // The range reply's stop is still unanswered when FPLAY goes out.
    controller.onPlayButton(PlayButton::Forward);
    ASSERT_EQ(transport.sentCommands().back(), command::PlaySearch);
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_TRUE(controller.playing());
    EXPECT_EQ(controller.checkedButton(), PlayButton::Forward);
    EXPECT_EQ(controller.statusText(), "SEARCHING                      ");
    deliver(reply(command::PlaySearchReply, params({1})));
    deliver(pictureAt({2006, 1, 2, 3, 4, 6}));
    EXPECT_EQ(count(command::NextPlaybackPicture), 2u);
    EXPECT_TRUE(controller.playing());

    // PAUSE with a picture in flight, then FFPLAY before the stop reply: the picture in flight and the
    // stop reply belong to the stopped chain; the new search then runs one chain.
    controller.onPlayButton(PlayButton::Pause);
    ASSERT_EQ(transport.sentCommands().back(), command::StopPlayback);
    controller.onPlayButton(PlayButton::FastForward);
    ASSERT_EQ(transport.sentCommands().back(), command::PlaySearch);
    const size_t sentBefore = transport.sent.size();
    deliver(pictureAt({2006, 1, 2, 3, 4, 7}));
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_EQ(transport.sent.size(), sentBefore);
    EXPECT_TRUE(controller.playing());
    EXPECT_EQ(controller.playState(), kPlayFastForward);
    deliver(reply(command::PlaySearchReply, params({1})));
    EXPECT_EQ(transport.sentCommands().back(), command::NextPlaybackPicture);
    EXPECT_EQ(transport.sent.size(), sentBefore + 1);
    deliver(pictureAt({2006, 1, 2, 3, 4, 11}));
    EXPECT_EQ(transport.sent.size(), sentBefore + 2);

    // A plain PAUSE still ends in the stop's status.
    controller.onPlayButton(PlayButton::Pause);
    deliver(pictureAt({2006, 1, 2, 3, 4, 15}));
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_FALSE(controller.playing());
    EXPECT_EQ(controller.statusText(), "STOP PLAY IMAGE");
    EXPECT_EQ(transport.sentCommands().back(), command::StopPlayback);
}

// A play button pressed before the window asked for the range waits for the range reply, which sends
// the one play request.
TEST_F(PlaybackSessionTest, APlayPressedBeforeTheRangeRequestStartsOneChain) {
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    driver.onConnectResult(0);
    deliver(reply(command::LoginReply, params({1, 16, packDateWord(kStart), packTimeWord(kStart),
                                               packDateWord(kEnd), packTimeWord(kEnd)})));
    deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                        packDateWord(kEnd), packTimeWord(kEnd)})));
    controller.open(openingSplitCode(0x10016), 0x10016);
    transport.sent.clear();
    for (const PlayButton button : {PlayButton::FastForward, PlayButton::Reverse}) {
        SCOPED_TRACE(int(button));
        controller.onPlayButton(button);
        EXPECT_TRUE(controller.playing());
        EXPECT_EQ(count(command::PlaySearch), 0u);
    }
    controller.onRangeTimer();
    EXPECT_EQ(transport.sentCommands().back(), command::RecordingRange);
    deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                        packDateWord(kEnd), packTimeWord(kEnd)})));
    ASSERT_EQ(count(command::PlaySearch), 1u);
    EXPECT_EQ(count(command::StopPlayback), 0u);
    EXPECT_EQ(transport.sentParams(transport.sent.size() - 1).p[3], 0x01010200u);
    deliver(reply(command::PlaySearchReply, params({1})));
    deliver(pictureAt({2006, 1, 2, 3, 4, 8}));
    EXPECT_EQ(count(command::NextPlaybackPicture), 2u);
    EXPECT_EQ(count(command::PlaySearch), 1u);
}

// A play button that finds the connection gone reconnects; the session logs in, asks for the range and
// then sends one play request in the button's direction, whichever it is.
TEST_F(PlaybackSessionTest, PlayRestartedByAReconnectKeepsItsDirection) {
    const auto logIn = [&] {
        driver.onConnectResult(0);
        deliver(reply(command::LoginReply, params({1, 16, packDateWord(kStart), packTimeWord(kStart),
                                                   packDateWord(kEnd), packTimeWord(kEnd)})));
    };
    const auto rangeReply = [&] {
        deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                            packDateWord(kEnd), packTimeWord(kEnd)})));
    };
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    logIn();
    controller.open(openingSplitCode(0x10016), 0x10016);
    controller.onRangeTimer();
    rangeReply();
    session.disconnect();

    for (const PlayButton button : {PlayButton::Reverse, PlayButton::FastForward, PlayButton::Forward}) {
        SCOPED_TRACE(int(button));
        transport.sent.clear();
        controller.onPlayButton(button);
        ASSERT_TRUE(controller.reconnecting());
        logIn();
        controller.onConnectionEstablished();
        // Nothing is asked for before the range reply, and the log-in went out once.
        EXPECT_EQ(count(command::Login), 1u);
        EXPECT_EQ(count(command::PlaySearch), 0u);
        rangeReply();
        EXPECT_EQ(count(command::PlaySearch), 1u);
        EXPECT_EQ(count(command::StopPlayback), 0u);
        EXPECT_EQ(transport.sentParams(transport.sent.size() - 1).p[3], controller.playMode());
        deliver(reply(command::PlaySearchReply, params({1})));
        deliver(pictureAt({2006, 1, 2, 3, 4, 8}));
        EXPECT_EQ(transport.sentCommands().back(), command::NextPlaybackPicture);
        EXPECT_EQ(count(command::PlaySearch), 1u);
        EXPECT_TRUE(controller.playing());
        controller.onPlayButton(PlayButton::Pause);
        session.disconnect();
    }
}

}  // namespace
}  // namespace dvr::playback
