// Measures the whole per-picture path (byte-order turn, end-marker search, decode into BGRX, channel read)
// against OpenJPEG's raw decode of the same codestreams, and the JPEG encoder helper against tjCompress2
// called directly. The paired benchmarks alternate both sides in one loop and report their ratio.
#include <benchmark/benchmark.h>
#include <openjpeg.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/frame/FrameDecoder.h"
#include "common/frame/J2kDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/MallocTuning.h"
#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

// Each side is timed in CPU time of this thread, so that other work on a shared machine does not land on
// one side of a ratio.
struct Clock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    }
};

struct Sample {
    std::vector<uint8_t> codestream;
    std::vector<uint8_t> record;
};

const Sample& sampleFor(int height) {
    static CodestreamCache cache;
    static std::map<int, Sample> samples;
    auto it = samples.find(height);
    if (it == samples.end()) {
        const PictureShape shape{height > 288 ? PictureKind::FullHeight : PictureKind::Single, 5, 16, height};
        Sample s;
        s.codestream = *cache.get(shape, defaultCodestreamBytes(height));
        RecordHeaderFields r;
        r.pictureFlags = pictureFlagsFor(shape.kind, 3);
        r.videoStandard = height % 288 == 0 ? 0 : kSixtyFieldStandard;
        s.record = buildWireRecord(makeHeader(r, s.codestream.size()), s.codestream);
        it = samples.emplace(height, std::move(s)).first;
    }
    return it->second;
}

// OpenJPEG alone: codestream from memory to its int32 planes.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

OPJ_SIZE_T readFn(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* r = static_cast<Reader*>(user);
    const size_t left = r->size - r->position;
    if (left == 0)
        return OPJ_SIZE_T(-1);
    const size_t n = std::min<size_t>(bytes, left);
    std::memcpy(buffer, r->data + r->position, n);
    r->position += n;
    return n;
}

OPJ_OFF_T skipFn(OPJ_OFF_T bytes, void* user) {
    auto* r = static_cast<Reader*>(user);
    const size_t n = std::min<size_t>(size_t(bytes), r->size - r->position);
    r->position += n;
    return OPJ_OFF_T(n);
}

OPJ_BOOL seekFn(OPJ_OFF_T position, void* user) {
    auto* r = static_cast<Reader*>(user);
    if (size_t(position) > r->size)
        return OPJ_FALSE;
    r->position = size_t(position);
    return OPJ_TRUE;
}

bool rawDecode(const std::vector<uint8_t>& cs) {
    Reader reader{cs.data(), cs.size(), 0};
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
    opj_dparameters_t p;
    opj_set_default_decoder_parameters(&p);
    opj_setup_decoder(codec, &p);
    opj_stream_t* stream = opj_stream_create(64 * 1024, OPJ_TRUE);
    opj_stream_set_user_data(stream, &reader, nullptr);
    opj_stream_set_user_data_length(stream, cs.size());
    opj_stream_set_read_function(stream, readFn);
    opj_stream_set_skip_function(stream, skipFn);
    opj_stream_set_seek_function(stream, seekFn);
    opj_image_t* image = nullptr;
    bool ok = opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) &&
              opj_end_decompress(codec, stream);
    benchmark::DoNotOptimize(image->comps[0].data[0]);
    opj_image_destroy(image);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    return ok;
}

double secondsOf(double start, double end) {
    return end - start;
}

