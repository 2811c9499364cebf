// The playback window opened from the live window, against the recorder simulator over loopback on the
// offscreen platform: every pane shows its own channel in each layout and picture kind, reverse play goes
// back in time, and leaving stops the playback and restarts the live pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "tests/viewer/live/WindowTestSupport.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/PlaybackHandOver.h"
#include "viewer/live/widgets/FramePlaybackShell.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/widgets/PlaybackFrame.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

namespace dvr::live {
namespace {

using windowtest::channelShown;
using windowtest::waitFor;

class LivePlaybackWindow : public windowtest::SimulatorWindowTest<::testing::TestWithParam<sim::PictureMix>> {
protected:
    void startRecorder(sim::PictureMix pictures, bool keyLock = false) {
        sim::SimOptions options;
        options.pictures = pictures;
        options.newerBit = true;
        options.keyLock = keyLock;
        SimulatorWindowTest::startRecorder(std::move(options));
    }

    void openLiveWindow() {
        ViewOptions options = viewOptions(m_recorder->port());
        options.timers = &m_timers;
        options.clock = &m_clock;
        makeFrame(std::move(options));
        m_frame->show();
        view().pressConnect();
        ASSERT_TRUE(
            waitFor([this] { return view().connectionState() == link::ConnectionState::Established; }));
    }

    playback::PlaybackWindow& window() { return *view().playbackWindow(); }
    playback::PlaybackController& player() { return view().playback()->controller(); }

    // Packets of one command the simulator logged, and the index of the last one (-1: none).
    int lastPacket(const char* command) {
        const std::vector<std::string> log = m_recorder->log();
        const std::string needle = std::string("\"command\":\"") + command + "\"";
        for (int i = int(log.size()) - 1; i >= 0; --i) {
            if (log[size_t(i)].find("\"event\":\"packet\"") != std::string::npos &&
                log[size_t(i)].find(needle) != std::string::npos) {
                return i;
            }
        }
        return -1;
    }

    std::string logTail() {
        const std::vector<std::string> log = m_recorder->log();
        std::string tail;
        for (size_t i = log.size() > 12 ? log.size() - 12 : 0; i < log.size(); ++i) {
            tail += log[i].substr(0, 140) + "\n";
        }
        return tail;
    }

    // Opens playback from the live window and waits for the recording range.
    void openPlayback() {
        ASSERT_TRUE(waitFor([this] { return view().picturesShown() > 0; }));
        view().controller().onCommand(command::kPlayback);
        ASSERT_TRUE(view().playback()->isOpen());
        EXPECT_TRUE(window().isVisible());
        EXPECT_FALSE(m_frame->isVisible());
        // The range arrives; the session answers it with a stop request while the window is paused.
        ASSERT_TRUE(waitFor([this] { return player().rangeValid() && lastPacket("0x1115") >= 0; }));
    }

    void play(playback::PlayButton button) { window().press(playback::command::kPlayFirst + int(button)); }

