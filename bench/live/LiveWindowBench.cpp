// The live window's picture rate with 16 panes and with one pane over loopback against the headless
// client's rate in the same run, how long input waits in the window's event loop meanwhile, the
// program's CPU per picture with 16 panes against one pane, and the resident memory of the real program
// after a minute of streaming against the same program decoding on its window's thread.
//
// Environment: VISTREL_BENCH_SECONDS (streaming time of each side per phase, default 4),
// VISTREL_BENCH_SLICES (turns each side takes per phase, default 8), VISTREL_BENCH_ROUNDS (default 5; 3
// for the CPU comparison, whose slices are VISTREL_BENCH_SECONDS long), VISTREL_BENCH_MEMORY_SECONDS
// (default 60).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/support/WindowBenchSupport.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/FrameHeader.h"
#include "viewer/link/LiveStream.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"

namespace {

using dvr::bench::makeProgramFolder;
using dvr::bench::numberFromEnvironment;
using dvr::bench::openMainWindow;
using dvr::bench::recorder;
using dvr::bench::Totals;

void runEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// How long input waits in the window's event loop: a thread of its own posts an event stamped with its
// posting time every 20 ms, as the window system's input arrives while the loop is busy; the wait is
// the time until the loop hands the event over. The worst wait of a slice is what a user would feel.
class InputProbe : public QObject {
public:
    InputProbe() : m_poster([this] { post(); }) {}
    ~InputProbe() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_poster.join();
        QCoreApplication::removePostedEvents(this);
    }
    double worstMs() const { return double(m_worstNs) / 1e6; }

protected:
    bool event(QEvent* event) override {
        if (event->type() != kStampedType) {
            return QObject::event(event);
        }
        const auto waited = std::chrono::steady_clock::now() - static_cast<StampedEvent*>(event)->posted;
        m_worstNs = std::max<int64_t>(m_worstNs, std::chrono::nanoseconds(waited).count());
        return true;
    }

private:
    static constexpr QEvent::Type kStampedType = QEvent::Type(QEvent::User + 17);
    struct StampedEvent : QEvent {
        StampedEvent() : QEvent(kStampedType), posted(std::chrono::steady_clock::now()) {}
        std::chrono::steady_clock::time_point posted;
    };
    void post() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; })) {
            QCoreApplication::postEvent(this, new StampedEvent);
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    int64_t m_worstNs = 0;
    std::thread m_poster;
};

// The process's CPU seconds, all threads.
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Shows the layout of `panes` (1 or 16) in the window.
bool showPanes(dvr::live::MainFrame& frame, int panes) {
    dvr::live::VistrelView& view = *frame.view();
    view.controller().onCommand(dvr::live::command::kModeFirst + (panes == 16 ? 6 : 0));
    return view.controller().splitCode() == (panes == 16 ? dvr::live::kSplitSixteen : dvr::live::kSplitOne);
}

struct WindowSlice {
    double picturesPerSecond = 0;
    double cpuSecondsPerPicture = 0;
    double worstInputMs = 0;
};

// Runs the event loop until `done` holds or `timeoutMs` passed.
bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        runEventLoopFor(10);
    }
    return done();
}

