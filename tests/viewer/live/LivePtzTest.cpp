// The live controller's PTZ control against a fake transport and fake timers: commands go out after whole
// live replies with the pause before the next live request, the stop phase after release, nothing while
// live streaming is stopped, the camera buttons, the keyboard and the editor's one-off command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/LiveControllerFixture.h"
#include "tests/support/TempFolder.h"
#include "tests/viewer/link/FakeLink.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveController.h"

namespace dvr::live {
namespace {

using link::command::LivePicture;
using link::command::PtzData;
using link::testing::FakeTransport;

constexpr uint32_t kRightButton = 1330;
constexpr uint32_t kUpButton = 1324;

class QuietScreen : public LiveScreen {
public:
    void repaint(uint32_t areas) override { repainted |= areas; }
    void drawPane(const PaneDraw&, const frame::DecodedPicture&) override {}
    void clearPanes() override {}
    void buttonsChanged() override {}
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    uint32_t repainted = 0;
    std::vector<std::string> messages;
};

// A playback window that has the session while `active` holds.
class PlaybackStandIn : public PlaybackPeer, public link::PlaybackHost {
public:
    link::PlaybackHost& sessionHost() override { return *this; }
    bool playbackActive() const override { return active; }
    bool active = false;
};

class LivePtzTest : public testing::LiveControllerFixture<QuietScreen> {
protected:
    void startLive() {
        live().pressConnect();
        live().session()->onConnectResult(0);
        deliver(link::testing::reply(link::command::LoginReply, link::testing::params({1, 16})));
        deliver(link::testing::reply(link::command::RecordingRangeReply, link::testing::params({})));
        ASSERT_EQ(m_transport.sentCommands().back(), LivePicture);
    }
    // One live reply; its record does not decode, but it still ends a picture turn.
    void livePicture() {
        const std::vector<uint8_t> record(700, 0x5A);
        deliver(link::testing::reply(link::command::LivePictureReply, link::testing::params({}), record));
    }
    // One turn of the loop: a live reply, then the pause timer when one was started.
    void turn() {
        livePicture();
        m_timers.advance(ptz::kPtzSendPauseMs, live());
    }
    std::vector<uint32_t> sentSince(size_t from) const {
        const auto all = m_transport.sentCommands();
        return {all.begin() + ptrdiff_t(from), all.end()};
    }
    // The PTZ payloads sent since `from`.
    std::vector<std::vector<uint8_t>> ptzSince(size_t from) const {
        std::vector<std::vector<uint8_t>> out;
        for (size_t i = from; i < m_transport.sent.size(); ++i) {
            if (m_transport.sentCommand(i) == PtzData) {
                out.emplace_back(m_transport.sent[i].begin() + 60, m_transport.sent[i].end());
            }
        }
        return out;
    }
};

TEST_F(LivePtzTest, AHeldButtonRepeatsAfterEachPictureAndTheReleaseSendsTheStopPhase) {
    startLive();
    const ptz::PtzCommand right = live().ptz().table().at(0, ptz::kRight);
    const ptz::PtzCommand stop = live().ptz().table().at(0, ptz::kStop);
    ASSERT_FALSE(right.empty());

    live().onHold(kRightButton, 1);
    size_t mark = m_transport.sent.size();
    for (int i = 0; i < 10; ++i) {
        turn();
    }
    live().onHold(kRightButton, 0);
    for (int i = 0; i < 7; ++i) {
        turn();
    }
    // Every turn: the reply's PTZ command, then (after the pause) the next live request.
    std::vector<uint32_t> expected;
    for (int i = 0; i < 15; ++i) {
        expected.insert(expected.end(), {PtzData, LivePicture});
    }
    expected.insert(expected.end(), {LivePicture, LivePicture});
    EXPECT_EQ(sentSince(mark), expected);
    const auto payloads = ptzSince(mark);
    ASSERT_EQ(payloads.size(), 15u);
    for (size_t i = 0; i < payloads.size(); ++i) {
        const ptz::PtzCommand& want = i < 10 ? right : stop;
        EXPECT_EQ(payloads[i], std::vector<uint8_t>(want.view().begin(), want.view().end()))
            << "packet " << i;
    }
    // p1 carries the byte count, p2 the stored baud-rate code.
    const auto p = m_transport.sentParams(mark);
    EXPECT_EQ(p.p[0], 2u);
    EXPECT_EQ(p.p[1], uint32_t(right.length));
    EXPECT_EQ(p.p[2], uint32_t(live().settingsStore().settings().ptzBaudRateIndex));
}

TEST_F(LivePtzTest, TheNextLiveRequestWaitsForThePauseTimerAndADisconnectForgetsIt) {
    startLive();
    live().onHold(kUpButton, 1);
    size_t mark = m_transport.sent.size();
    livePicture();
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    EXPECT_TRUE(m_timers.running(LiveTimer::PtzPause));
    EXPECT_EQ(m_timers.periodMs(LiveTimer::PtzPause), ptz::kPtzSendPauseMs);
    m_timers.advance(ptz::kPtzSendPauseMs - 1, live());
    EXPECT_EQ(sentSince(mark), std::vector<uint32_t>{PtzData});
    m_timers.advance(1, live());
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{PtzData, LivePicture}));
    EXPECT_FALSE(m_timers.running(LiveTimer::PtzPause)) << "the pause is a single shot";