    // Waits until every visible pane has a picture of its channel, then checks what each one shows.
    void expectPanesShowTheirChannels(const std::string& what) {
        SCOPED_TRACE(what);
        std::vector<int> visible;
        for (int c = 0; c < playback::kPaneCount; ++c) {
            if (!window().paneRect(c).isEmpty()) {
                visible.push_back(c);
            }
        }
        ASSERT_FALSE(visible.empty());
        QImage shot;
        // Pictures keep coming: wait for a grab in which every pane shows its channel, so a slow start
        // does not fail the test, and report the panes of the last grab otherwise.
        const bool allRight = waitFor(
            [&] {
                shot = window().grab().toImage();
                for (int c : visible) {
                    if (channelShown(shot, window().paneRect(c)) != c) {
                        return false;
                    }
                }
                return true;
            },
            10000);
        if (!allRight) {
            for (int c : visible) {
                EXPECT_EQ(channelShown(shot, window().paneRect(c)), c) << "pane of channel " << c;
            }
        }
    }
};

TEST_P(LivePlaybackWindow, EveryPaneShowsItsChannelInEveryLayout) {
    startRecorder(GetParam());
    openLiveWindow();
    openPlayback();
    play(playback::PlayButton::Forward);
    ASSERT_TRUE(waitFor([this] { return window().picturesShown() >= 24; }));
    expectPanesShowTheirChannels("16 panes");
    window().press(playback::command::kModeMinus);
    expectPanesShowTheirChannels("9 panes");
    window().press(playback::command::kModeMinus);
    expectPanesShowTheirChannels("4 panes");
    window().press(playback::command::kModeMinus);
    expectPanesShowTheirChannels("1 pane");
}

INSTANTIATE_TEST_SUITE_P(Kinds, LivePlaybackWindow,
                         ::testing::Values(sim::PictureMix::Full, sim::PictureMix::Pair,
                                           sim::PictureMix::Quad),
                         [](const ::testing::TestParamInfo<sim::PictureMix>& info) {
                             switch (info.param) {
                                 case sim::PictureMix::Pair:
                                     return std::string("Pair");
                                 case sim::PictureMix::Quad:
                                     return std::string("Quad");
                                 default:
                                     return std::string("Full");
                             }
                         });

using LivePlaybackFlow = LivePlaybackWindow;

TEST_F(LivePlaybackFlow, ReversePlayGoesBackAndLeavingRestartsLive) {
    startRecorder(sim::PictureMix::Full);
    openLiveWindow();
    openPlayback();

    // Pause at once, move to the recording's end and play backwards.
    play(playback::PlayButton::Forward);
    ASSERT_TRUE(waitFor([this] { return window().picturesShown() >= 2; }));
    play(playback::PlayButton::Pause);
    // The recorder answers the stop with a play status; a play request sent before it would be stopped by it.
    ASSERT_TRUE(waitFor([this] { return player().statusKind() == playback::StatusKind::Play; }));
    window().press(playback::command::kEnd);
    play(playback::PlayButton::Reverse);
    std::vector<int64_t> seen;
    ASSERT_TRUE(waitFor([&] {
        const DateTime t = player().pictureTimeValue();
        const int64_t seconds = t.hour * 3600 + t.minute * 60 + t.second;
        if (seen.empty() || seen.back() != seconds) {
            seen.push_back(seconds);
        }
        return seen.size() >= 6;
    })) << "picture times seen: "
        << ::testing::PrintToString(seen);
    // The first sample may be the last forward picture; from then on every time is earlier.
    for (size_t i = 2; i < seen.size(); ++i) {
        EXPECT_LT(seen[i], seen[i - 1]) << "sample " << i;
    }
    EXPECT_GE(seen.back(), 3 * 3600 + 4 * 60 + 5);

    // EXIT while playing pauses with a stop request and keeps the window; a second EXIT leaves.
    const int stopsBefore = lastPacket("0x1115");
    window().press(playback::command::kExit);
    ASSERT_TRUE(waitFor([&] { return lastPacket("0x1115") > stopsBefore; }));
    EXPECT_TRUE(view().playback()->isOpen());
    const uint64_t liveBefore = view().picturesShown();
    window().press(playback::command::kExit);
    EXPECT_FALSE(view().playback()->isOpen());
    EXPECT_FALSE(window().isVisible());
    EXPECT_TRUE(m_frame->isVisible());
    ASSERT_TRUE(waitFor([&] { return lastPacket("0x1011") > lastPacket("0x1115"); }));
    ASSERT_TRUE(waitFor([&] { return view().picturesShown() > liveBefore + 3; }));

    // The window manager's close (title bar, Alt+F4) is EXIT too: with the main window hidden, a plain
    // close would have ended the program without its exit.
    view().controller().onCommand(command::kPlayback);
    ASSERT_TRUE(view().playback()->isOpen());
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_FALSE(window().window()->close()) << "the close is taken as EXIT, not done";
    EXPECT_FALSE(view().playback()->isOpen());
    EXPECT_TRUE(m_frame->isVisible());
}

// The idle watch drops the connection; fast forward reconnects, logs in once and plays on from the
// recording's start (a play other than forward is not stopped by the range reply after the log-in).
TEST_F(LivePlaybackFlow, FastForwardAfterAnIdleDisconnectReconnects) {
    startRecorder(sim::PictureMix::Full);
    openLiveWindow();
    openPlayback();
    player().onIdleTick();
    player().onIdleTick();
    ASSERT_TRUE(waitFor([this] { return !view().session()->connected(); }));
    ASSERT_FALSE(m_notifier.messages().empty());
    EXPECT_EQ(m_notifier.messages().back().text.rfind("Disconnected a socket.", 0), 0u);
    EXPECT_EQ(player().statusText(), "DISCONNECT");

    const size_t loginsBefore = m_recorder->packets("0x1001").size();
    play(playback::PlayButton::FastForward);
    std::vector<int64_t> seen;
    ASSERT_TRUE(waitFor([&] {
        const DateTime t = player().pictureTimeValue();
        const int64_t seconds = t.hour * 3600 + t.minute * 60 + t.second;
        if (window().picturesShown() > 0 && (seen.empty() || seen.back() != seconds)) {
            seen.push_back(seconds);
        }
        return seen.size() >= 6;
    })) << "picture times seen: "
        << ::testing::PrintToString(seen) << " status " << player().statusText() << " reconnecting "
        << player().reconnecting() << " playing " << player().playing() << "\n"
        << logTail();
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(seen[i], seen[i - 1]) << "sample " << i;
    }
    EXPECT_TRUE(player().playing());
    EXPECT_EQ(m_recorder->packets("0x1001").size(), loginsBefore + 1);
}

// With "Use FullScreen" the playback window fills the screen with its skin scaled, and does not drag;
// without it a left press asks for a drag.
TEST_F(LivePlaybackFlow, FullScreenSettingScalesTheWindowAndStopsDragging) {
    startRecorder(sim::PictureMix::Full);
    openLiveWindow();
    QSignalSpy drags(&window(), &playback::PlaybackWindow::dragRequested);
    const QPoint background(window().width() - 4, window().height() - 4);
    view().settingsStore().settings().fullScreen = 1;
    openPlayback();
    playback::PlaybackFrame* frame = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* candidate = qobject_cast<playback::PlaybackFrame*>(top)) {
            frame = candidate;
        }
    }
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isFullScreen());
    EXPECT_TRUE(frame->fullScreenShown());
    QTest::mousePress(&window(), Qt::LeftButton, {}, background);
    QTest::mouseRelease(&window(), Qt::LeftButton, {}, background);
    EXPECT_EQ(drags.count(), 0);
    window().press(playback::command::kExit);
    ASSERT_FALSE(view().playback()->isOpen());

    view().settingsStore().settings().fullScreen = 0;
    view().controller().onCommand(command::kPlayback);
    ASSERT_TRUE(view().playback()->isOpen());
    EXPECT_FALSE(frame->isFullScreen());
    EXPECT_FALSE(frame->fullScreenShown());
    EXPECT_EQ(frame->size(), window().size());
    EXPECT_EQ(window().parentWidget(), frame);
    QTest::mousePress(&window(), Qt::LeftButton, {}, background);
    QTest::mouseRelease(&window(), Qt::LeftButton, {}, background);
    EXPECT_EQ(drags.count(), 1);
}