// What the window shows over one fresh connection of `seconds` in the layout of `panes`, connecting
// included in the rate as the headless client's rate includes it. The layout is chosen once the first
// picture arrived (connecting shows the recorder's layout); the CPU per picture counts from then, over
// the whole process, so the recorder must run elsewhere when it counts.
WindowSlice windowSlice(dvr::live::MainFrame& frame, double seconds, int panes) {
    dvr::live::VistrelView& view = *frame.view();
    const uint64_t before = view.picturesShown();
    InputProbe probe;
    QElapsedTimer timer;
    timer.start();
    view.pressConnect();
    WindowSlice slice;
    if (!runEventLoopUntil([&] { return view.picturesShown() > before; }, int(seconds * 1000)) ||
        !showPanes(frame, panes)) {
        view.pressDisconnect();
        return slice;
    }
    const uint64_t measuredFrom = view.picturesShown();
    const double cpuBefore = processCpuSeconds();
    runEventLoopFor(int(std::max<qint64>(0, qint64(seconds * 1000) - timer.elapsed())));
    const double measured = double(view.picturesShown() - measuredFrom);
    slice.cpuSecondsPerPicture = measured > 0 ? (processCpuSeconds() - cpuBefore) / measured : 0;
    slice.picturesPerSecond = double(view.picturesShown() - before) / (double(timer.elapsed()) / 1000.0);
    slice.worstInputMs = probe.worstMs();
    if (panes == 1 && view.controller().pictureBuffer(0).reduction != 0) {
        slice.cpuSecondsPerPicture = 0;  // not the full-size decoding one pane gets
    }
    view.pressDisconnect();
    runEventLoopFor(50);
    return slice;
}

// The headless client on a connection of its own, as `vistrelctl live` runs it: the layout's displayed
// channels and request speed, each picture decoded on the polling thread and its channels' parts kept.
// Between its turns it is not polled: the reply to its one request waits in the socket.
class HeadlessLive : public dvr::link::LiveHost {
public:
    explicit HeadlessLive(int panes) {
        dvr::link::LiveStream& live = m_session.live();
        live.setDisplayedChannelMask(dvr::link::displayedMaskFor(panes, 0));
        live.setRequestSpeed(dvr::link::defaultRequestSpeed(panes));
    }
    ~HeadlessLive() override { m_session.disconnect(); }

    bool open() {
        return m_driver.connect("127.0.0.1", recorder().port()) &&
               pollUntil([&] { return m_pictures > 0; }, 10);
    }

