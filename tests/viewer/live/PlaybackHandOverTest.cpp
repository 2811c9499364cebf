// The live window's remote playback without a toolkit: opening pauses the live pictures, leaving sends one
// live request, a reconnect from a play button finishes only after the session's own report, and a
// connection the playback window dropped is not shown as established afterwards.
#include "viewer/live/PlaybackHandOver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/LiveControllerFixture.h"
#include "tests/support/TempFolder.h"
#include "tests/viewer/link/FakeLink.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveController.h"

namespace dvr::live {
namespace {

using link::ConnectionState;
using link::testing::FakeTransport;
using link::testing::params;
using link::testing::reply;

class QuietScreen : public LiveScreen {
public:
    void repaint(uint32_t) override {}
    void drawPane(const PaneDraw&, const frame::DecodedPicture&) override {}
    void clearPanes() override {}
    void buttonsChanged() override {}
    void playbackRequested() override { ++playbackRequests; }
    int playbackRequests = 0;
};

class FakeShell : public PlaybackShell {
public:
    void showPlayback(bool fullScreen) override { shown.push_back(fullScreen); }
    void showLive() override { ++liveShown; }
    void playbackPicture(int, const frame::FrameHeader&, const frame::DecodedPicture&,
                         const playback::PaneDrawList&) override {
        ++pictures;
    }
    void playbackChanged() override { ++changes; }
    void later(std::function<void()> task) override { tasks.push_back(std::move(task)); }
    void runLater() {
        auto pending = std::move(tasks);
        tasks.clear();
        for (auto& task : pending) {
            task();
        }
    }
    std::vector<bool> shown;
    int liveShown = 0;
    int pictures = 0;
    int changes = 0;
    std::vector<std::function<void()>> tasks;
};

constexpr DateTime kStart{2006, 1, 2, 3, 4, 5};
constexpr DateTime kEnd{2006, 1, 2, 4, 4, 5};

class PlaybackHandOverTest : public testing::LiveControllerFixture<QuietScreen> {
protected:
    PlaybackHandOverTest() {
        m_playback = std::make_unique<PlaybackHandOver>(*m_controller, m_shell, [] {
            return DateTime{2010, 1, 1};
        });
        m_controller->setPlaybackHost(&m_playback->host());
    }
    ~PlaybackHandOverTest() override {
        m_controller->setPlaybackHost(nullptr);
        m_playback.reset();
        m_controller.reset();
    }

    size_t count(uint32_t command) const {
        const auto commands = m_transport.sentCommands();
        return size_t(std::count(commands.begin(), commands.end(), command));
    }
    // Connects and logs in; the recorder reports a recording range.
    void connectAndLogIn() {
        m_controller->pressConnect();
        m_controller->session()->onConnectResult(0);
        deliver(reply(link::command::LoginReply,
                      params({1, 16, link::packDateWord(kStart), link::packTimeWord(kStart),
                              link::packDateWord(kEnd), link::packTimeWord(kEnd)})));
    }
    playback::PlaybackController& player() { return m_playback->controller(); }
    // Connected, the window open and the recording range in.
    void openWithRange() {
        connectAndLogIn();
        m_playback->open();
        player().onRangeTimer();
        deliver(reply(link::command::RecordingRangeReply,
                      params({0, 0, link::packDateWord(kStart), link::packTimeWord(kStart),
                              link::packDateWord(kEnd), link::packTimeWord(kEnd)})));
        ASSERT_TRUE(player().rangeValid());
    }

