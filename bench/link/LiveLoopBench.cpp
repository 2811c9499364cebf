// Live-loop throughput over loopback against the decode-only bound: 16
// channels of 720x240 pictures from the recorder simulator, the same records
// decoded directly. LiveLoopVsDecode reports the live rate as a share of the
// decode rate measured in the same run ("vs_decode", goal >= 0.9).
#include "common/frame/FrameDecoder.h"
#include "common/frame/MallocTuning.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace dvr;
using Clock = std::chrono::steady_clock;

sim::SimOptions benchOptions() {
    sim::SimOptions o;
    o.channelCode = 16;
    o.layoutCode = 0x10016;
    o.pictures = sim::PictureMix::Full;
    o.videoStandard = frame::kSixtyFieldStandard;  // 720 x 240
    return o;
}

sim::SimOptions& options() {
    static sim::SimOptions o = benchOptions();
    return o;
}

sim::RecordSource& records() {
    static sim::RecordSource source(options());
    return source;
}

std::vector<std::shared_ptr<const std::vector<uint8_t>>> allRecords() {
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> out;
    for (int c = 0; c < 16; ++c)
        out.push_back(records().record(frame::PictureKind::Single, c));
    return out;
}

void DecodeOnly(benchmark::State& state) {
    const auto recs = allRecords();
    frame::FrameDecoder decoder;
    frame::FrameDecodeOptions opts;
    opts.channelCount = 16;
    size_t i = 0;
    int64_t pictures = 0;
    for (auto _ : state) {
        const auto result = decoder.decodeRecord(*recs[i++ % recs.size()], opts);
        if (!result.ok()) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(result.channel);
        ++pictures;
    }
    state.SetItemsProcessed(pictures);
}

class CountingHost : public link::LiveHost {
public:
    // Decodes each live picture as the view does, and counts those decoded.
    void livePicture(const frame::PictureRecord& record) override {
        if (decoder.decode(record).ok())
            ++pictures;
    }
    frame::FrameDecoder decoder;
    void runViewDisconnect(link::DisconnectReason) override { failed = true; }
    int64_t pictures = 0;
    bool failed = false;
};

// A live session against an in-process simulator, logged in and settled.
struct LiveRig {
    sim::RecorderSimulator simulator{options()};
    link::RecorderSocket socket;
    CountingHost host;
    link::SteadyClock clock;
    link::RecorderSession session{host};
    link::SessionDriver driver{session, socket, clock};
    link::SessionPoller poller{driver, socket};
    std::string error;

    bool start() {
        for (int c = 0; c < 16; ++c)
            simulator.records().record(frame::PictureKind::Single, c);
        if (!simulator.listen(error))
            return false;
        simulator.start();
        session.live().setDisplayedChannelMask(0xFFFF);
        session.live().setRequestSpeed(8);
        if (!driver.connect("127.0.0.1", simulator.port())) {
            error = "connect failed";
            return false;
        }
        // Log in and let the picture format settle.
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (host.pictures < 16 && !host.failed && Clock::now() < deadline)
            poller.pollOnce(100);
        if (host.pictures < 16)
            error = "no live pictures";
        return host.pictures >= 16;
    }
    // Pulls n more live pictures; false when the connection is lost.
    bool pull(int64_t n) {
        const int64_t target = host.pictures + n;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (host.pictures < target) {
            if (host.failed || !session.wantsRead() || Clock::now() > deadline)
                return false;
            poller.pollOnce(1000);
        }
        return true;
    }
    ~LiveRig() {
        session.disconnect();
        simulator.stop();
    }
};

void LiveLoop(benchmark::State& state) {
    LiveRig rig;
    if (!rig.start()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    int64_t pictures = 0;
    for (auto _ : state) {
        if (!rig.pull(1)) {
            state.SkipWithError("connection lost");
            break;
        }
        ++pictures;
    }
    state.SetItemsProcessed(pictures);
}

// Decode-only and live-loop slices of 16 pictures taken in turn, so that both
// see the same machine load; vs_decode = live rate / decode rate.
void LiveLoopVsDecode(benchmark::State& state) {
    LiveRig rig;
    if (!rig.start()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    const auto recs = allRecords();
    frame::FrameDecoder decoder;
    frame::FrameDecodeOptions opts;
    opts.channelCount = 16;
    double decodeSeconds = 0;
    double liveSeconds = 0;
    int64_t slices = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (const auto& r : recs) {
            const auto result = decoder.decodeRecord(*r, opts);
            benchmark::DoNotOptimize(result.channel);
        }
        auto t1 = Clock::now();
        if (!rig.pull(static_cast<int64_t>(recs.size()))) {
            state.SkipWithError("connection lost");
            break;
        }
        auto t2 = Clock::now();
        decodeSeconds += std::chrono::duration<double>(t1 - t0).count();
        liveSeconds += std::chrono::duration<double>(t2 - t1).count();
        ++slices;
    }
    const double pictures = static_cast<double>(slices) * 16;
    if (decodeSeconds > 0 && liveSeconds > 0) {
        const double decodeRate = pictures / decodeSeconds;
        const double liveRate = pictures / liveSeconds;
        state.counters["decode_pps"] = decodeRate;
        state.counters["live_pps"] = liveRate;
        state.counters["vs_decode"] = liveRate / decodeRate;
    }
}

BENCHMARK(DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(LiveLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(LiveLoopVsDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    frame::tuneHeapForPictureDecoding();
    records().prewarm();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
