// Playback pictures decoded on the worker: the session's follow-up request goes out only after the
// picture was handed to the window; a PAUSE or a new play pressed meanwhile is honoured as when the
// picture is decoded at once; a picture of a connection that ended is not drawn and sends nothing;
// pictures nobody asked for wait one at a time.
#include "../link/FakeLink.h"
#include "PairRecord.h"

#include "common/frame/DecodeWorker.h"
#include "tools/synth/Synth.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"
#include "viewer/playback/SessionPlaybackRequests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace dvr::playback {
namespace {

using namespace link;
using link::testing::FakeTransport;
using link::testing::params;
using link::testing::reply;
using testing::pairRecord;

constexpr std::chrono::seconds kWait{20};

// Notes each picture handed to the window with the number of packets sent by then.
class DrawingHost : public PlaybackControllerHost {
public:
    DrawingHost(PlaybackController& controller, const FakeTransport& transport)
        : PlaybackControllerHost(controller), m_transport(transport) {}
    std::vector<size_t> drawnAfter;

protected:
    void pictureDrawn(int, const frame::FrameHeader&, const frame::DecodedPicture&,
                      const PaneDrawList&) override {
        drawnAfter.push_back(m_transport.sent.size());
    }

private:
    const FakeTransport& m_transport;
};

class PlaybackDecodeWorkerTest : public ::testing::Test {
protected:
    PlaybackDecodeWorkerTest() { host.setDecodeWorker(&worker, &session); }

    void deliver(const std::vector<uint8_t>& bytes) {
        transport.arrive(bytes);
        while (!transport.incoming.empty())
            dvr::link::readOnce(transport, session);
    }
    size_t count(uint32_t command) const {
        const auto commands = transport.sentCommands();
        return size_t(std::count(commands.begin(), commands.end(), command));
    }
    std::vector<uint32_t> sentSince(size_t from) const {
        const auto all = transport.sentCommands();
        return {all.begin() + ptrdiff_t(from), all.end()};
    }
    std::vector<uint8_t> pictureAt(int second) {
        static const auto record = pairRecord(3);
        const DateTime t{2006, 1, 2, 3, 4, second};
        return reply(command::PlaybackPictureReply,
                     params({packPictureDateWord(t), packPictureTimeWord(t), 0, 1, 120000}), record);
    }
    void logIn() {
        driver.onConnectResult(0);
        deliver(reply(command::LoginReply, params({1, 16, packDateWord(kStart), packTimeWord(kStart),
                                                   packDateWord(kEnd), packTimeWord(kEnd)})));
    }
    // Connected, the window open and playing forward, the first picture request out.
    void startPlaying() {
        ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
        logIn();
        controller.open(openingSplitCode(0x10016), 0x10016);
        controller.onRangeTimer();
        deliver(reply(command::RecordingRangeReply, params({0, 0, packDateWord(kStart), packTimeWord(kStart),
                                                            packDateWord(kEnd), packTimeWord(kEnd)})));
        deliver(reply(command::StopPlaybackReply, params({1})));
        controller.onPlayButton(PlayButton::Forward);
        deliver(reply(command::PlaySearchReply, params({1})));
        ASSERT_EQ(count(command::NextPlaybackPicture), 1u);
    }
    int handBack() { return poster.waitAndRun(kWait); }
    // Pictures until the window takes one (the first ones settle the format and are not decoded).
    void pictureUntilDecoding() {
        for (int i = 0; i < 10 && !host.decodeOut(); ++i)
            deliver(pictureAt(m_second++));
        ASSERT_TRUE(host.decodeOut());
    }
    int m_second = 6;