    // Disconnected during a pause: the timer stops and no held request goes out on a new connection.
    livePicture();
    ASSERT_TRUE(m_timers.running(LiveTimer::PtzPause));
    live().pressDisconnect();
    EXPECT_FALSE(m_timers.running(LiveTimer::PtzPause));
    EXPECT_FALSE(live().ptz().pausing());
    live().onHold(kUpButton, 0);
    startLive();
    mark = m_transport.sent.size();
    m_timers.advance(100, live());
    EXPECT_TRUE(sentSince(mark).empty());
}

TEST_F(LivePtzTest, NothingGoesOutWhileLiveStreamingIsStopped) {
    PlaybackStandIn playback;
    live().setPlaybackHost(&playback);
    startLive();
    live().onHold(kRightButton, 1);

    // The playback window has the session: a stray live reply sends no PTZ command and no live request.
    playback.active = true;
    live().pauseLive();
    size_t mark = m_transport.sent.size();
    livePicture();
    m_timers.advance(50, live());
    EXPECT_TRUE(sentSince(mark).empty());
    EXPECT_FALSE(live().operatePtz(live().ptz().table().at(0, ptz::kZoomIn)));

    // Back to live: the held move goes out again after each picture.
    playback.active = false;
    mark = m_transport.sent.size();
    live().resumeLive();
    livePicture();
    EXPECT_EQ(sentSince(mark), (std::vector<uint32_t>{LivePicture, PtzData}));

    // Not connected: nothing is queued at all.
    live().onHold(kRightButton, 0);
    live().pressDisconnect();
    EXPECT_FALSE(live().operatePtz(live().ptz().table().at(0, ptz::kZoomIn)));
    live().setPlaybackHost(nullptr);
}

TEST_F(LivePtzTest, CameraButtonsRebuildTheTableForTheNewAddressExceptWhileChannelsRotate) {
    startLive();
    live().onHold(kPtzChannelMinusValue, 1);
    EXPECT_EQ(live().ptzChannel(), 15);
    EXPECT_NE(m_screen.repainted & area::kPtzChannel, 0u);
    live().onHold(kPtzChannelMinusValue, 0);
    EXPECT_EQ(live().ptz().pending(), ptz::kPendingNone) << "camera buttons never start a stop phase";

    // The built-in 8-byte protocol carries the 0-based camera in its second byte.
    live().onHold(kRightButton, 1);
    size_t mark = m_transport.sent.size();
    turn();
    auto payloads = ptzSince(mark);
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0][1], 15);
    live().onHold(kPtzChannelPlusValue, 1);
    EXPECT_EQ(live().ptzChannel(), 0);
    mark = m_transport.sent.size();
    turn();
    payloads = ptzSince(mark);
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0][1], 0);
    live().onHold(kRightButton, 0);

    live().onCommand(command::kModeFirst);  // one pane: channel rotation may start
    live().onCommand(command::kRotate);
    ASSERT_TRUE(live().layout().rotating());
    live().onHold(kPtzChannelPlusValue, 1);
    EXPECT_EQ(live().ptzChannel(), 0);
}

