// The live controller against a fake transport, fake timers and a fake clock: the connect and disconnect
// sequences, the status line with its key-lock notice, the picture store, the speed and PTZ buttons, the
// clock texts, window dragging, the exit sequence and the seams for remote playback.
#include "viewer/live/LiveController.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/fs/AtomicFile.h"
#include "tests/support/LiveControllerFixture.h"
#include "tests/support/TempFolder.h"
#include "tests/viewer/link/FakeLink.h"
#include "viewer/live/LiveCommandIds.h"

namespace dvr::live {
namespace {

using link::ConnectionState;
using link::testing::FakeTransport;
using testing::FakeClock;
using testing::FakeLiveTimers;

class FakeScreen : public LiveScreen {
public:
    void repaint(uint32_t areas) override { repainted |= areas; }
    void drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) override {
        draws.push_back({draw.paneChannel, draw.bufferChannel, buffer.pixels[0]});
    }
    void bufferChanging(int bufferChannel, uint32_t redrawnPanes) override {
        changes.push_back({bufferChannel, redrawnPanes, bufferByte ? bufferByte(bufferChannel) : uint8_t(0)});
    }
    void clearPanes() override { ++clears; }
    void buttonsChanged() override { ++buttonSyncs; }
    void beep() override { ++beeps; }
    void setFullScreen(bool on) override { fullScreen.push_back(on); }
    void startDrag() override { ++drags; }
    void playbackRequested() override { ++playbackRequests; }
    void settingsRequested() override { ++settingsRequests; }
    void closeWindow() override { ++closes; }
    void sessionChanged(link::RecorderSession* s) override { session = s; }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    std::vector<std::string> messages;

    struct Draw {
        int pane;
        int buffer;
        uint8_t firstByte;
    };
    // A buffer about to change: its channel, the panes the new picture draws and its first byte still.
    struct Change {
        int buffer;
        uint32_t redrawn;
        uint8_t firstByte;
    };
    uint32_t repainted = 0;
    std::vector<Draw> draws;
    std::vector<Change> changes;
    std::function<uint8_t(int)> bufferByte;
    std::vector<bool> fullScreen;
    int clears = 0, buttonSyncs = 0, beeps = 0, drags = 0, playbackRequests = 0, settingsRequests = 0,
        closes = 0;
    link::RecorderSession* session = nullptr;
};

frame::DecodedPicture pictureFilledWith(uint8_t value) {
    frame::DecodedPicture picture;
    picture.width = 720;
    picture.height = 240;
    std::fill(picture.pixels.begin(), picture.pixels.begin() + ptrdiff_t(picture.imageBytes()), value);
    return picture;
}

class LiveControllerTest : public testing::LiveControllerFixture<FakeScreen> {
protected:
    void connectEstablished() {
        live().pressConnect();
        live().session()->onConnectResult(0);
        ASSERT_EQ(live().connectionState(), ConnectionState::Established);
    }
};

TEST_F(LiveControllerTest, AnEventListReplyReplacesTheEventFileAndAnEmptyOneEmptiesIt) {
    connectEstablished();
    const std::string path = m_folder.file("AlarmEvent.am");
    ASSERT_EQ(live().eventFilePath(), path);
    const std::vector<uint8_t> records(32, 1);
    live().eventListAnnounced(2);
    live().eventList(records);
    EXPECT_EQ(std::filesystem::file_size(path), 32u);

    // No records: no body follows, and the old list must not stay as the current one.
    live().eventListAnnounced(0);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);