// The main window destroyed while playback is open (no exit sequence): the playback window goes first.
TEST_F(LivePlaybackFlow, DestroyingTheMainWindowDuringPlaybackIsOrderly) {
    startRecorder(sim::PictureMix::Full);
    openLiveWindow();
    openPlayback();
    play(playback::PlayButton::Forward);
    ASSERT_TRUE(waitFor([this] { return window().picturesShown() >= 2; }));
    const QPointer<playback::PlaybackWindow> playbackWindow(&window());
    m_frame.reset();
    EXPECT_TRUE(waitFor([&] { return playbackWindow.isNull(); }))
        << "the playback window outlived the main window";
    // The recorder sees the connection end between whole packets.
    ASSERT_TRUE(waitFor([this] { return m_recorder->countLogged(R"("event":"close")") > 0; }));
    EXPECT_EQ(m_recorder->countLogged(R"("midPacket":true)"), 0u);
    EXPECT_EQ(m_recorder->countLogged(R"("event":"torn")"), 0u);
}

TEST_F(LivePlaybackFlow, KeyLockedRecorderKeepsTheLiveWindow) {
    startRecorder(sim::PictureMix::Full, /*keyLock=*/true);
    openLiveWindow();
    ASSERT_TRUE(waitFor([this] { return view().controller().keyLocked(); }));
    view().controller().onCommand(command::kPlayback);
    EXPECT_FALSE(view().playback()->isOpen());
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(view().statusText(),
              QString::fromStdString(view().controller().statusText(link::ConnectionState::KeyLock)));
}

