// Evidence benchmarks, each ratio measured in one run:
//  - manifestShare: the manifest's own work in a zavtool export (hashing the backup file, recording
//    every frame, hashing the AVI file, writing the manifest) as a share of the whole export;
//  - verifyRatio: zavtool verify's throughput (file hash, frame hashes and chain) against sha256sum
//    of the same file;
//  - sourceRatio: verify --source (the above, the backup file's hash and every frame's source picture
//    hashed again) against sha256sum of both files.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/evidence/AviReader.h"
#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/Verify.h"
#include "common/export/AviWriter.h"
#include "tools/zavgen/BackupGenerator.h"
#include "tools/zavtool/ChannelPass.h"
#include "tools/zavtool/ExportEvidence.h"

namespace {

using namespace dvr;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct ScratchFolder {
    std::string dir;
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dvr-evidence-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : "/tmp";
        // The manifest must not be signed with a key of the user running the benchmark.
        ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

// The manifest's work in an export: hashing the backup file, hashing every frame and chaining its entry
// and hashing the AVI file and writing the manifest (both timed again after the export, as the export
// does them); its share of the whole export.
void BM_ManifestShareOfExport(benchmark::State& state) {
    ScratchFolder scratch;
    const std::string backup = scratch.dir + "/quad.zav";
    zavgen::GeneratorOptions g;
    g.channelCount = 4;
    g.layout = zavgen::PictureLayout::Quad;
    g.durationSeconds = 120;
    g.groupIntervalSeconds = 1;
    zavgen::GeneratorReport report;
    zavgen::generateBackup(backup, g, report);
    for (auto _ : state) {
        zavtool::ChannelExportOptions o;
        o.backupPath = backup;
        o.channel = 0;
        o.aviPath = scratch.dir + "/out.avi";
        o.decodeThreads = 2;
        const auto start = Clock::now();
        auto part = Clock::now();
        evidence::ManifestBuilder builder = evidence::ManifestBuilder::fromBackup("bench", backup, 0);
        double manifestSeconds = secondsSince(part);
        o.manifest = &builder;
        const auto outcome = zavtool::exportChannel(o);  // writes the manifest at its end
        const double total = secondsSince(start);
        // That write (the AVI file's hash, the text, the rename) timed again.
        part = Clock::now();
        const auto written = builder.write(o.aviPath);
        manifestSeconds += secondsSince(part);
        if (!outcome.ok || !written.ok) {
            state.SkipWithError("export failed");
            return;
        }
        // The frames' share, done again: each frame's hash and its chain entry.
        std::ifstream in(o.aviPath, std::ios::binary);
        const std::vector<uint8_t> avi((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
        const auto frames = evidence::readAviFrames(avi);
        part = Clock::now();
        evidence::ManifestBuilder again("bench");
        if (frames.frames)
            for (const auto& f : frames.frames->frames)
                again.addFrame("2026-05-17 12:00:00", 0, std::span(avi).subspan(f.offsetBytes, f.sizeBytes),
                               evidence::Digest{});
        manifestSeconds += secondsSince(part);
        state.counters["frames"] = double(outcome.report.frames);
        state.counters["exportSeconds"] = total;
        state.counters["manifestSeconds"] = manifestSeconds;
        state.counters["manifestShare"] = manifestSeconds / total;
    }
}
BENCHMARK(BM_ManifestShareOfExport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VerifyAgainstSha256sum(benchmark::State& state) {
    ScratchFolder scratch;
    const std::string avi = scratch.dir + "/big.avi";
    // 256 MiB of frames the size of 720x480 export pictures.
    std::mt19937 random(7);
    std::vector<uint8_t> frame(64 * 1024);
    exporting::AviWriter writer;
    writer.open(avi, {720, 480, 10, "big.avi"});
    auto builder = evidence::ManifestBuilder::fromBackup("bench", avi, 0);  // any readable file
    for (int i = 0; i < 4096; ++i) {
        for (auto& b : frame)
            b = uint8_t(random());
        writer.writeVideoFrame(frame);
        builder.addFrame("2026-05-17 12:00:00", i, frame);
    }
    writer.close();
    builder.write(avi);
    const double megabytes = double(std::filesystem::file_size(avi)) / 1e6;
    for (auto _ : state) {
        // Both read the file from the page cache: a first pass warms it.
        std::system(("sha256sum '" + avi + "' >/dev/null").c_str());
        auto start = Clock::now();
        const int status = std::system(("sha256sum '" + avi + "' >/dev/null").c_str());
        const double sumSeconds = secondsSince(start);
        start = Clock::now();
        evidence::VerifyOptions o;
        o.filePath = avi;
        const auto outcome = evidence::verifyExport(o);
        const double verifySeconds = secondsSince(start);
        if (status != 0 || outcome.status != evidence::VerifyStatus::Ok) {
            state.SkipWithError(("verify failed: " + outcome.message).c_str());
            return;
        }
        state.counters["megabytes"] = megabytes;
        state.counters["verifyMBps"] = megabytes / verifySeconds;
        state.counters["sha256sumMBps"] = megabytes / sumSeconds;
        state.counters["verifyRatio"] = sumSeconds / verifySeconds;
    }
}
BENCHMARK(BM_VerifyAgainstSha256sum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VerifySourceAgainstSha256sum(benchmark::State& state) {
    ScratchFolder scratch;
    const std::string backup = scratch.dir + "/quad.zav";
    zavgen::GeneratorOptions g;
    g.channelCount = 4;
    g.layout = zavgen::PictureLayout::Quad;
    g.durationSeconds = 300;
    g.groupIntervalSeconds = 1;
    zavgen::GeneratorReport report;
    zavgen::generateBackup(backup, g, report);
    zavtool::ChannelExportOptions o;
    o.backupPath = backup;
    o.channel = 0;
    o.aviPath = scratch.dir + "/out.avi";
    o.decodeThreads = 2;
    evidence::ManifestBuilder builder = evidence::ManifestBuilder::fromBackup("bench", backup, 0);
    o.manifest = &builder;
    if (!zavtool::exportChannel(o).ok) {
        state.SkipWithError("export failed");
        return;
    }
    const double megabytes =
        double(std::filesystem::file_size(backup) + std::filesystem::file_size(o.aviPath)) / 1e6;
    const std::string both = "sha256sum '" + backup + "' '" + o.aviPath + "' >/dev/null";
    for (auto _ : state) {
        std::system(both.c_str());  // both from the page cache
        auto start = Clock::now();
        const int status = std::system(both.c_str());
        const double sumSeconds = secondsSince(start);
        start = Clock::now();
        evidence::VerifyOptions v;
        v.filePath = o.aviPath;
        v.sourcePath = backup;
        zavtool::BackupRecordCheck records(backup);
        v.sourceRecords = &records;
        const auto outcome = evidence::verifyExport(v);
        const double verifySeconds = secondsSince(start);
        if (status != 0 || outcome.status != evidence::VerifyStatus::Ok) {
            state.SkipWithError(("verify --source failed: " + outcome.message).c_str());
            return;
        }
        state.counters["megabytes"] = megabytes;
        state.counters["frames"] = double(outcome.manifest->frames.size());
        state.counters["sourceRatio"] = sumSeconds / verifySeconds;
    }
}
BENCHMARK(BM_VerifySourceAgainstSha256sum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