    // A list that cannot be stored does not leave the one before as the current one.
    live().eventList(records);
    ASSERT_EQ(std::filesystem::file_size(path), 32u);
    {
        const dvr::fs::testing::ScopedFault full(dvr::fs::testing::Step::Write, ENOSPC);
        live().eventList(std::vector<uint8_t>(48, 2));
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    // A list too large to read leaves no old one behind either.
    live().eventList(records);
    live().eventListDropped(2000000);
    EXPECT_FALSE(std::filesystem::exists(path));

    live().eventList(records);
    live().pressDisconnect();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LiveControllerTest, ConnectGoesToTheOverriddenRecorderAndDisconnectClearsEverything) {
    EXPECT_EQ(m_screen.session, live().session());
    EXPECT_TRUE(live().disconnectChecked());
    // An event list left by a run that never disconnected is not this recorder's.
    std::ofstream(m_folder.file("AlarmEvent.am")) << "another recorder's events";
    live().pressConnect();
    EXPECT_FALSE(std::filesystem::exists(m_folder.file("AlarmEvent.am")));
    EXPECT_EQ(m_transport.lastAddress, "127.0.0.1");
    EXPECT_EQ(m_transport.lastPort, kRecorderPort);
    EXPECT_EQ(live().connectionState(), ConnectionState::Connecting);
    EXPECT_TRUE(live().connectChecked());
    live().pressConnect();  // a second press while connecting opens nothing
    EXPECT_EQ(m_transport.opens, 1);

    live().session()->onConnectResult(0);
    EXPECT_EQ(live().connectionState(), ConnectionState::Established);
    EXPECT_EQ(live().statusText(live().statusShown()), "CONNECTION ESTABLISHED.");
    live().showLivePicture(3, frame::FrameHeader{}, pictureFilledWith(7));
    ASSERT_TRUE(live().layout().bufferFilled(3));
    std::ofstream(m_folder.file("AlarmEvent.am")) << "events";

    live().pressDisconnect();
    EXPECT_EQ(live().connectionState(), ConnectionState::Waiting);
    EXPECT_TRUE(live().disconnectChecked());
    EXPECT_FALSE(m_transport.isOpen());
    EXPECT_EQ(m_arp.reads, 1);
    EXPECT_EQ(m_arp.removed, (std::vector<link::ArpEntry>{{"127.0.0.1", "lo"}}))
        << "the recorder's entry only";
    EXPECT_FALSE(std::filesystem::exists(m_folder.file("AlarmEvent.am")));
    EXPECT_FALSE(live().layout().bufferFilled(3));
    EXPECT_EQ(live().pictureBuffer(3).pixels[0], 0);
    EXPECT_TRUE(live().qualityText().empty());
}

TEST_F(LiveControllerTest, RefusedConnectStaysWaitingWithTheButtonUp) {
    m_transport.refuse = true;
    m_screen.repainted = 0;
    live().pressConnect();
    EXPECT_EQ(live().connectionState(), ConnectionState::Waiting);
    EXPECT_FALSE(live().connectChecked());
    EXPECT_NE(m_screen.repainted & area::kStatus, 0u);
}

TEST_F(LiveControllerTest, FailedConnectAndSilentRecorderBothEndInWaiting) {
    live().pressConnect();
    live().session()->onConnectResult(111);
    EXPECT_EQ(live().connectionState(), ConnectionState::Waiting);
    EXPECT_FALSE(m_transport.isOpen());
    EXPECT_FALSE(live().connectChecked());

    // The watchdog runs on the injected timers: two silent periods end the session.
    connectEstablished();
    ASSERT_TRUE(m_timers.running(LiveTimer::Watchdog));
    EXPECT_EQ(m_timers.periodMs(LiveTimer::Watchdog), link::kWatchdogPeriodMs);
    m_timers.advance(2 * link::kWatchdogPeriodMs, live());
    EXPECT_EQ(live().connectionState(), ConnectionState::Waiting);
    EXPECT_FALSE(m_transport.isOpen());
    EXPECT_FALSE(m_timers.running(LiveTimer::Watchdog));
    EXPECT_EQ(m_arp.reads, 2);
}

TEST_F(LiveControllerTest, AWatchdogTimerFiringEarlyWaitsForTheRestOfThePeriod) {
    connectEstablished();
    m_timers.advance(link::kWatchdogPeriodMs - 400, live());
    // A coarse timer fires 400 ms early: no check yet, and the timer is set for what remains.
    live().onTimer(LiveTimer::Watchdog);
    EXPECT_EQ(m_timers.periodMs(LiveTimer::Watchdog), 400);
    m_timers.advance(400, live());  // the first check clears the log-in's activity
    EXPECT_EQ(m_timers.periodMs(LiveTimer::Watchdog), link::kWatchdogPeriodMs);
    EXPECT_EQ(live().connectionState(), ConnectionState::Established);
    // The second silent check comes one whole period after the first, not later.
    m_timers.advance(link::kWatchdogPeriodMs - 1, live());
    EXPECT_EQ(live().connectionState(), ConnectionState::Established);
    m_timers.advance(1, live());
    EXPECT_EQ(live().connectionState(), ConnectionState::Waiting);
    EXPECT_FALSE(m_timers.running(LiveTimer::Watchdog));
}

TEST_F(LiveControllerTest, KeyLockNoticeIsDrawnOnceThenTheStateReturns) {
    connectEstablished();
    live().setConnectionState(ConnectionState::KeyLock);
    live().setKeyLock(true);
    EXPECT_EQ(live().connectionState(), ConnectionState::Established);
    EXPECT_EQ(live().statusShown(), ConnectionState::KeyLock);
    EXPECT_EQ(live().statusText(live().statusShown()), "KEY LOCK!!             ");
    EXPECT_EQ(live().takeStatusToPaint(), ConnectionState::KeyLock);
    EXPECT_EQ(live().statusShown(), ConnectionState::KeyLock);  // still on the screen
    EXPECT_EQ(live().takeStatusToPaint(), ConnectionState::Established);
    EXPECT_EQ(live().statusShown(), ConnectionState::Established);

    // The playback button while locked shows the notice again and opens nothing.
    live().onCommand(command::kPlayback);
    EXPECT_EQ(live().statusShown(), ConnectionState::KeyLock);
    EXPECT_EQ(m_screen.playbackRequests, 0);
    // A state change replaces a notice not yet drawn.
    live().pressDisconnect();
    EXPECT_EQ(live().takeStatusToPaint(), ConnectionState::Waiting);
}

TEST_F(LiveControllerTest, PlaybackIsOfferedOnlyWhileConnectedAndUnlocked) {
    live().onCommand(command::kPlayback);
    EXPECT_EQ(m_screen.playbackRequests, 0);
    connectEstablished();
    live().onCommand(command::kPlayback);
    EXPECT_EQ(m_screen.playbackRequests, 1);

    // While the playback window has the session, live pictures are not drawn; coming back sends one
    // live request.
    live().pauseLive();
    live().showLivePicture(0, frame::FrameHeader{}, pictureFilledWith(9));
    EXPECT_TRUE(m_screen.draws.empty());
    const size_t sent = m_transport.sent.size();
    live().resumeLive();
    ASSERT_EQ(m_transport.sent.size(), sent + 1);
    EXPECT_EQ(m_transport.sentCommand(sent), link::command::LivePicture);
    live().resumeLive();
    EXPECT_EQ(m_transport.sent.size(), sent + 1);
}

TEST_F(LiveControllerTest, PictureStoreKeepsItsOwnCopyAndDrawsVisiblePanes) {
    frame::DecodedPicture picture = pictureFilledWith(42);
    live().showLivePicture(5, frame::FrameHeader{}, picture);
    std::fill(picture.pixels.begin(), picture.pixels.begin() + 100, uint8_t(1));
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].pane, 5);
    EXPECT_EQ(m_screen.draws[0].buffer, 5);
    EXPECT_EQ(m_screen.draws[0].firstByte, 42);
    EXPECT_EQ(live().pictureBuffer(5).pixels[0], 42);
    EXPECT_EQ(live().picturesShown(), 1u);

    // The screen hears of the buffer's next picture while the buffer still holds the one its panes show,
    // with the panes the new one draws.
    m_screen.bufferByte = [this](int channel) { return live().pictureBuffer(channel).pixels[0]; };
    live().showLivePicture(5, frame::FrameHeader{}, pictureFilledWith(43));
    ASSERT_EQ(m_screen.changes.size(), 2u);
    EXPECT_EQ(m_screen.changes[1].buffer, 5);
    EXPECT_EQ(m_screen.changes[1].redrawn, 1u << 5);
    EXPECT_EQ(m_screen.changes[1].firstByte, 42);
    ASSERT_EQ(m_screen.draws.size(), 2u);
    EXPECT_EQ(m_screen.draws[1].firstByte, 43);

    // Pictures of no channel or without pixels are dropped.
    live().showLivePicture(16, frame::FrameHeader{}, picture);
    live().showLivePicture(-1, frame::FrameHeader{}, picture);
    live().showLivePicture(2, frame::FrameHeader{}, frame::DecodedPicture{});
    EXPECT_EQ(m_screen.draws.size(), 2u);
    EXPECT_EQ(live().picturesShown(), 2u);
}

