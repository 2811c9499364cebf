// Unpaced forward play of a 16-channel backup in the Discoro window (16 panes, every picture
// drawn) against the headless rate of the same playback thread decoding every picture, as
// `zavtool frames` runs it. Both are measured in each iteration; the counters report the two
// rates in pictures per second and their ratio.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackThread.h"
#include "player/widgets/PlayerView.h"
#include "tools/zavgen/BackupGenerator.h"

using namespace dvr::skin;

namespace {

using namespace dvr;
namespace fs = std::filesystem;

constexpr const char* kResIni = R"([MAIN POS]
POS_SKIN=<0><0><1000><572>
POS_OVERLAY_TERM=<12><84><720><480>
)";

struct Fixture {
    fs::path dir;
    std::string file;
    std::string home;
};

const Fixture& fixture() {
    static const Fixture f = [] {
        Fixture made;
        made.dir = fs::temp_directory_path() / ("discoro-bench-" + std::to_string(::getpid()));
        fs::create_directories(made.dir / "home");
        std::ofstream(made.dir / "home" / "res.ini") << kResIni;
        made.home = (made.dir / "home").string();
        made.file = (made.dir / "bench.zav").string();
        zavgen::GeneratorOptions options;
        options.channelCount = 16;
        options.layout = zavgen::PictureLayout::Full;
        options.durationSeconds = 24;
        options.groupIntervalSeconds = 1;
        zavgen::GeneratorReport report;
        if (!zavgen::generateBackup(made.file, options, report)) {
            std::fprintf(stderr, "bench: cannot write the backup: %s\n", report.error.c_str());
            std::exit(1);
        }
        return made;
    }();
    return f;
}

// The headless consumer: decodes every delivered picture and reads its channel.
class DecodingSink final : public media::PlaybackSink {
public:
    void drawPicture(const media::DeliveredPicture& picture) override {
        if (media::decodeDeliveredPicture(m_decoder, picture).ok()) {
            m_pictures.fetch_add(1);
        }
    }
    void soundBlock(std::span<const uint8_t>, uint8_t, uint16_t, uint32_t) override {}
    void setSlider(int) override {}
    void atStart() override {}
    void atEnd() override {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_cv.notify_all();
    }
    void showMessage(std::string_view) override {}
    void waitForEnd() {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::seconds(120), [this] { return m_ended; });
    }
    uint64_t pictures() const { return m_pictures.load(); }

private:
    frame::FrameDecoder m_decoder;
    std::atomic<uint64_t> m_pictures{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_ended = false;
};

// Runs the window thread's event loop (sleeping while idle) until done() or the time-out.
template <typename F>
bool waitFor(F done, int timeoutMs = 120000) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return done();
}

// Pictures per second of the headless playback thread over the whole file.
double headlessRate(const Fixture& f) {
    struct Quiet final : media::Notifier {
        void showMessage(std::string_view) override {}
    } quiet;
    const media::ScanOutcome scan = media::openAndScan(f.file, quiet);
    media::PlaybackShared shared;
    media::ManualPlaybackClock clock;
    DecodingSink sink;
    player::PlayerEngine engine(shared, sink, clock, player::PlayerEngine::Options{.paced = false});
    media::PlaybackThread thread(shared, sink, engine, clock);
    // The thread shows the first group and pauses; forward play starts from there.
    thread.start({f.file, scan.result.channelCount, scan.result.endOffset});
    while (sink.pictures() < 16 || shared.mode() != media::PlayMode::Pause) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const uint64_t first = sink.pictures();
    const auto start = std::chrono::steady_clock::now();
    shared.setMode(media::PlayMode::Forward);
    sink.waitForEnd();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    thread.stop();
    return double(sink.pictures() - first) / seconds;
}

// Pictures per second stored and drawn by the window over the whole file, and its paints.
std::pair<double, double> windowRate(const Fixture& f) {
    player::PlayerView::Options options;
    options.programFolder = f.home;
    options.paced = false;
    RecordingSkinNotifier messages;
    options.notifier = &messages;
    player::PlayerView view(options);
    view.show();
    bool ended = false;
    QObject::connect(&view, &player::PlayerView::reachedEnd, [&] { ended = true; });
    view.openFile(QString::fromStdString(f.file));
    waitFor([&] { return view.storedPictures() >= 16 && view.shared().mode() == media::PlayMode::Pause; });
    const uint64_t first = view.storedPictures();
    const auto start = std::chrono::steady_clock::now();
    view.pressControl(player::control::kFPlay);
    waitFor([&] { return ended; });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {double(view.storedPictures() - first) / seconds, double(view.paintedFrames()) / seconds};
}

