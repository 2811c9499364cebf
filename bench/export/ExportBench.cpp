// Export benchmarks, all ratios measured in one run on the same backup file (quad pictures, every one
// carrying channel 0):
//  - speedup: zavtool export's pictures per second with two decoding threads against the decode bound
//    (the same codestreams decoded one after the other on one thread);
//  - pipelineShare: the frame pipeline's cost (crop and scale, stamp, JPEG, AVI write) for those
//    pictures as a share of a single-thread export, in wall-clock and in CPU time (the CPU share holds
//    still on a shared, loaded machine).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <QtGui/QGuiApplication>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/export/AviWriter.h"
#include "common/export/FramePipeline.h"
#include "common/export/render/StampPainter.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/SourceRect.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackThread.h"
#include "player/view/FieldRules.h"
#include "tools/zavgen/BackupGenerator.h"
#include "tools/zavtool/ChannelPass.h"

namespace {

using namespace dvr;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds of the calling thread, or of the whole process: on a shared machine these hold still
// where wall-clock times swing with the other users' load.
double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Record {
    media::BackupHeader header;
    std::array<uint8_t, media::kSubHeaderBytes> subHeader{};
    std::vector<uint8_t> codestream;
};

// Collects the records one forward run delivers that an export decodes, in file order, each once.
class CollectingSink final : public media::PlaybackSink {
public:
    explicit CollectingSink(uint64_t endOffset) : m_endOffset(endOffset) {}
    void drawPicture(const media::DeliveredPicture& p) override {
        if (p.headerOffset >= m_endOffset || (!records.empty() && p.headerOffset <= m_last))
            return;
        m_last = p.headerOffset;
        // Only what the export decodes: a quad's second field never is.
        if (player::FieldRules::dropsUndecoded(p.header->pictureFlags, p.header->layoutCode, p.fieldCode))
            return;
        const auto c = p.codestream();
        records.push_back({*p.header, p.subHeader, {c.begin(), c.end()}});
    }
    void soundBlock(std::span<const uint8_t>, uint8_t, uint16_t, uint32_t) override {}
    void setSlider(int) override {}
    void atStart() override {}
    void atEnd() override { m_end.store(true); }
    void showMessage(std::string_view) override {}
    bool ended() const { return m_end.load(); }
    std::vector<Record> records;

private:
    uint64_t m_endOffset;
    uint64_t m_last = 0;
    std::atomic<bool> m_end{false};
};

struct BenchFile {
    std::string dir;
    std::string path;
    std::vector<Record> records;

    BenchFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dvr-export-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : "/tmp";
        path = dir + "/quad.zav";
        zavgen::GeneratorOptions o;
        o.channelCount = 4;
        o.layout = zavgen::PictureLayout::Quad;
        o.durationSeconds = 300;
        o.groupIntervalSeconds = 1;
        zavgen::GeneratorReport report;
        zavgen::generateBackup(path, o, report);

