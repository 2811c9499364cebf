// Pictures per second the playback window shows (opened from the live window, 16 panes, forward play)
// against the headless playback controller on the same session code, taking turns on the same simulated
// recorder in the same run.
//
// In each round both play on connections of their own and take turns in short slices; the goal holds in
// every round, so the worst round's ratio is reported beside the means.
//
// Environment: VISTREL_BENCH_SECONDS (play time of each side per round, default 4), VISTREL_BENCH_SLICES
// (turns each side takes per round, default 8) and VISTREL_BENCH_ROUNDS (default 5).
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "bench/support/WindowBenchSupport.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/PlaybackHandOver.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"
#include "viewer/playback/SessionPlaybackRequests.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

// After a pause, the picture still on its way and the stop's reply arrive before the other turn starts.
constexpr double kSettleSeconds = 0.05;

using dvr::bench::makeProgramFolder;
using dvr::bench::numberFromEnvironment;
using dvr::bench::openMainWindow;
using dvr::bench::recorder;
using dvr::bench::Totals;

// Runs the event loop, blocked while nothing happens, until `done` holds or the time is up.
bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, 20)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

dvr::DateTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return dvr::DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// The headless side counts what the window would draw: pictures the controller accepted for some pane.
class CountingHost : public dvr::playback::PlaybackControllerHost {
public:
    using PlaybackControllerHost::PlaybackControllerHost;
    void recordingRange(const dvr::link::RecordingRange& range) override {
        PlaybackControllerHost::recordingRange(range);
        ++rangeReplies;
    }
    int rangeReplies = 0;
    uint64_t pictures = 0;

protected:
    void pictureDrawn(int, const dvr::frame::FrameHeader&, const dvr::frame::DecodedPicture&,
                      const dvr::playback::PaneDrawList& draws) override {
        if (draws.count > 0) {
            ++pictures;
        }
    }
};

// Forward play through the headless controller on a connection of its own, played in slices.
class HeadlessPlayer {
public:
    HeadlessPlayer()
        : m_link(m_driver, "127.0.0.1", recorder().port()),
          m_controller(m_link, localNow),
          m_host(m_controller),
          m_session(m_live, &m_host),
          m_driver(m_session, m_socket, m_clock),
          m_poller(m_driver, m_socket) {}

    // Connects and waits for the recording range; false when the recorder did not answer.
    bool open() {
        m_controller.open(dvr::playback::openingSplitCode(0x10016), 0x10016);
        if (!m_driver.connect("127.0.0.1", recorder().port())) {
            return false;
        }
        m_controller.onRangeTimer();
        if (!pollUntil([&] { return m_host.rangeReplies >= 2; }, 10)) {
            return false;
        }
        // The stop answering the range reply.
        pollUntil([] { return false; }, 0.1);
        return true;
    }

    // Plays forward for `seconds` from the first picture on, then pauses; the pictures after the first
    // and the seconds they took, or nothing when no picture came.
    std::optional<std::pair<uint64_t, double>> playFor(double seconds) {
        const uint64_t first = m_host.pictures;
        m_controller.onPlayButton(dvr::playback::PlayButton::Forward);
        if (!pollUntil([&] { return m_host.pictures > first; }, 5)) {
            return std::nullopt;
        }
        const uint64_t before = m_host.pictures;
        const auto start = Clock::now();
        pollUntil([] { return false; }, seconds);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const uint64_t pictures = m_host.pictures - before;
        m_controller.onPlayButton(dvr::playback::PlayButton::Pause);
        pollUntil([] { return false; }, kSettleSeconds);
        return std::make_pair(pictures, elapsed);
    }

    void close() { m_session.disconnect(); }

private:
    bool pollUntil(const std::function<bool()>& done, double limitSeconds) {
        return dvr::bench::pollUntil(m_poller, m_session, done, limitSeconds);
    }

    dvr::link::RecorderSocket m_socket;
    dvr::playback::SessionPlaybackRequests m_link;
    dvr::playback::PlaybackController m_controller;
    CountingHost m_host;
    dvr::link::LiveHost m_live;
    dvr::link::SteadyClock m_clock;
    dvr::link::RecorderSession m_session;
    dvr::link::SessionDriver m_driver;
    dvr::link::SessionPoller m_poller;
};

// Forward play in the playback window, opened from the live window, played in slices.
class WindowPlayer {
public:
    explicit WindowPlayer(dvr::live::MainFrame& frame) : m_view(*frame.view()) {}