void BM_DecodePathVsRaw(benchmark::State& state) {
    const Sample& s = sampleFor(int(state.range(0)));
    FrameDecoder decoder;
    FrameDecodeOptions options;
    options.method = ChannelMethod::LineCode;
    double path = 0, raw = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const DecodedFrame f = decoder.decodeRecord(s.record, options);
        const auto t1 = Clock::now();
        const bool ok = rawDecode(s.codestream);
        const auto t2 = Clock::now();
        if (!f.ok() || f.channel != 5 || !ok) {
            state.SkipWithError("decode failed");
            break;
        }
        path += secondsOf(t0, t1);
        raw += secondsOf(t1, t2);
    }
    const double n = double(state.iterations());
    state.counters["path_ms"] = path / n * 1e3;
    state.counters["raw_ms"] = raw / n * 1e3;
    state.counters["ratio"] = raw > 0 ? path / raw : 0;
    state.counters["bytes"] = double(s.codestream.size());
}
BENCHMARK(BM_DecodePathVsRaw)->Arg(240)->Arg(288)->Arg(480)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The recorder's picture kinds decoded at full size and one and two levels below it (the 9- and 16-pane
// sizes), alternating in one loop: ratio_r1 and ratio_r2 are the reduced decode times over the full one.
void BM_ReducedVsFullDecode(benchmark::State& state) {
    static CodestreamCache cache;
    const auto kind = PictureKind(state.range(0));
    const int height = int(state.range(1));
    const PictureShape shape{kind, 4, 16, height};
    const auto codestream = cache.get(shape, defaultCodestreamBytes(height));
    J2kDecoder decoder;
    DecodedPicture picture;
    double full = 0, r1 = 0, r2 = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool a = decoder.decode(*codestream, picture);
        const auto t1 = Clock::now();
        const bool b = decoder.decodeReduced(*codestream, picture, 1);
        const auto t2 = Clock::now();
        const bool c = decoder.decodeReduced(*codestream, picture, 2);
        const auto t3 = Clock::now();
        if (!a || !b || !c || picture.reduction != 2) {
            state.SkipWithError("decode failed");
            break;
        }
        full += secondsOf(t0, t1);
        r1 += secondsOf(t1, t2);
        r2 += secondsOf(t2, t3);
    }
    const double n = double(state.iterations());
    state.counters["full_ms"] = full / n * 1e3;
    state.counters["ratio_r1"] = full > 0 ? r1 / full : 0;
    state.counters["ratio_r2"] = full > 0 ? r2 / full : 0;
}
BENCHMARK(BM_ReducedVsFullDecode)
    ->ArgNames({"kind", "height"})
    ->Args({int(PictureKind::Single), 240})
    ->Args({int(PictureKind::Single), 288})
    ->Args({int(PictureKind::FullHeight), 480})
    ->Args({int(PictureKind::Pair), 240})
    ->Args({int(PictureKind::Quad), 240})
    ->Args({int(PictureKind::Quad), 480})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

void BM_JpegHelperVsDirect(benchmark::State& state) {
    const Picture picture = drawPicture({PictureKind::FullHeight, 3, 16, 480});
    JpegEncoder encoder;
    tjhandle handle = tjInitCompress();
    std::vector<uint8_t> out(tjBufSize(720, 480, TJSAMP_420));
    double helper = 0, direct = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const auto jpeg = encoder.encode(picture.pixels.data(), 720, 480, 4, 70);
        const auto t1 = Clock::now();
        unsigned char* buf = out.data();
        unsigned long size = out.size();
        const int rc = tjCompress2(handle, picture.pixels.data(), 720, 0, 480, TJPF_BGRX, &buf, &size,
                                   TJSAMP_420, 70, TJFLAG_NOREALLOC);
        const auto t2 = Clock::now();
        if (jpeg.empty() || rc != 0) {
            state.SkipWithError("encode failed");
            break;
        }
        helper += secondsOf(t0, t1);
        direct += secondsOf(t1, t2);
    }
    tjDestroy(handle);
    const double n = double(state.iterations());
    state.counters["helper_ms"] = helper / n * 1e3;
    state.counters["direct_ms"] = direct / n * 1e3;
    state.counters["ratio"] = direct > 0 ? helper / direct : 0;
}
BENCHMARK(BM_JpegHelperVsDirect)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The free function creates its encoder per call, as a one-off snapshot does.
void BM_JpegFreeFunction(benchmark::State& state) {
    const Picture picture = drawPicture({PictureKind::FullHeight, 3, 16, 480});
    std::vector<uint8_t> out(2 * 1024 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJpeg(picture.pixels.data(), 720, 480, 4, out.data(), out.size(), 70));
}
BENCHMARK(BM_JpegFreeFunction)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // DVR_BENCH_DEFAULT_HEAP=1 measures with glibc's default heap settings instead.
    const char* defaultHeap = std::getenv("DVR_BENCH_DEFAULT_HEAP");
    if (!defaultHeap || std::string(defaultHeap) != "1")
        tuneHeapForPictureDecoding();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