TEST_F(LivePtzTest, KeysHoldTheirMoveUntilTheSameKeyIsLetGo) {
    startLive();
    live().ptzKeyPressed(ptz::kLeft);
    live().ptzKeyPressed(ptz::kLeft);  // a repeated key-down is no new press
    EXPECT_EQ(live().ptz().pending(), ptz::kLeft);
    live().ptzKeyReleased(ptz::kUp);  // another key's key-up
    EXPECT_EQ(live().ptz().pending(), ptz::kLeft);
    live().ptzKeyReleased(ptz::kLeft);
    EXPECT_EQ(live().ptz().pending(), ptz::kPendingStopPhase);

    // Losing the keyboard while a key is down releases its move.
    live().ptzKeyPressed(ptz::kZoomIn);
    EXPECT_EQ(live().ptz().pending(), ptz::kZoomIn);
    live().ptzKeysLost();
    EXPECT_EQ(live().ptz().pending(), ptz::kPendingStopPhase);
    live().ptzKeysLost();
    EXPECT_EQ(live().ptz().stopCounter(), live().settingsStore().options().maxStopCount);
}

TEST_F(LivePtzTest, AnOperatedCommandGoesOutOnceAndAProtocolChangeRebuildsTheTable) {
    startLive();
    ptz::PtzCommand command;
    command.name = "PRESET";
    command.length = 3;
    command.bytes[0] = 0xA0;
    command.bytes[1] = 0x1F;
    command.bytes[2] = 0x07;
    ASSERT_TRUE(live().operatePtz(command));
    size_t mark = m_transport.sent.size();
    turn();
    turn();
    EXPECT_EQ(ptzSince(mark), (std::vector<std::vector<uint8_t>>{{0xA0, 0x1F, 0x07}}));

    // Built-in protocol C (7 bytes, starting 0xE5) replaces protocol A (8 bytes) at once.
    live().setPtzType(10);
    EXPECT_EQ(live().ptz().table().at(0, ptz::kUp).length, 7);
    EXPECT_EQ(live().ptz().table().at(0, ptz::kUp).bytes[0], 0xE5);
    // A confirmed setup with the stored type brings the stored protocol back.
    live().applySettings();
    EXPECT_EQ(live().ptz().table().at(0, ptz::kUp).length, 8);
}

// The command file a PTZ type's table is read from becomes the current command file, so the command
// editor opens on it; a built-in protocol or a camera change leaves the current file alone.
TEST_F(LivePtzTest, TheTablesCommandFileBecomesTheCurrentFile) {
    const std::string file = m_folder.file("PTZ/scc641.tl");
    std::filesystem::create_directories(m_folder.file("PTZ"));
    std::ofstream(file, std::ios::binary) << "<1>\r\nSTOP/2/a0/00/\r\n";
    live().setPtzType(2);
    EXPECT_EQ(live().ptzCommandFilePath(), file);
    live().setPtzType(10);
    EXPECT_EQ(live().ptzCommandFilePath(), file);
    const std::string mine = m_folder.file("mine.tl");
    live().setPtzCommandFilePath(mine);
    live().setPtzType(2);
    EXPECT_EQ(live().ptzCommandFilePath(), file) << "choosing the type again reads its file again";
    live().setPtzCommandFilePath(mine);
    live().onHold(kPtzChannelPlusValue, 1);
    EXPECT_EQ(live().ptz().camera(), 1);
    EXPECT_EQ(live().ptzCommandFilePath(), mine);
}

// The setup dialog closing: its baud rate is used even after Cancel; OK keeps the recorder given for
// the run unless the dialog changed the connection, and then the next connection goes to the stored one.
TEST_F(LivePtzTest, SetupFinishedTakesTheBaudRateAndAChangedRecorder) {
    config::ViewerSettings& settings = live().settingsStore().settings();
    settings.ptzBaudRateIndex = 5;
    settings.recorderAddress = "::1";
    settings.recorderPort = 50999;
    live().setupFinished(false, true);
    EXPECT_EQ(live().ptz().settings().baudRateCode, 5u);

    live().setupFinished(true, false);
    live().pressConnect();
    EXPECT_EQ(m_transport.lastAddress, "127.0.0.1");
    EXPECT_EQ(m_transport.lastPort, kRecorderPort);

    // Changed while connected: the pictures (and the exports that name their recorder) are still the
    // first recorder's until the next Connect.
    live().setupFinished(true, true);
    EXPECT_EQ(live().connectedHost(), "127.0.0.1");
    EXPECT_EQ(live().connectedPort(), kRecorderPort);
    live().pressDisconnect();
    live().pressConnect();
    EXPECT_EQ(m_transport.lastAddress, "::1");
    EXPECT_EQ(m_transport.lastPort, 50999);
    EXPECT_EQ(live().connectedHost(), "::1");
    EXPECT_EQ(live().connectedPort(), 50999);
}

}  // namespace
}  // namespace dvr::live