    // Connects, shows a live picture (the window opens in the layout of the last one), opens the
    // playback window and waits for the recording range; false when something did not come.
    bool open() {
        const uint64_t liveBefore = m_view.picturesShown();
        m_view.pressConnect();
        if (!runEventLoopUntil([&] { return m_view.picturesShown() > liveBefore; }, 10000)) {
            return false;
        }
        m_view.controller().onCommand(dvr::live::command::kPlayback);
        if (!runEventLoopUntil([&] { return m_view.playback()->controller().rangeValid(); }, 10000)) {
            return false;
        }
        runEventLoopUntil([] { return false; }, 100);
        return true;
    }

    std::optional<std::pair<uint64_t, double>> playFor(double seconds) {
        dvr::playback::PlaybackWindow& window = *m_view.playbackWindow();
        const quint64 first = window.picturesShown();
        window.press(dvr::playback::command::kPlayFirst + int(dvr::playback::PlayButton::Forward));
        if (!runEventLoopUntil([&] { return window.picturesShown() > first; }, 5000)) {
            return std::nullopt;
        }
        const quint64 before = window.picturesShown();
        QElapsedTimer timer;
        timer.start();
        runEventLoopUntil([] { return false; }, int(seconds * 1000));
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        const uint64_t pictures = window.picturesShown() - before;
        window.press(dvr::playback::command::kPlayFirst + int(dvr::playback::PlayButton::Pause));
        runEventLoopUntil([] { return false; }, int(kSettleSeconds * 1000));
        return std::make_pair(pictures, elapsed);
    }

    void close() {
        dvr::playback::PlaybackWindow& window = *m_view.playbackWindow();
        window.press(dvr::playback::command::kExit);
        runEventLoopUntil([&] { return !m_view.playback()->controller().playing(); }, 5000);
        window.press(dvr::playback::command::kExit);
        m_view.pressDisconnect();
        runEventLoopUntil([] { return false; }, 50);
    }

private:
    dvr::live::VistrelView& m_view;
};

void BM_PlaybackWindowAgainstHeadless(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_SECONDS", 4);
    const int rounds = int(numberFromEnvironment("VISTREL_BENCH_ROUNDS", 5));
    const int slices = std::max(1, int(numberFromEnvironment("VISTREL_BENCH_SLICES", 8)));
    auto home = makeProgramFolder();
    dvr::live::RecordingViewerNotifier notifier;
    double headless = 0;
    double window = 0;
    double worstRound = 0;
    for (auto _ : state) {
        const std::unique_ptr<dvr::live::MainFrame> frame = openMainWindow(*home, notifier);
        for (int round = 0; round < rounds; ++round) {
            // Both hold a connection to the recorder for the whole round and take turns playing, the one
            // not measured paused; the turns go headless, window, window, headless, ... so that a machine
            // slowing down or speeding up during the round weighs on both alike.
            HeadlessPlayer headlessPlayer;
            WindowPlayer windowPlayer(*frame);
            if (!headlessPlayer.open() || !windowPlayer.open()) {
                state.SkipWithError("a player did not open");
                return;
            }
            Totals h;
            Totals w;
            for (int slice = 0; slice < 2 * slices; ++slice) {
                const bool headlessTurn = (slice % 4 == 0) || (slice % 4 == 3);
                const auto played = headlessTurn ? headlessPlayer.playFor(seconds / slices)
                                                 : windowPlayer.playFor(seconds / slices);
                if (!played) {
                    state.SkipWithError("a slice did not start playing");
                    return;
                }
                (headlessTurn ? h : w).add(*played);
            }
            windowPlayer.close();
            headlessPlayer.close();
            headless += h.rate() / rounds;
            window += w.rate() / rounds;
            const double ratio = h.rate() > 0 ? w.rate() / h.rate() : 0;
            worstRound = round == 0 ? ratio : std::min(worstRound, ratio);
            std::fprintf(stderr, "round %d: headless %.1f, window %.1f pictures/s, ratio %.3f\n", round + 1,
                         h.rate(), w.rate(), ratio);
        }
        frame->close();
        QCoreApplication::processEvents();
    }
    state.counters["headless_pictures_per_s"] = headless;
    state.counters["window_pictures_per_s"] = window;
    state.counters["ratio_window_to_headless"] = headless > 0 ? window / headless : 0;
    state.counters["worst_round_ratio"] = worstRound;
    state.counters["rounds"] = rounds;
}

}  // namespace

BENCHMARK(BM_PlaybackWindowAgainstHeadless)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
    return dvr::bench::runWindowBenchmarks(argc, argv);
}
