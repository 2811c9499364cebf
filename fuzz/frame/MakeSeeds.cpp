// Writes the seed corpus of fuzz_frame_record: small synthesised frame records of every picture kind and
// both channel methods, plus a few records that give no picture.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(argc == 2 ? stdout : stderr, "usage: fuzz_frame_record_seeds OUTDIR\n");
        return argc == 2 ? 0 : 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "fuzz_frame_record_seeds: cannot create %s\n", dir.c_str());
        return 1;
    }

    int written = 0;
    const auto emit = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        if (!writeFile(dir / name, bytes)) {
            std::fprintf(stderr, "fuzz_frame_record_seeds: cannot write %s\n", name.c_str());
            std::exit(1);
        }
        ++written;
    };

    // Full-width pictures at a few KB: every kind, line-code and patch-code families.
    const struct {
        PictureKind kind;
        int height;
        uint32_t layout;
        int channel;
    } full[] = {
        {PictureKind::Single, 240, 0x20016, 5},
        {PictureKind::Pair, 288, 0x10008, 3},
        {PictureKind::Quad, 240, 0x30016, 13},
        {PictureKind::FullHeight, 480, 0x20004, 2},
    };
    for (const auto& f : full) {
        const Picture p = drawPicture({f.kind, f.channel, channelCapacity(f.layout), f.height});
        const auto cs = encodeJ2k(p, 3000);
        RecordHeaderFields r;
        r.layoutCode = f.layout;
        r.pictureFlags = pictureFlagsFor(f.kind, 2);
        r.videoStandard = f.height % 288 == 0 ? kFiftyFieldStandard : kSixtyFieldStandard;
        r.channel = uint32_t(codedChannel({f.kind, f.channel, 16, f.height}));
        emit("full-" + std::to_string(f.height) + "-" + std::to_string(int(f.kind)),
             buildWireRecord(makeHeader(r, cs.size()), cs));
    }

    // Small pictures decode fast, so the fuzzer spends its time in the parsers.
    for (int channel : {0, 9}) {
        Picture p;
        p.width = 48;
        p.height = 32;
        p.pixels.assign(size_t(p.width) * p.height * 4, 0);
        drawChannelFace(p, {0, 0, p.width, p.height}, channel);
        const auto cs = encodeJ2k(p, 600);
        RecordHeaderFields r;
        r.marker = channel ? kMarkerPictureB : kMarkerPictureA;
        r.channel = uint32_t(channel);
        emit("small-" + std::to_string(channel), buildWireRecord(makeHeader(r, cs.size()), cs));
    }

    // No picture: another marker, and a header alone.
    RecordHeaderFields none;
    none.marker = 0xFFFFFFF0;
    emit("no-picture", buildWireRecord(makeHeader(none, 0), {}));

    std::printf("fuzz_frame_record_seeds: %d seeds in %s\n", written, dir.c_str());
    return 0;
}
