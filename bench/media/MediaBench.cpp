// Backup media benchmarks, each a ratio against a baseline measured in the same loop:
//  - the opening scan of a 700 MB (sparse) file against that of a 3 MB file: the scan's cost must not
//    grow with the file size;
//  - an unpaced forward pass of the playback reader and engine against a plain sequential read of the
//    same file (no decoding);
//  - the same pass decoding every picture, in pictures per second, against decoding the same
//    codestreams directly (the decode bound).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/frame/FrameDecoder.h"
#include "common/frame/J2kDecoder.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/ByteSource.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackReader.h"
#include "tools/zavgen/BackupGenerator.h"
#include "tools/zavgen/BackupWriter.h"

namespace {

using namespace dvr;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Files made once per run in a temporary folder, removed at exit.
struct BenchFiles {
    std::string dir;
    std::string small, big, pass, pictures;

    BenchFiles() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dvr-media-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : "/tmp";
        small = dir + "/small.zav";
        big = dir + "/big.zav";
        pass = dir + "/pass.zav";
        pictures = dir + "/pictures.zav";
        zavgen::GeneratorReport report;

        zavgen::GeneratorOptions o;
        o.syntheticPictures = false;
        o.codestreamBytes = 6000;
        o.durationSeconds = 120;
        zavgen::generateBackup(small, o, report);
        writeSparse();

        o.codestreamBytes = 12000;
        o.durationSeconds = 240;
        o.groupIntervalSeconds = 2;
        zavgen::generateBackup(pass, o, report);

        zavgen::GeneratorOptions p;
        p.durationSeconds = 60;
        p.groupIntervalSeconds = 2;
        zavgen::generateBackup(pictures, p, report);
    }
    ~BenchFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Over 700 MB: records at the start, a hole, then records at the end.
    void writeSparse() {
        zavgen::BackupWriter writer;
        writer.open(big);
        const auto codestream = zavgen::placeholderCodestream(6000, 1);
        zavgen::BackupRecord shape;
        shape.codestream = codestream;
        shape.groupWord = 16;
        for (int i = 0; i < 256; ++i) {
            shape.channel = uint32_t(i % 16);
            shape.time = zavgen::addSeconds({30, 5, 17, 12, 0, 0}, i / 16);
            writer.writeRecord(shape);
        }
        writer.skip(700ull * 1000 * 1000 - writer.offset());
        for (int i = 0; i < 256; ++i) {
            shape.channel = uint32_t(i % 16);
            shape.time = zavgen::addSeconds({30, 5, 17, 18, 0, 0}, i / 16);
            writer.writeRecord(shape);
        }
        writer.close();
    }
};

BenchFiles& files() {
    static BenchFiles f;
    return f;
}

struct Quiet final : media::Notifier {
    void showMessage(std::string_view) override {}
};

void BM_ScanBigAgainstSmall(benchmark::State& state) {
    auto& f = files();
    Quiet quiet;
    double small = 0, big = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(media::openAndScan(f.small, quiet).ok());
        small += secondsSince(start);
        start = Clock::now();
        const auto outcome = media::openAndScan(f.big, quiet);
        big += secondsSince(start);
        if (!outcome.ok() || outcome.result.fileSize < 700'000'000)
            state.SkipWithError("the sparse file did not scan");
    }
    state.counters["small_us"] = small / double(state.iterations()) * 1e6;
    state.counters["big_us"] = big / double(state.iterations()) * 1e6;
    state.counters["ratio"] = small > 0 ? big / small : 0;
}
BENCHMARK(BM_ScanBigAgainstSmall)->Unit(benchmark::kMicrosecond);

// Pictures the pass delivers, decoded or not.
class PassSink final : public media::PlaybackSink {
public:
    explicit PassSink(bool decode) : m_decode(decode) {}
    void drawPicture(const media::DeliveredPicture& picture) override {
        ++pictures;
        if (m_decode)
            decoded += media::decodeDeliveredPicture(m_decoder, picture).ok();
        if (keep)
            codestreams.emplace_back(picture.codestream().begin(), picture.codestream().end());
    }
    void soundBlock(std::span<const uint8_t>, uint8_t, uint16_t, uint32_t) override {}
    void setSlider(int) override {}
    void atStart() override {}
    void atEnd() override {}
    void showMessage(std::string_view) override {}

    int pictures = 0;
    int decoded = 0;
    bool keep = false;
    std::vector<std::vector<uint8_t>> codestreams;

private:
    bool m_decode;
    frame::FrameDecoder m_decoder;
};

// From the start of the file to the pause after its end, on the calling thread.
void forwardPass(const std::string& path, PassSink& sink) {
    Quiet quiet;
    const auto scan = media::openAndScan(path, quiet);
    media::PlaybackShared shared;
    media::ManualPlaybackClock clock;
    player::PlayerEngine engine(shared, sink, clock, {.paced = false});
    media::PlaybackReader reader(shared, sink, engine, clock);
    reader.start(media::FileByteSource::open(path), scan.result.endOffset);
    shared.setMode(media::PlayMode::Forward);
    while (reader.step() && shared.mode() != media::PlayMode::Pause) {
    }
}

void BM_ForwardPassAgainstSequentialRead(benchmark::State& state) {
    auto& f = files();
    std::vector<uint8_t> chunk(65536);
    double pass = 0, read = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        PassSink sink(false);
        forwardPass(f.pass, sink);
        pass += secondsSince(start);

        start = Clock::now();
        const auto source = media::FileByteSource::open(f.pass);
        uint64_t offset = 0;
        while (const size_t got = source->readAt(offset, chunk))
            offset += got;
        read += secondsSince(start);
        bytes = offset;
        benchmark::DoNotOptimize(sink.pictures);
    }
    state.counters["pass_ms"] = pass / double(state.iterations()) * 1e3;
    state.counters["read_ms"] = read / double(state.iterations()) * 1e3;
    state.counters["MB"] = double(bytes) / 1e6;
    state.counters["ratio"] = read > 0 ? pass / read : 0;
}
BENCHMARK(BM_ForwardPassAgainstSequentialRead)->Unit(benchmark::kMillisecond);

void BM_DecodingPassAgainstDecodeBound(benchmark::State& state) {
    auto& f = files();
    // The codestreams the pass delivers, decoded directly for the bound.
    PassSink collect(false);
    collect.keep = true;
    forwardPass(f.pictures, collect);
    frame::J2kDecoder decoder;
    frame::DecodedPicture picture;
    double pass = 0, bound = 0;
    int passPictures = 0, boundPictures = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        PassSink sink(true);
        forwardPass(f.pictures, sink);
        pass += secondsSince(start);
        passPictures += sink.decoded;

        start = Clock::now();
        for (const auto& codestream : collect.codestreams)
            boundPictures += decoder.decode(codestream, picture);
        bound += secondsSince(start);
    }
    const double passRate = pass > 0 ? passPictures / pass : 0;
    const double boundRate = bound > 0 ? boundPictures / bound : 0;
    state.counters["pictures_per_s"] = passRate;
    state.counters["bound_pictures_per_s"] = boundRate;
    state.counters["ratio"] = boundRate > 0 ? passRate / boundRate : 0;
}
BENCHMARK(BM_DecodingPassAgainstDecodeBound)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
