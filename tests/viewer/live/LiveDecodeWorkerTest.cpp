// Live pictures decoded on the worker: the next live request goes out only after the picture came back
// and was drawn, exactly once, also when a PTZ pause holds it too; a disconnect or a reconnect while a
// picture decodes drops it and sends nothing for it; a layout that grew meanwhile gets the picture at its
// new size; pictures nobody asked for wait one at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "common/frame/DecodeWorker.h"
#include "tests/support/LiveControllerFixture.h"
#include "tools/synth/Synth.h"
#include "viewer/live/LiveController.h"

namespace dvr::live {
namespace {

using link::command::LivePicture;
using link::command::PtzData;

constexpr std::chrono::seconds kWait{20};
constexpr uint32_t kUpButton = 1324;

// Notes every pane drawn, with the number of packets sent when it was drawn.
class CountingScreen : public LiveScreen {
public:
    void repaint(uint32_t) override {}
    void drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) override {
        draws.push_back({draw.paneChannel, buffer.reduction, sent ? sent->sent.size() : 0});
    }
    void clearPanes() override {}
    void buttonsChanged() override {}

    struct Draw {
        int pane;
        int reduction;
        size_t sentBefore;
    };
    std::vector<Draw> draws;
    const link::testing::FakeTransport* sent = nullptr;
};

std::vector<uint8_t> liveReply(frame::PictureKind kind, int channel) {
    static synth::CodestreamCache cache;
    synth::PictureShape shape;
    shape.kind = kind;
    shape.channel = channel;
    const auto codestream = cache.get(shape, synth::defaultCodestreamBytes(240));
    synth::RecordHeaderFields fields;
    fields.pictureFlags = synth::pictureFlagsFor(kind);
    fields.channel = uint32_t(channel);
    if (kind == frame::PictureKind::Quad) {
        fields.signalWord = frame::kQuadSignalWord;
    }
    const std::vector<uint8_t> record =
        synth::buildWireRecord(synth::makeHeader(fields, codestream->size()), *codestream);
    // Every channel visible (the visibility word's upper half).
    return link::testing::reply(link::command::LivePictureReply,
                                link::testing::params({0, 0, 0, 0, 0, 0xFFFF0000u}), record);
}

class LiveDecodeWorkerTest : public testing::LiveControllerFixture<CountingScreen> {
protected:
    LiveDecodeWorkerTest() {
        m_screen.sent = &m_transport;
        live().setDecodeWorker(&m_worker);
    }
    ~LiveDecodeWorkerTest() override { m_controller.reset(); }

    void connect() {
        live().pressConnect();
        live().session()->onConnectResult(0);
        deliver(link::testing::reply(link::command::LoginReply, link::testing::params({1, 16})));
        deliver(link::testing::reply(link::command::RecordingRangeReply, link::testing::params({})));
        ASSERT_EQ(m_transport.sentCommands().back(), LivePicture);
    }
    // Live replies until one is handed to the worker (the format settles first).
    void streamUntilDecoding(frame::PictureKind kind = frame::PictureKind::Single, int channel = 5) {
        for (int i = 0; i < 10 && !live().decodeOut(); ++i) {
            deliver(liveReply(kind, channel));
        }
        ASSERT_TRUE(live().decodeOut());
    }
    // Runs posted results until one came back (or the wait ran out).
    int handBack() { return m_poster.waitAndRun(kWait); }
    std::vector<uint32_t> sentSince(size_t from) const {
        const auto all = m_transport.sentCommands();
        return {all.begin() + ptrdiff_t(from), all.end()};
    }

    frame::PumpedPoster m_poster;
    frame::DecodeWorker m_worker{m_poster};
};

TEST_F(LiveDecodeWorkerTest, TheNextLiveRequestFollowsTheDrawnPictureOnce) {
    connect();
    streamUntilDecoding();
    const size_t mark = m_transport.sent.size();
    ASSERT_TRUE(live().session()->liveRequestHeld());
    EXPECT_TRUE(m_screen.draws.empty());

    ASSERT_EQ(handBack(), 1);
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].pane, 5);
    EXPECT_EQ(m_screen.draws[0].reduction, 2);
    EXPECT_EQ(m_screen.draws[0].sentBefore, mark) << "no request before the picture was drawn";
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});
    EXPECT_FALSE(live().decodeOut());
    EXPECT_EQ(live().picturesShown(), 1u);

    // The next turn goes the same way: one request per drawn picture, never two outstanding.
    deliver(liveReply(frame::PictureKind::Single, 6));
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{LivePicture, LivePicture}));
    EXPECT_EQ(m_screen.draws.back().pane, 6);
}