TEST_F(LiveControllerTest, SpeedButtonsActOnReleaseWithinOneToTen) {
    connectEstablished();
    const int start = live().networkSpeed();
    live().onHold(command::kSpeedPlus, 1);
    EXPECT_EQ(live().networkSpeed(), start);
    for (int i = 0; i < 12; ++i) {
        live().onHold(command::kSpeedPlus, 0);
    }
    EXPECT_EQ(live().networkSpeed(), 10);
    EXPECT_EQ(live().session()->live().requestSpeed(), 10);
    for (int i = 0; i < 12; ++i) {
        live().onHold(command::kSpeedMinus, 0);
    }
    EXPECT_EQ(live().networkSpeed(), 1);
    EXPECT_EQ(live().session()->live().requestSpeed(), 1);

    // The PTZ channel steps on press and wraps within the sixteen channels.
    live().onHold(kPtzChannelMinusValue, 1);
    EXPECT_EQ(live().ptzChannel(), 15);
    live().onHold(kPtzChannelPlusValue, 0);
    live().onHold(kPtzChannelPlusValue, 1);
    EXPECT_EQ(live().ptzChannel(), 0);
}

TEST_F(LiveControllerTest, ClockTextsFollowTheInjectedClockEverySecond) {
    EXPECT_TRUE(m_timers.running(LiveTimer::Clock));
    EXPECT_EQ(m_timers.periodMs(LiveTimer::Clock), 1000);
    EXPECT_EQ(live().dateText(), "2026 / 12 / 08");
    EXPECT_EQ(live().timeText(), "PM 01 : 30 : 00");
    m_clock.time = DateTime{2027, 1, 2, 0, 5, 9};
    m_timers.advance(999, live());
    EXPECT_EQ(live().timeText(), "PM 01 : 30 : 00");
    m_timers.advance(1, live());
    EXPECT_EQ(live().dateText(), "2027 / 01 / 02");
    EXPECT_EQ(live().timeText(), "AM 00 : 05 : 09");
}