    FakeShell m_shell;
    std::unique_ptr<PlaybackHandOver> m_playback;
};

TEST_F(PlaybackHandOverTest, OpeningPausesLiveAndLeavingSendsOneLiveRequest) {
    connectAndLogIn();
    ASSERT_TRUE(m_playback->open());
    EXPECT_FALSE(m_playback->open());
    EXPECT_TRUE(m_controller->livePaused());
    EXPECT_EQ(m_shell.shown, std::vector<bool>{false});
    EXPECT_EQ(player().layout().splitCode(), playback::openingSplitCode(m_controller->layoutCode()));
    EXPECT_TRUE(m_controller->session()->playbackActive());

    const size_t liveBefore = count(link::command::LivePicture);
    player().onExit();
    EXPECT_FALSE(m_playback->isOpen());
    EXPECT_FALSE(m_controller->livePaused());
    EXPECT_EQ(count(link::command::LivePicture), liveBefore + 1);
    m_playback->closed();
    EXPECT_EQ(m_shell.liveShown, 1);
    EXPECT_EQ(m_controller->connectionState(), ConnectionState::Established);
}

TEST_F(PlaybackHandOverTest, ReconnectFromAPlayButtonFinishesAfterTheSessionsReport) {
    ASSERT_NO_FATAL_FAILURE(openWithRange());
    // The setup dialog gave another recorder meanwhile: it is for the live view's next Connect. The
    // window goes back to the recorder whose range it shows, whose log-in the session holds.
    config::ViewerSettings& settings = m_controller->settingsStore().settings();
    settings.recorderAddress = "::1";
    settings.recorderPort = 50999;
    m_controller->setupFinished(true, true);
    // The idle watch dropped the connection.
    m_controller->session()->disconnect();
    m_transport.sent.clear();

    player().onPlayButton(playback::PlayButton::Forward);
    ASSERT_TRUE(player().reconnecting());
    EXPECT_EQ(m_transport.lastAddress, "127.0.0.1");
    EXPECT_EQ(m_transport.lastPort, kRecorderPort);
    m_controller->session()->onConnectResult(0);
    // Still inside the session's report: nothing of the window's yet.
    EXPECT_TRUE(player().reconnecting());
    ASSERT_EQ(m_shell.tasks.size(), 1u);
    m_shell.runLater();
    EXPECT_FALSE(player().reconnecting());
    EXPECT_TRUE(player().playing());
    EXPECT_EQ(count(link::command::Login), 1u);
}

// The recorder closed the link while the window was open (the view's disconnect ran), and a play
// button connected again: the live view's buttons show that connection.
TEST_F(PlaybackHandOverTest, AReconnectFromTheWindowShowsConnectPressed) {
    ASSERT_NO_FATAL_FAILURE(openWithRange());
    m_controller->pressDisconnect();
    ASSERT_FALSE(m_controller->connectChecked());
    player().onPlayButton(playback::PlayButton::Forward);
    ASSERT_TRUE(player().reconnecting());
    m_controller->session()->onConnectResult(0);
    m_shell.runLater();
    EXPECT_EQ(m_controller->connectionState(), ConnectionState::Established);
    EXPECT_TRUE(m_controller->connectChecked());
    EXPECT_FALSE(m_controller->disconnectChecked());
}

TEST_F(PlaybackHandOverTest, ConnectionStatusesReachTheOpenWindow) {
    connectAndLogIn();
    m_playback->open();
    m_controller->session()->disconnect();

    // A reconnect that fails: the window says so and the live view waits.
    player().onPlayButton(playback::PlayButton::Forward);
    m_controller->session()->onConnectResult(111);
    EXPECT_EQ(player().statusText(), "CONNECTION FAIL");
    EXPECT_FALSE(player().reconnecting());
    EXPECT_EQ(m_controller->connectionState(), ConnectionState::Waiting);
}

class CountingView : public playback::PlaybackView {
public:
    void showMessage(const link::MessageText& message) override { messages.emplace_back(message.key); }
    std::vector<std::string> messages;
};

TEST_F(PlaybackHandOverTest, AConnectionLostWhilePlayingPausesTheWindow) {
    CountingView view;
    player().setView(&view);
    ASSERT_NO_FATAL_FAILURE(openWithRange());
    player().onPlayButton(playback::PlayButton::Forward);
    ASSERT_TRUE(player().playing());
    // The recorder closes the connection.
    m_transport.peerClosed = true;
    dvr::link::readOnce(m_transport, *m_controller->session());
    EXPECT_FALSE(player().playing());
    EXPECT_TRUE(player().sliderEnabled());
    EXPECT_EQ(player().checkedButton(), playback::PlayButton::Pause);
    EXPECT_EQ(player().statusText(), "DISCONNECT");
    EXPECT_FALSE(player().idleWatchRunning());
    EXPECT_EQ(view.messages, std::vector<std::string>{"MSG_003"});
    EXPECT_TRUE(m_playback->isOpen());
    player().setView(nullptr);
}

TEST_F(PlaybackHandOverTest, LeavingAfterTheWindowDroppedTheConnectionLeavesLiveWaiting) {
    connectAndLogIn();
    m_playback->open();
    player().onIdleTick();
    player().onIdleTick();
    ASSERT_FALSE(m_controller->session()->connected());
    EXPECT_EQ(player().statusText(), "DISCONNECT");
    player().onExit();
    m_playback->closed();
    EXPECT_EQ(m_controller->connectionState(), ConnectionState::Waiting);
    EXPECT_FALSE(m_controller->livePaused());
}

}  // namespace
}  // namespace dvr::live