    static constexpr DateTime kStart{2006, 1, 2, 3, 4, 5};
    static constexpr DateTime kEnd{2006, 1, 2, 3, 4, 50};
    FakeTransport transport;
    frame::PumpedPoster poster;
    frame::DecodeWorker worker{poster};
    // The link refers to the driver declared below; it is used only after the constructors ran.
    SessionPlaybackRequests link{driver, "127.0.0.1", 50000};
    PlaybackController controller{link, [] { return DateTime{2010, 1, 1}; }};
    DrawingHost host{controller, transport};
    link::LiveHost live;
    RecorderSession session{live, &host};
    link::testing::FakeSteadyClock clock;
    link::SessionDriver driver{session, transport, clock};
};

TEST_F(PlaybackDecodeWorkerTest, TheFollowUpWaitsForTheHandOffAndAButtonPressedMeanwhileCounts) {
    startPlaying();
    pictureUntilDecoding();
    size_t mark = transport.sent.size();
    EXPECT_TRUE(session.playbackRequestHeld());
    ASSERT_EQ(handBack(), 1);
    ASSERT_EQ(host.drawnAfter.size(), 1u);
    EXPECT_EQ(host.drawnAfter[0], mark) << "nothing went out before the picture was handed over";
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{command::NextPlaybackPicture});
    EXPECT_FALSE(session.playbackRequestHeld());

    // FAST FORWARD while the picture decodes: the new play request is the follow-up, after the picture.
    mark = transport.sent.size();
    pictureUntilDecoding();
    controller.onPlayButton(PlayButton::FastForward);
    EXPECT_TRUE(sentSince(mark).empty());
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(host.drawnAfter.back(), mark);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{command::PlaySearch});
    deliver(reply(command::PlaySearchReply, params({1})));

    // PAUSE while the picture decodes: the stop goes out at once, and the picture that comes back after
    // it continues nothing; the stop's reply ends the play.
    mark = transport.sent.size();
    pictureUntilDecoding();
    controller.onPlayButton(PlayButton::Pause);
    ASSERT_EQ(sentSince(mark), std::vector<uint32_t>{command::StopPlayback});
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{command::StopPlayback});
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_FALSE(controller.playing());
    EXPECT_EQ(controller.statusText(), "STOP PLAY IMAGE");
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{command::StopPlayback});
}

// A peer that sends pictures nobody asked for while one decodes: only the newest waits, so the worker
// decodes two pictures, not one per reply, and one follow-up goes out after both were handed over.
TEST_F(PlaybackDecodeWorkerTest, PicturesNobodyAskedForWaitOneAtATime) {
    startPlaying();
    const uint64_t decodesBefore = worker.decodes();
    pictureUntilDecoding();
    const size_t mark = transport.sent.size();
    for (int i = 0; i < 4; ++i)
        deliver(pictureAt(m_second++));
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(host.drawnAfter.size(), 1u);
    EXPECT_TRUE(host.decodeOut()) << "the newest stray picture is out next";
    EXPECT_TRUE(sentSince(mark).empty());

    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(host.drawnAfter.size(), 2u);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{command::NextPlaybackPicture});
    EXPECT_EQ(worker.decodes() - decodesBefore, 2u);
    EXPECT_EQ(poster.pending(), 0u);
}

// PAUSE, its stop answered and FORWARD pressed again, all while one picture decodes: the new play runs
// one chain from its own reply; the picture of the stopped chain adds no request to it.
TEST_F(PlaybackDecodeWorkerTest, APictureOfAStoppedChainAddsNoRequestToTheNextPlay) {
    startPlaying();
    pictureUntilDecoding();
    const size_t mark = transport.sent.size();
    controller.onPlayButton(PlayButton::Pause);
    deliver(reply(command::StopPlaybackReply, params({1})));
    controller.onPlayButton(PlayButton::Forward);
    deliver(reply(command::PlaySearchReply, params({1})));
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{command::StopPlayback, command::PlaySearch,
                                                      command::NextPlaybackPicture}));
}

TEST_F(PlaybackDecodeWorkerTest, APictureOfAConnectionThatEndedIsNotDrawnAndSendsNothing) {
    startPlaying();
    pictureUntilDecoding();
    session.disconnect();
    size_t mark = transport.sent.size();
    ASSERT_EQ(handBack(), 1);
    EXPECT_TRUE(host.drawnAfter.empty());
    EXPECT_TRUE(sentSince(mark).empty());

    // Reconnected and logged in again while the old connection's picture waits to come back: dropped.
    transport.sent.clear();
    startPlaying();
    pictureUntilDecoding();
    session.disconnect();
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    logIn();
    mark = transport.sent.size();
    ASSERT_EQ(handBack(), 1);
    EXPECT_TRUE(host.drawnAfter.empty());
    EXPECT_TRUE(sentSince(mark).empty());
    EXPECT_FALSE(host.decodeOut());
}

}  // namespace
}  // namespace dvr::playback