// A peer that sends pictures nobody asked for while one decodes: only the newest waits, so the worker
// decodes two pictures, not one per reply, and one request follows both.
TEST_F(LiveDecodeWorkerTest, PicturesNobodyAskedForWaitOneAtATime) {
    connect();
    const uint64_t decodesBefore = m_worker.decodes();
    streamUntilDecoding();
    const size_t mark = m_transport.sent.size();
    for (int channel = 6; channel <= 10; ++channel) {
        deliver(liveReply(frame::PictureKind::Single, channel));
    }
    ASSERT_EQ(handBack(), 1);
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].pane, 5);
    EXPECT_TRUE(live().decodeOut()) << "the newest stray picture is out next";
    EXPECT_TRUE(sentSince(mark).empty());

    ASSERT_EQ(handBack(), 1);
    ASSERT_EQ(m_screen.draws.size(), 2u);
    EXPECT_EQ(m_screen.draws[1].pane, 10);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});
    EXPECT_EQ(m_worker.decodes() - decodesBefore, 2u);
    EXPECT_EQ(m_poster.pending(), 0u);
}

TEST_F(LiveDecodeWorkerTest, APtzPauseAndADecodeHoldTheRequestTogetherAndReleaseItOnce) {
    connect();
    // Settle the format first, so the PTZ command goes out with a picture that decodes.
    streamUntilDecoding();
    ASSERT_EQ(handBack(), 1);
    live().onHold(kUpButton, 1);

    // The pause ends first: the decode still holds the request.
    size_t mark = m_transport.sent.size();
    deliver(liveReply(frame::PictureKind::Single, 5));
    ASSERT_TRUE(live().decodeOut());
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    m_timers.advance(ptz::kPtzSendPauseMs, live());
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{PtzData, LivePicture}));

    // The picture comes back first: the pause still holds the request.
    mark = m_transport.sent.size();
    deliver(liveReply(frame::PictureKind::Single, 5));
    ASSERT_EQ(handBack(), 1);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    m_timers.advance(ptz::kPtzSendPauseMs, live());
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{PtzData, LivePicture}));
    live().onHold(kUpButton, 0);
}

TEST_F(LiveDecodeWorkerTest, APictureOfAConnectionThatEndedIsDroppedAndReleasesNothing) {
    connect();
    streamUntilDecoding();
    live().pressDisconnect();
    size_t mark = m_transport.sent.size();
    ASSERT_EQ(handBack(), 1);
    EXPECT_TRUE(m_screen.draws.empty());
    EXPECT_TRUE(sentSince(mark).empty());
    EXPECT_EQ(live().picturesShown(), 0u);

    // Reconnected while the old connection's picture waits to come back, and the new connection's first
    // picture is out too: the old one is dropped, the new one is drawn and releases the one request.
    connect();
    streamUntilDecoding(frame::PictureKind::Single, 3);
    live().pressDisconnect();
    connect();
    streamUntilDecoding(frame::PictureKind::Single, 7);
    mark = m_transport.sent.size();
    int results = 0;
    while (results < 2) {
        const int ran = handBack();
        ASSERT_GT(ran, 0);
        results += ran;
    }
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].pane, 7);
    EXPECT_EQ(m_screen.draws[0].sentBefore, mark);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});
}

TEST_F(LiveDecodeWorkerTest, ALayoutThatGrewWhileDecodingGetsThePictureAtItsNewSize) {
    connect();
    // A quad picture's channel is a quarter of it: one halving covers a pane of sixteen.
    streamUntilDecoding(frame::PictureKind::Quad, 4);
    const PaneRect pane = live().layout().paneRect(6);
    live().onDoubleClick((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2);
    ASSERT_EQ(live().splitCode(), kSplitOne);
    const size_t mark = m_transport.sent.size();

    // The quarter-size picture comes back into one pane: decoded again, the request still held.
    ASSERT_EQ(handBack(), 1);
    EXPECT_TRUE(m_screen.draws.empty());
    EXPECT_TRUE(live().decodeOut());
    EXPECT_TRUE(sentSince(mark).empty());
    ASSERT_EQ(handBack(), 1);
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].pane, 6);
    EXPECT_EQ(m_screen.draws[0].reduction, 0);
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{LivePicture});
}

}  // namespace
}  // namespace dvr::live