void BM_WindowForwardPlayAgainstHeadless(benchmark::State& state) {
    const Fixture& f = fixture();
    double headless = 0;
    double window = 0;
    double paints = 0;
    for (auto _ : state) {
        headless += headlessRate(f);
        const auto [pictures, frames] = windowRate(f);
        window += pictures;
        paints += frames;
    }
    const double n = double(state.iterations());
    state.counters["headless_pps"] = headless / n;
    state.counters["window_pps"] = window / n;
    state.counters["window_paints_per_s"] = paints / n;
    state.counters["window_vs_headless"] = window / headless;
}
BENCHMARK(BM_WindowForwardPlayAgainstHeadless)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

// Fast forward at 16x in the 16-pane layout on the real clock: pictures decoded and stored per second
// (each drawn by the next repaint of its pane) with decoding at the panes' size on two workers, against the
// full-size decode on the playback thread, in the same run on the same file. ratio = new / old.
const std::string& sixteenTimesFile() {
    static const std::string file = [] {
        const std::string path = (fixture().dir / "sixteen.zav").string();
        zavgen::GeneratorOptions options;
        options.channelCount = 16;
        options.layout = zavgen::PictureLayout::Full;
        options.durationSeconds = 120;
        options.groupIntervalSeconds = 1;
        zavgen::GeneratorReport report;
        if (!zavgen::generateBackup(path, options, report)) {
            std::fprintf(stderr, "bench: cannot write the backup: %s\n", report.error.c_str());
            std::exit(1);
        }
        return path;
    }();
    return file;
}

struct Rates {
    double pictures = 0;
    double paints = 0;
};

Rates sixteenTimesRate(bool decodeAhead) {
    player::PlayerView::Options options;
    options.programFolder = fixture().home;
    options.decodeAhead = decodeAhead;
    RecordingSkinNotifier messages;
    options.notifier = &messages;
    player::PlayerView view(options);
    view.show();
    view.openFile(QString::fromStdString(sixteenTimesFile()));
    waitFor([&] { return view.storedPictures() >= 16 && view.shared().mode() == media::PlayMode::Pause; });
    view.pressControl(player::control::kMode16);
    while (view.model().speedIndex() < 6) {
        view.pressControl(player::control::kSpeedUp);
    }
    bool ended = false;
    QObject::connect(&view, &player::PlayerView::reachedEnd, [&] { ended = true; });
    // Fast forward from the start to the end of the file, four times; late groups are skipped, so the
    // time is what reading, decoding and storing the shown groups take.
    uint64_t pictures = 0;
    uint64_t paints = 0;
    double seconds = 0;
    for (int run = 0; run < 4; ++run) {
        view.pressControl(player::control::kStart);
        waitFor([&] { return view.shared().mode() == media::PlayMode::Pause; });
        ended = false;
        const uint64_t firstPictures = view.storedPictures();
        const uint64_t firstPaints = view.paintedFrames();
        const auto start = std::chrono::steady_clock::now();
        view.pressControl(player::control::kFfPlay);
        waitFor([&] { return ended; });
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        pictures += view.storedPictures() - firstPictures;
        paints += view.paintedFrames() - firstPaints;
    }
    return {double(pictures) / seconds, double(paints) / seconds};
}

void BM_SixteenPanesAtSixteenTimes(benchmark::State& state) {
    double before = 0;
    double after = 0;
    double paintsBefore = 0;
    double paintsAfter = 0;
    for (auto _ : state) {
        const Rates old = sixteenTimesRate(false);
        const Rates now = sixteenTimesRate(true);
        before += old.pictures;
        after += now.pictures;
        paintsBefore += old.paints;
        paintsAfter += now.paints;
    }
    const double n = double(state.iterations());
    state.counters["old_pps"] = before / n;
    state.counters["new_pps"] = after / n;
    state.counters["old_paints_per_s"] = paintsBefore / n;
    state.counters["new_paints_per_s"] = paintsAfter / n;
    state.counters["ratio"] = before > 0 ? after / before : 0;
}
BENCHMARK(BM_SixteenPanesAtSixteenTimes)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(fixture().dir);
    return 0;
}