// Every live reply carries the record and play positions: their texts are repainted only when they read
// differently, not once per picture.
TEST_F(LiveControllerTest, PositionTextsRepaintOnlyWhenTheirWordsChange) {
    connectEstablished();
    m_screen.repainted = 0;
    live().livePositions(250000, 500000);
    const std::string record = live().recordPositionText();
    const std::string play = live().playPositionText();
    EXPECT_NE(m_screen.repainted & area::kPositions, 0u);

    m_screen.repainted = 0;
    for (int reply = 0; reply < 3; ++reply)
        live().livePositions(250000, 500000);
    EXPECT_EQ(m_screen.repainted & area::kPositions, 0u);
    EXPECT_EQ(live().recordPositionText(), record);

    live().livePositions(750000, 500000);
    EXPECT_NE(m_screen.repainted & area::kPositions, 0u);
    EXPECT_NE(live().playPositionText(), play);
    EXPECT_EQ(live().recordPositionText(), record);
}

TEST_F(LiveControllerTest, WindowDragIsArmedOncePerSecondAndNeverInFullScreen) {
    live().onLeftPress();
    live().onLeftPress();
    EXPECT_EQ(m_screen.drags, 1);
    m_timers.advance(1000, live());
    live().onLeftPress();
    EXPECT_EQ(m_screen.drags, 2);
    live().settingsStore().settings().fullScreen = 1;
    m_timers.advance(1000, live());
    live().onLeftPress();
    EXPECT_EQ(m_screen.drags, 2);
}