// Save and a short AVI recording of what the playback window shows, against the simulator: a JPEG of the
// picture area's size and an MJPEG file at 10 frames a second, both with manifests zavtool verify accepts.
class FolderSpy : public playback::DesktopServices {
public:
    void openFolder(const std::string& folder) override { opened.push_back(folder); }
    std::vector<std::string> opened;
};

int runTool(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return -1;
    }
    char buffer[512];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string toolPath(const char* name) {
    const char* dir = std::getenv("DVR_BIN_DIR");
    return "'" + std::string(dir ? dir : DVR_BIN_DIR_DEFAULT) + "/" + name + "'";
}

TEST_F(LivePlaybackFlow, SaveAndRecordingWriteFilesThatVerify) {
    startRecorder(sim::PictureMix::Full);
    openLiveWindow();
    openPlayback();
    play(playback::PlayButton::Forward);
    ASSERT_TRUE(waitFor([this] { return window().picturesShown() >= 4; }));

    FolderSpy folders;
    const std::string savedFolder = m_home->filePath(QStringLiteral("saved")).toStdString();
    view().controller().settingsStore().settings().saveFolder = savedFolder;
    playback::ExportSetup setup = window().exporter().setup();
    setup.desktop = &folders;
    window().setExportSetup(setup);

    const std::string jpeg = window().exporter().saveSnapshot();
    ASSERT_FALSE(jpeg.empty());
    EXPECT_EQ(std::filesystem::path(jpeg).parent_path().string(), savedFolder);
    EXPECT_EQ(window().exporter().setup().recorderAddress, "127.0.0.1");
    EXPECT_EQ(window().exporter().setup().recorderPort, int(m_recorder->port()));
    EXPECT_EQ(QImage(QString::fromStdString(jpeg)).size(), window().pictureArea().size());
    std::string said;
    EXPECT_EQ(runTool(toolPath("zavtool") + " verify '" + jpeg + "'", said), 0) << said;

    window().press(playback::command::kSaveAvi);
    ASSERT_TRUE(window().exporter().recording());
    ASSERT_TRUE(waitFor([this] { return window().exporter().recordingController().framesWritten() >= 5; }));
    play(playback::PlayButton::Pause);
    EXPECT_FALSE(window().exporter().recording());
    ASSERT_EQ(folders.opened.size(), 2u);
    const std::string avi = window().exporter().recordingController().path();
    ASSERT_EQ(runTool("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                      "stream=codec_name,r_frame_rate,nb_read_frames -of default=nw=1 '" +
                          avi + "'",
                      said),
              0)
        << said;
    EXPECT_NE(said.find("codec_name=mjpeg"), std::string::npos) << said;
    EXPECT_NE(said.find("r_frame_rate=10/1"), std::string::npos) << said;
    EXPECT_EQ(said.find("nb_read_frames=0"), std::string::npos) << said;
    EXPECT_EQ(runTool(toolPath("zavtool") + " verify '" + avi + "'", said), 0) << said;
}

// A task the playback objects asked for later (the reconnect's play request) goes with them: destroyed
// before it ran (the program exits meanwhile), it never runs on the objects it was for.
TEST(FramePlaybackShellTest, ATaskAskedForLaterGoesWithTheShell) {
    int ran = 0;
    {
        FramePlaybackShell shell([](bool) {});
        shell.later([&] { ++ran; });
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
    FramePlaybackShell shell([](bool) {});
    shell.later([&] { ++ran; });
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace dvr::live