    // Streams for `seconds` from its first picture on: the pictures after that one and the seconds they
    // took, or nothing when no picture came.
    std::optional<std::pair<uint64_t, double>> streamFor(double seconds) {
        const uint64_t first = m_pictures;
        if (!pollUntil([&] { return m_pictures > first; }, 5)) {
            return std::nullopt;
        }
        const uint64_t before = m_pictures;
        const auto start = std::chrono::steady_clock::now();
        pollUntil([] { return false; }, seconds);
        return std::make_pair(
            m_pictures - before,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    void runViewDisconnect(dvr::link::DisconnectReason) override { m_session.disconnect(); }
    void livePicture(const dvr::frame::PictureRecord& record) override {
        const dvr::frame::DecodedFrame decoded = m_decoder.decode(record);
        if (!decoded.ok()) {
            return;
        }
        ++m_pictures;
        const dvr::frame::DecodedPicture& picture = *decoded.picture;
        const uint32_t flags = decoded.header.pictureFlags;
        const int base = dvr::frame::baseChannel(decoded.channel, flags);
        for (int c = base; c < base + dvr::frame::channelsPerPicture(flags) && c < 16; ++c) {
            const dvr::frame::PixelRect rect =
                dvr::frame::channelSourceRect(flags, c, picture.width, picture.height);
            std::vector<uint8_t>& kept = m_kept[size_t(c)];
            kept.resize(size_t(std::max(0, rect.width)) * 4 * size_t(std::max(0, rect.height)));
            for (int y = 0; y < rect.height; ++y) {
                std::memcpy(
                    kept.data() + size_t(y) * size_t(rect.width) * 4,
                    picture.pixels.data() + size_t(rect.y + y) * picture.stride() + size_t(rect.x) * 4,
                    size_t(rect.width) * 4);
            }
        }
    }

private:
    bool pollUntil(const std::function<bool()>& done, double limitSeconds) {
        return dvr::bench::pollUntil(m_poller, m_session, done, limitSeconds);
    }

    dvr::frame::FrameDecoder m_decoder;
    std::array<std::vector<uint8_t>, 16> m_kept;
    uint64_t m_pictures = 0;
    dvr::link::RecorderSocket m_socket;
    dvr::link::SteadyClock m_clock;
    dvr::link::RecorderSession m_session{*this};
    dvr::link::SessionDriver m_driver{m_session, m_socket, m_clock};
    dvr::link::SessionPoller m_poller{m_driver, m_socket};
};

// The live window connected in the layout of `panes`; between its turns its live loop is paused (the
// picture on its way is dropped) and it settles before the other side's turn.
class WindowLive {
public:
    WindowLive(dvr::live::MainFrame& frame, int panes)
        : m_frame(frame), m_view(*frame.view()), m_panes(panes) {}
    ~WindowLive() {
        m_view.controller().resumeLive();
        m_view.pressDisconnect();
        runEventLoopFor(50);
    }

    bool open() {
        const uint64_t before = m_view.picturesShown();
        m_view.pressConnect();
        if (!runEventLoopUntil([&] { return m_view.picturesShown() > before; }, 10000) ||
            !showPanes(m_frame, m_panes)) {
            return false;
        }
        pause();
        return true;
    }

    // Streams for `seconds` from its first picture on, as HeadlessLive::streamFor; the longest wait of
    // input meanwhile is kept.
    std::optional<std::pair<uint64_t, double>> streamFor(double seconds) {
        InputProbe probe;
        const uint64_t first = m_view.picturesShown();
        m_view.controller().resumeLive();
        if (!runEventLoopUntil([&] { return m_view.picturesShown() > first; }, 5000)) {
            return std::nullopt;
        }
        const uint64_t before = m_view.picturesShown();
        QElapsedTimer timer;
        timer.start();
        runEventLoopFor(int(seconds * 1000));
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        const uint64_t pictures = m_view.picturesShown() - before;
        m_worstInputMs = std::max(m_worstInputMs, probe.worstMs());
        pause();
        return std::make_pair(pictures, elapsed);
    }
    double worstInputMs() const { return m_worstInputMs; }

private:
    void pause() {
        m_view.controller().pauseLive();
        runEventLoopFor(50);
    }

    dvr::live::MainFrame& m_frame;
    dvr::live::VistrelView& m_view;
    const int m_panes;
    double m_worstInputMs = 0;
};

// Pictures per second of the window and of the headless client, both connected to the same recorder
// for the whole phase and taking turns, the other one paused; the turns go headless, window, window,
// headless, ... so that a machine slowing down or speeding up weighs on both alike.
struct Phase {
    Totals headless;
    Totals window;
    double worstInputMs = 0;
    bool ok = false;
};

Phase interleaved(dvr::live::MainFrame& frame, int panes, double seconds, int turns) {
    Phase phase;
    HeadlessLive headless(panes);
    WindowLive window(frame, panes);
    if (!headless.open() || !window.open()) {
        return phase;
    }
    for (int turn = 0; turn < 2 * turns; ++turn) {
        const bool headlessTurn = (turn % 4 == 0) || (turn % 4 == 3);
        const auto streamed =
            headlessTurn ? headless.streamFor(seconds / turns) : window.streamFor(seconds / turns);
        if (!streamed) {
            return phase;
        }
        (headlessTurn ? phase.headless : phase.window).add(*streamed);
    }
    phase.worstInputMs = window.worstInputMs();
    phase.ok = true;
    return phase;
}

// The window against the headless client in turns on the same recorder; each round also has a phase
// of the window decoding on its own thread, as before the worker (the `ui_thread_` counters), against
// the headless client again. Argument: the panes shown (16 or 1). Each side streams `seconds` per phase
// in `turns` turns.
void BM_WindowAgainstHeadless(benchmark::State& state) {
    const int panes = int(state.range(0));
    const double seconds = numberFromEnvironment("VISTREL_BENCH_SECONDS", 4);
    const int rounds = int(numberFromEnvironment("VISTREL_BENCH_ROUNDS", 5));
    const int turns = std::max(1, int(numberFromEnvironment("VISTREL_BENCH_SLICES", 8)));
    auto home = makeProgramFolder();
    dvr::live::RecordingViewerNotifier notifier;
    Totals headless;
    Totals window;
    Totals uiHeadless;
    Totals uiWindow;
    double worstRound = 0;
    double worstInputMs = 0;
    double worstInputOnUiThreadMs = 0;
    for (auto _ : state) {
        const std::unique_ptr<dvr::live::MainFrame> frame = openMainWindow(*home, notifier);
        for (int round = 0; round < rounds; ++round) {
            const Phase worker = interleaved(*frame, panes, seconds, turns);
            frame->view()->setDecodeOnWorker(false);
            const Phase onUiThread = interleaved(*frame, panes, seconds, turns);
            frame->view()->setDecodeOnWorker(true);
            if (!worker.ok || !onUiThread.ok) {
                state.SkipWithError("a side showed no picture");
                return;
            }
            headless.pictures += worker.headless.pictures;
            headless.seconds += worker.headless.seconds;
            window.pictures += worker.window.pictures;
            window.seconds += worker.window.seconds;
            uiHeadless.pictures += onUiThread.headless.pictures;
            uiHeadless.seconds += onUiThread.headless.seconds;
            uiWindow.pictures += onUiThread.window.pictures;
            uiWindow.seconds += onUiThread.window.seconds;
            const double ratio = worker.window.rate() / worker.headless.rate();
            worstRound = round == 0 ? ratio : std::min(worstRound, ratio);
            worstInputMs = std::max(worstInputMs, worker.worstInputMs);
            worstInputOnUiThreadMs = std::max(worstInputOnUiThreadMs, onUiThread.worstInputMs);
            std::fprintf(stderr, "%d panes, round %d: headless %.1f, window %.1f pictures/s, ratio %.3f\n",
                         panes, round + 1, worker.headless.rate(), worker.window.rate(), ratio);
        }
        frame->close();
        QCoreApplication::processEvents();
    }
    state.counters["headless_pictures_per_s"] = headless.rate();
    state.counters["window_pictures_per_s"] = window.rate();
    state.counters["ratio_window_to_headless"] = headless.rate() > 0 ? window.rate() / headless.rate() : 0;
    state.counters["worst_round_ratio"] = worstRound;
    state.counters["worst_input_wait_ms"] = worstInputMs;
    state.counters["ui_thread_ratio_window_to_headless"] =
        uiHeadless.rate() > 0 ? uiWindow.rate() / uiHeadless.rate() : 0;
    state.counters["ui_thread_worst_input_wait_ms"] = worstInputOnUiThreadMs;
}

// A recorder simulator in its own process on a loopback port, so that the process CPU this benchmark
// counts is the window's alone.
class SimulatorProcess {
public:
    bool start() {
        m_process.start(QStringLiteral(DVRSIM_PROGRAM),
                        {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                         QStringLiteral("0"), QStringLiteral("--prewarm"), QStringLiteral("--log"),
                         m_log.filePath(QStringLiteral("sim.log"))});
        if (!m_process.waitForStarted(10000)) {
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000 && m_process.state() == QProcess::Running) {
            std::ifstream log(m_log.filePath(QStringLiteral("sim.log")).toStdString());
            std::string line;
            std::smatch match;
            if (std::getline(log, line) && std::regex_search(line, match, std::regex("\"port\":([0-9]+)"))) {
                m_port = uint16_t(std::stoi(match[1].str()));
                return true;
            }
            m_process.waitForFinished(50);
        }
        return false;
    }
    uint16_t port() const { return m_port; }
    ~SimulatorProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

private:
    QTemporaryDir m_log;
    QProcess m_process;
    uint16_t m_port = 0;
};

// The program's CPU per picture shown with 16 panes against one pane, on the same recorder in the same
// run: the window process's CPU over all its threads (painting, decoding, the socket), the recorder in
// a process of its own. Slices of the two layouts alternate.
void BM_ProgramCpuSixteenPanesVsOnePane(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_SECONDS", 4);
    const int rounds = int(numberFromEnvironment("VISTREL_BENCH_ROUNDS", 3));
    SimulatorProcess simulator;
    if (!simulator.start()) {
        state.SkipWithError("the recorder simulator did not start");
        return;
    }
    auto home = makeProgramFolder();
    dvr::live::RecordingViewerNotifier notifier;
    double sixteen = 0;
    double one = 0;
    double worstInputMs = 0;
    for (auto _ : state) {
        const std::unique_ptr<dvr::live::MainFrame> frame =
            openMainWindow(*home, notifier, "127.0.0.1", simulator.port());
        for (int round = 0; round < rounds; ++round) {
            for (const int panes : {16, 1}) {
                const WindowSlice slice = windowSlice(*frame, seconds, panes);
                if (slice.cpuSecondsPerPicture <= 0) {
                    state.SkipWithError("no picture shown in the layout asked for");
                    return;
                }
                (panes == 16 ? sixteen : one) += slice.cpuSecondsPerPicture / rounds;
                worstInputMs = std::max(worstInputMs, slice.worstInputMs);
            }
        }
        frame->close();
        QCoreApplication::processEvents();
    }
    state.counters["sixteen_ms_per_picture"] = sixteen * 1e3;
    state.counters["one_ms_per_picture"] = one * 1e3;
    state.counters["ratio_sixteen_to_one"] = one > 0 ? sixteen / one : 0;
    state.counters["worst_input_wait_ms"] = worstInputMs;
}

// Resident memory of the real program, started on its own with --connect, after streaming `seconds`;
// `decodeOnUiThread` runs it with the pictures decoded on the window's own thread, as before the worker.
double programResidentMiB(const QTemporaryDir& home, double seconds, bool decodeOnUiThread) {
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QString::fromLatin1(name), path);
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (decodeOnUiThread) {
        environment.insert(QStringLiteral("VISTREL_DECODE_ON_UI_THREAD"), QStringLiteral("1"));
    } else {
        environment.remove(QStringLiteral("VISTREL_DECODE_ON_UI_THREAD"));
    }
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VISTREL_PROGRAM),
                  {QStringLiteral("--home"), home.path(), QStringLiteral("--host"),
                   QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(recorder().port()),
                   QStringLiteral("--connect"), QStringLiteral("--no-arp-cleanup")});
    if (!program.waitForStarted(10000)) {
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < qint64(seconds * 1000) && program.state() == QProcess::Running) {
        program.waitForFinished(200);
    }
    double residentMiB = -1;
    std::ifstream status("/proc/" + std::to_string(program.processId()) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            residentMiB = std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    program.terminate();
    if (!program.waitForFinished(5000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    return residentMiB;
}

// The program's resident memory after streaming with pictures decoded on the worker, against the same
// program decoding on the window's own thread, in the same run.
void BM_ProgramResidentMemory(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_MEMORY_SECONDS", 60);
    auto home = makeProgramFolder();
    double worker = 0;
    double uiThread = 0;
    for (auto _ : state) {
        uiThread = programResidentMiB(*home, seconds, true);
        worker = programResidentMiB(*home, seconds, false);
        if (worker <= 0 || uiThread <= 0) {
            state.SkipWithError("vistrel did not run");
            return;
        }
    }
    state.counters["rss_MiB"] = worker;
    state.counters["rss_MiB_decoding_on_ui_thread"] = uiThread;
    state.counters["ratio"] = worker / uiThread;
    state.counters["seconds"] = seconds;
}

}  // namespace

BENCHMARK(BM_WindowAgainstHeadless)->Arg(16)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ProgramCpuSixteenPanesVsOnePane)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ProgramResidentMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
    return dvr::bench::runWindowBenchmarks(argc, argv);
}