TEST_F(LiveControllerTest, ConfirmedSetupAppliesFullScreenAndTheSpeedValues) {
    live().onCommand(command::kSetting);
    EXPECT_EQ(m_screen.settingsRequests, 1);
    const std::filesystem::path options = live().settingsStore().optionsFilePath();
    std::filesystem::create_directories(options.parent_path());
    std::ofstream(options) << "[NETWORK_SPEED]\r\nDIVISION16=7\r\n";
    live().settingsStore().settings().fullScreen = 1;
    live().applySettings();
    EXPECT_EQ(m_screen.fullScreen, std::vector<bool>{true});
    EXPECT_EQ(live().networkSpeed(), 7);
}

TEST_F(LiveControllerTest, ExitSavesDisconnectsAndClosesOnce) {
    connectEstablished();
    live().eventList(std::vector<uint8_t>(32, 1));
    ASSERT_TRUE(std::filesystem::exists(m_folder.file("AlarmEvent.am")));
    live().onCommand(command::kExit);
    EXPECT_FALSE(std::filesystem::exists(m_folder.file("AlarmEvent.am")))
        << "the recorder's event list goes with its connection";
    EXPECT_TRUE(live().exiting());
    EXPECT_FALSE(m_timers.running(LiveTimer::Clock));
    EXPECT_FALSE(m_timers.running(LiveTimer::DragRearm));
    EXPECT_FALSE(m_timers.running(LiveTimer::Watchdog));
    EXPECT_TRUE(std::filesystem::exists(m_folder.file("Vistrel.ini")));
    EXPECT_FALSE(m_transport.isOpen());
    EXPECT_EQ(m_transport.sentCommand(m_transport.sent.size() - 1), link::command::Stop);
    EXPECT_EQ(live().session(), nullptr);
    EXPECT_EQ(m_screen.session, nullptr);
    EXPECT_EQ(m_arp.reads, 0);  // exit disconnects the session only
    live().exitProgram();
    live().onCommand(command::kConnect);
    EXPECT_EQ(m_screen.closes, 1);
    EXPECT_EQ(m_transport.opens, 1);
    EXPECT_TRUE(m_screen.messages.empty());
}

// The settings are written at exit only: a save that fails is said before the window closes.
TEST_F(LiveControllerTest, ExitSaysSoWhenTheSettingsCannotBeSaved) {
    {
        const dvr::fs::testing::ScopedFault full(dvr::fs::testing::Step::Write, ENOSPC);
        live().onCommand(command::kExit);
    }
    EXPECT_EQ(m_screen.closes, 1);
    ASSERT_EQ(m_screen.messages.size(), 1u);
    EXPECT_EQ(m_screen.messages[0], "Vistrel: The settings were not saved: " + m_folder.file("Vistrel.ini") +
                                        ": " + std::strerror(ENOSPC));
    EXPECT_FALSE(std::filesystem::exists(m_folder.file("Vistrel.ini")));
}

}  // namespace
}  // namespace dvr::live
