// The PTZ control in the live loop of a recorder session, as the live window
// hosts it: commands go out after a whole live reply, and the next live
// request waits for the pause timer.
#include "tests/viewer/link/FakeLink.h"
#include "viewer/ptz/PtzController.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dvr::ptz {
namespace {

using link::command::LivePicture;
using link::command::PtzData;

// Session host and PTZ host in one, with a timer the test fires by hand.
class LoopHost : public link::testing::RecordingHost, public PtzHost {
public:
    void afterLivePicture() override { controller->afterLivePicture(); }
    bool holdLiveRequest() override { return controller->pausing(); }
    void sendPtz(int, std::span<const uint8_t> bytes, uint32_t baud) override {
        session->sendPtz(bytes, baud);
    }
    void startPauseTimer(int ms) override { timerMs = ms; }
    void resumeLiveLoop() override { session->releaseLiveRequest(); }
    void fireTimer() {
        timerMs = 0;
        controller->onPauseElapsed();
    }

    PtzController* controller = nullptr;
    int timerMs = 0;
};

class PtzLiveLoopTest : public ::testing::Test {
protected:
    PtzLiveLoopTest() {
        host.session = &session;
        host.controller = &controller;
    }
    void startLive() {
        ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
        driver.onConnectResult(0);
        deliver(link::testing::reply(link::command::LoginReply, link::testing::params({1, 16})));
        deliver(link::testing::reply(link::command::RecordingRangeReply, link::testing::params({})));
        ASSERT_EQ(transport.sentCommands().back(), LivePicture);
    }
    // One live reply whose record does not decode: it still ends a picture turn.
    void livePicture() {
        const std::vector<uint8_t> record(700, 0x5A);
        deliver(link::testing::reply(link::command::LivePictureReply, link::testing::params({}), record));
    }
    void deliver(const std::vector<uint8_t>& bytes) {
        transport.arrive(bytes);
        for (int i = 0; i < 100 && !transport.incoming.empty(); ++i)
            dvr::link::readOnce(transport, session);
    }
    std::vector<uint32_t> sentSince(size_t from) const {
        const auto all = transport.sentCommands();
        return {all.begin() + static_cast<ptrdiff_t>(from), all.end()};
    }

    link::testing::FakeTransport transport;
    LoopHost host;
    link::RecorderSession session{host, &host.playback};
    link::testing::FakeSteadyClock clock;
    link::SessionDriver driver{session, transport, clock};
    PtzController controller{host, {}, PtzSettings{1, 4, 2}};
};

TEST_F(PtzLiveLoopTest, CommandsGoOutBetweenRepliesAndTheNextRequestWaitsForThePause) {
    startLive();
    controller.pressCode(kLeft);
    size_t mark = transport.sent.size();
    livePicture();
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    EXPECT_TRUE(session.liveRequestHeld());
    EXPECT_EQ(host.timerMs, kPtzSendPauseMs);
    const auto p = transport.sentParams(mark);
    EXPECT_EQ(p.p[0], 2u);
    EXPECT_EQ(p.p[1], 8u);
    EXPECT_EQ(p.p[2], 4u);
    EXPECT_EQ(transport.sent[mark].size(), 68u);
    EXPECT_EQ(transport.sent[mark][60], 0xA0);
    host.fireTimer();
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{PtzData, LivePicture}));

    // Release: two stops, then the loop runs without pauses.
    controller.release();
    mark = transport.sent.size();
    for (int i = 0; i < 3; ++i) {
        livePicture();
        if (host.timerMs)
            host.fireTimer();
    }
    EXPECT_EQ(sentSince(mark),
              (std::vector<uint32_t>{PtzData, LivePicture, PtzData, LivePicture, LivePicture}));
}

TEST_F(PtzLiveLoopTest, AHeldRequestIsDroppedWhenTheLoopEnds) {
    startLive();
    controller.pressCode(kUp);
    livePicture();
    ASSERT_TRUE(session.liveRequestHeld());
    host.playbackOn = true;  // remote playback took over meanwhile
    size_t mark = transport.sent.size();
    host.fireTimer();
    EXPECT_TRUE(sentSince(mark).empty());

    host.playbackOn = false;
    controller.pressCode(kUp);
    // A picture is not expected without a request, but a stray one is still
    // handled: it only holds the request again.
    livePicture();
    ASSERT_TRUE(session.liveRequestHeld());
    session.disconnect();
    EXPECT_FALSE(session.liveRequestHeld());
    mark = transport.sent.size();
    host.fireTimer();
    EXPECT_TRUE(sentSince(mark).empty());
}

// The live view resumed after remote playback sends its own live request while the one held before
// playback is still marked: that request replaces the held one, so the pause ending later sends no
// second request and one request stays outstanding.
TEST_F(PtzLiveLoopTest, ALiveRequestSentWhileOneIsHeldReplacesIt) {
    startLive();
    controller.pressCode(kUp);
    livePicture();
    ASSERT_TRUE(session.liveRequestHeld());
    size_t mark = transport.sent.size();
    ASSERT_TRUE(session.request(link::RequestKind::LivePicture));
    EXPECT_FALSE(session.liveRequestHeld());
    host.fireTimer();
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});

    // The loop goes on as before: the next reply holds the request again for the pause.
    livePicture();
    EXPECT_TRUE(session.liveRequestHeld());
}

}  // namespace
}  // namespace dvr::ptz
