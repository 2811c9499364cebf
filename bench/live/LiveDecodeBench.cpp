// The live controller's CPU per picture with 16 panes against one pane on the same pictures: each picture
// is decoded at the size of the panes it lands in, so the 16-pane layout decodes two halvings smaller.
// Both controllers take the same sixteen records in one loop, each side timed in this thread's CPU time;
// `ratio` is the 16-pane time over the one-pane time.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/frame/MallocTuning.h"
#include "tools/synth/Synth.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveController.h"

namespace {

using namespace dvr;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

class NullScreen : public live::LiveScreen {
public:
    void repaint(uint32_t) override {}
    void drawPane(const live::PaneDraw&, const frame::DecodedPicture& buffer) override {
        benchmark::DoNotOptimize(buffer.pixels.data());
        ++draws;
    }
    void clearPanes() override {}
    void buttonsChanged() override {}
    uint64_t draws = 0;
};

class NullTimers : public live::LiveTimers {
public:
    void start(live::LiveTimer, int) override {}
    void stop(live::LiveTimer) override {}
};

struct Record {
    std::vector<uint8_t> bytes;
    frame::FrameHeader header;
};

// One picture of each of the sixteen channels, as the recorder sends them in the 16-pane layout.
std::vector<Record> makeRecords() {
    std::vector<Record> records;
    for (int channel = 0; channel < 16; ++channel) {
        const synth::PictureShape shape{frame::PictureKind::Single, channel, 16, 240};
        const std::vector<uint8_t> codestream =
            synth::encodeJ2k(synth::drawPicture(shape), synth::defaultCodestreamBytes(240));
        synth::RecordHeaderFields fields;
        fields.pictureFlags = synth::pictureFlagsFor(frame::PictureKind::Single, 3);
        Record record;
        record.header = synth::makeHeader(fields, codestream.size());
        record.bytes = synth::buildWireRecord(record.header, codestream);
        records.push_back(std::move(record));
    }
    return records;
}

// A live controller on its own scratch folder, showing the given layout (mode button index).
struct Viewer {
    explicit Viewer(const std::filesystem::path& folder, int modeIndex) {
        std::filesystem::create_directories(folder);
        live::LiveControllerOptions options;
        options.programFolder = folder.string();
        options.settingsFilePath = (folder / "Vistrel.ini").string();
        controller = std::make_unique<live::LiveController>(std::move(options), screen, timers, clock);
        controller->loadSettings();
        controller->start(live::PaneRect{8, 8, 728, 488});
        controller->onCommand(live::command::kModeFirst + modeIndex);
    }
    NullScreen screen;
    NullTimers timers;
    live::SystemClock clock;
    std::unique_ptr<live::LiveController> controller;
};

void BM_LiveSixteenPanesVsOnePane(benchmark::State& state) {
    const std::vector<Record> records = makeRecords();
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("dvr_live_decode_bench_" + std::to_string(getpid()));
    {
        Viewer sixteen(scratch / "sixteen", 6);
        Viewer one(scratch / "one", 0);
        if (sixteen.controller->splitCode() != live::kSplitSixteen ||
            one.controller->splitCode() != live::kSplitOne) {
            state.SkipWithError("layout not applied");
        }
        double sixteenSeconds = 0, oneSeconds = 0;
        for (auto _ : state) {
            const double t0 = cpuSeconds();
            for (const Record& r : records)
                sixteen.controller->livePicture({r.bytes, r.header, frame::FrameDecodeOptions{}});
            const double t1 = cpuSeconds();
            for (const Record& r : records)
                one.controller->livePicture({r.bytes, r.header, frame::FrameDecodeOptions{}});
            const double t2 = cpuSeconds();
            sixteenSeconds += t1 - t0;
            oneSeconds += t2 - t1;
        }
        if (sixteen.controller->pictureBuffer(5).reduction != 2 ||
            one.controller->pictureBuffer(5).reduction != 0 || sixteen.screen.draws == 0) {
            state.SkipWithError("pictures not decoded at the pane size");
        }
        const double pictures = double(state.iterations()) * double(records.size());
        state.counters["sixteen_ms"] = sixteenSeconds / pictures * 1e3;
        state.counters["one_ms"] = oneSeconds / pictures * 1e3;
        state.counters["ratio"] = oneSeconds > 0 ? sixteenSeconds / oneSeconds : 0;
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}
BENCHMARK(BM_LiveSixteenPanesVsOnePane)->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace

int main(int argc, char** argv) {
    dvr::frame::tuneHeapForPictureDecoding();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
