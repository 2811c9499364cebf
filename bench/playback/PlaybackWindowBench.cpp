// Pictures per second the playback window shows (opened from the live window, 16 panes, forward play)
// against the headless playback controller on the same session code, taking turns on the same simulated
// recorder in the same run.
//
// Each round pairs one headless slice with one window slice; the goal holds in every round, so the worst
// round's ratio is reported beside the means.
//
// Environment: VISTREL_BENCH_SECONDS and VISTREL_BENCH_ROUNDS (rate slices, default 5 rounds of 4 s each).
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
#include <string>

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

using dvr::bench::makeProgramFolder;
using dvr::bench::numberFromEnvironment;
using dvr::bench::openMainWindow;
using dvr::bench::recorder;

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

// Pictures per second of forward play through the headless controller over one fresh connection.
double headlessSlice(double seconds) {
    dvr::link::RecorderSocket socket;
    dvr::link::RecorderSession* sessionPointer = nullptr;
    struct Run {
        dvr::link::RecorderSocket& socket;
        dvr::playback::SessionPlaybackRequests link;
        dvr::playback::PlaybackController controller;
        CountingHost host;
        dvr::link::LiveHost live;
        dvr::link::SteadyClock clock;
        dvr::link::RecorderSession session;
        dvr::link::SessionDriver driver;
        dvr::link::SessionPoller poller;
        explicit Run(dvr::link::RecorderSocket& s)
            : socket(s),
              link(driver, "127.0.0.1", recorder().port()),
              controller(link, localNow),
              host(controller),
              session(live, &host),
              driver(session, socket, clock),
              poller(driver, socket) {}
    };
    auto run = std::make_unique<Run>(socket);
    sessionPointer = &run->session;
    const auto pollUntil = [&](const std::function<bool()>& done, double limitSeconds) {
        const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(limitSeconds));
        while (!done() && Clock::now() < end && sessionPointer->hasSocket()) {
            run->poller.pollOnce(20);
        }
        return done();
    };
    run->controller.open(dvr::playback::openingSplitCode(0x10016), 0x10016);
    if (!run->driver.connect("127.0.0.1", recorder().port())) {
        return -1;
    }
    run->controller.onRangeTimer();
    if (!pollUntil([&] { return run->host.rangeReplies >= 2; }, 10)) {
        return -1;
    }
    // The stop answering the range reply.
    pollUntil([&] { return false; }, 0.1);
    run->controller.onPlayButton(dvr::playback::PlayButton::Forward);
    const auto start = Clock::now();
    const uint64_t before = run->host.pictures;
    pollUntil([&] { return false; }, seconds);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = double(run->host.pictures - before) / elapsed;
    run->session.disconnect();
    return rate;
}

// Pictures per second the playback window shows over one fresh connection, opened from the live window.
double windowSlice(dvr::live::MainFrame& frame, double seconds) {
    dvr::live::VistrelView& view = *frame.view();
    // A live picture of this connection first: the window opens in the layout of the last live picture.
    const uint64_t liveBefore = view.picturesShown();
    view.pressConnect();
    if (!runEventLoopUntil([&] { return view.picturesShown() > liveBefore; }, 10000)) {
        return -1;
    }
    view.controller().onCommand(dvr::live::command::kPlayback);
    dvr::playback::PlaybackController& controller = view.playback()->controller();
    dvr::playback::PlaybackWindow& window = *view.playbackWindow();
    if (!runEventLoopUntil([&] { return controller.rangeValid(); }, 10000)) {
        return -1;
    }
    runEventLoopUntil([] { return false; }, 100);
    const quint64 before = window.picturesShown();
    QElapsedTimer timer;
    timer.start();
    window.press(dvr::playback::command::kPlayFirst + int(dvr::playback::PlayButton::Forward));
    runEventLoopUntil([] { return false; }, int(seconds * 1000));
    const double rate = double(window.picturesShown() - before) / (double(timer.elapsed()) / 1000.0);
    window.press(dvr::playback::command::kExit);
    runEventLoopUntil([&] { return !controller.playing(); }, 5000);
    window.press(dvr::playback::command::kExit);
    view.pressDisconnect();
    runEventLoopUntil([] { return false; }, 50);
    return rate;
}

void BM_PlaybackWindowAgainstHeadless(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_SECONDS", 4);
    const int rounds = int(numberFromEnvironment("VISTREL_BENCH_ROUNDS", 5));
    auto home = makeProgramFolder();
    dvr::live::RecordingViewerNotifier notifier;
    double headless = 0;
    double window = 0;
    double worstRound = 0;
    for (auto _ : state) {
        const std::unique_ptr<dvr::live::MainFrame> frame = openMainWindow(*home, notifier);
        for (int round = 0; round < rounds; ++round) {
            const double h = headlessSlice(seconds);
            const double w = windowSlice(*frame, seconds);
            if (h < 0 || w < 0) {
                state.SkipWithError("a slice did not start playing");
                return;
            }
            headless += h / rounds;
            window += w / rounds;
            const double ratio = h > 0 ? w / h : 0;
            worstRound = round == 0 ? ratio : std::min(worstRound, ratio);
            std::fprintf(stderr, "round %d: headless %.1f, window %.1f pictures/s, ratio %.3f\n", round + 1,
                         h, w, ratio);
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