        struct Quiet final : media::Notifier {
            void showMessage(std::string_view) override {}
        } quiet;
        const media::ScanOutcome scan = media::openAndScan(path, quiet);
        media::PlaybackShared shared;
        media::ManualPlaybackClock clock;
        CollectingSink sink(scan.result.endOffset);
        player::PlayerEngine engine(shared, sink, clock, player::PlayerEngine::Options{.paced = false});
        media::PlaybackThread thread(shared, sink, engine, clock);
        shared.setMode(media::PlayMode::GoToStart);
        thread.start({path, scan.result.channelCount, scan.result.endOffset});
        while (!thread.ended() && shared.mode() != media::PlayMode::Pause)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        shared.setMode(media::PlayMode::Forward);
        while (!thread.ended() && !(sink.ended() && shared.mode() == media::PlayMode::Pause))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        thread.stop();
        records = std::move(sink.records);
    }
    ~BenchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

BenchFile& benchFile() {
    static BenchFile file;
    return file;
}

double exportSeconds(int threads, exporting::Stamper* stamper, int& pictures, double* cpu = nullptr) {
    BenchFile& f = benchFile();
    zavtool::ChannelExportOptions o;
    o.backupPath = f.path;
    o.channel = 0;
    o.aviPath = f.dir + "/out.avi";
    o.decodeThreads = threads;
    o.stamper = stamper;
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto outcome = zavtool::exportChannel(o);
    const double seconds = secondsSince(start);
    if (cpu)
        *cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    pictures = outcome.report.pictures;
    return seconds;
}

void BM_ExportRatios(benchmark::State& state) {
    BenchFile& f = benchFile();
    exporting::StampPainter stamper;
    for (auto _ : state) {
        // The decode bound, after a few decodes that settle the decoder's buffers (the exports below
        // run warm too).
        frame::FrameDecoder decoder;
        for (size_t i = 0; i < std::min<size_t>(f.records.size(), 20); ++i) {
            const Record& r = f.records[i];
            decoder.decodeCodestream(media::frameHeaderOf(r.header, r.subHeader), r.codestream,
                                     uint32_t(r.codestream.size()), media::playerDecodeOptions(r.header));
        }
        auto start = Clock::now();
        for (Record& r : f.records) {
            const auto decoded =
                decoder.decodeCodestream(media::frameHeaderOf(r.header, r.subHeader), r.codestream,
                                         uint32_t(r.codestream.size()), media::playerDecodeOptions(r.header));
            benchmark::DoNotOptimize(decoded.channel);
        }
        const double decodeSeconds = secondsSince(start);

        // The pictures again, kept for the pipeline (outside the timing).
        struct Part {
            std::vector<uint8_t> pixels;
            int width = 0;
            frame::PixelRect rect;
        };
        std::vector<Part> parts;
        for (Record& r : f.records) {
            const auto decoded =
                decoder.decodeCodestream(media::frameHeaderOf(r.header, r.subHeader), r.codestream,
                                         uint32_t(r.codestream.size()), media::playerDecodeOptions(r.header));
            if (!decoded.ok())
                continue;
            const frame::DecodedPicture& p = *decoded.picture;
            parts.push_back({{p.pixels.begin(), p.pixels.begin() + std::ptrdiff_t(p.imageBytes())},
                             p.width,
                             frame::channelSourceRect(r.header.pictureFlags, 0, p.width, p.height)});
        }

        // The pipeline alone over the same pictures: crop and scale, stamp, JPEG, write.
        exporting::FramePipeline pipeline(&stamper);
        exporting::AviWriter writer;
        writer.open(f.dir + "/pipeline.avi", {360, 240, 10, "pipeline.avi"});
        start = Clock::now();
        const double pipelineCpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (size_t i = 0; i < parts.size(); ++i) {
            const Part& part = parts[i];
            const size_t stride = size_t(part.width) * 4;
            const frame::PixelRect& rc = part.rect;
            const exporting::Stamp stamp{{2026, 5, 17, 12, 0, int(i % 60)}, 0, 20};
            const auto jpeg =
                pipeline.encodeFrame({part.pixels.data() + size_t(rc.y) * stride + size_t(rc.x) * 4, rc.width,
                                      rc.height, stride, 4},
                                     360, 240, &stamp);
            writer.writeVideoFrame(jpeg);
        }
        writer.close();
        const double pipelineSeconds = secondsSince(start);
        const double pipelineCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - pipelineCpuStart;

        int pictures1 = 0;
        int pictures2 = 0;
        double export1Cpu = 0;
        const double export1 = exportSeconds(1, &stamper, pictures1, &export1Cpu);
        const double export2 = exportSeconds(2, &stamper, pictures2);

        const double n = double(f.records.size());
        state.counters["pictures"] = double(pictures2);
        state.counters["decodeBoundPerSecond"] = n / decodeSeconds;
        state.counters["export1PerSecond"] = pictures1 / export1;
        state.counters["export2PerSecond"] = pictures2 / export2;
        state.counters["speedup2"] = (pictures2 / export2) / (n / decodeSeconds);  // goal >= 1.7 on 2 cores
        state.counters["pipelineShare"] = pipelineSeconds / export1;               // goal <= 0.15
        state.counters["pipelineCpuShare"] = pipelineCpu / export1Cpu;             // the same in CPU time
        state.counters["pipelineCpuMsPerPicture"] = pipelineCpu * 1000 / double(parts.size());
    }
}
BENCHMARK(BM_ExportRatios)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The stamp draws text with QtGui, which needs an application object; no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
