// framedemo OUTDIR: synthesises one frame record per picture kind, decodes it through the common
// per-record path, prints the channel, format text and decode time of each picture, and writes the whole
// picture and each carried channel as JPEG files into OUTDIR.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/frame/FormatText.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/MallocTuning.h"
#include "common/frame/SourceRect.h"
#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

constexpr const char* kUsage =
    "usage: framedemo [--help] OUTDIR\n"
    "Synthesises one frame record per picture kind (single, pair, quad, full height), decodes it,\n"
    "prints channel, picture-format text and decode time, and writes JPEG files into OUTDIR.\n";

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n')
            c = '|';
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    tuneHeapForPictureDecoding();

    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "framedemo: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }

    struct Demo {
        const char* name;
        PictureKind kind;
        int channel;
        int height;
        uint32_t layoutCode;
        uint32_t standard;
        int quality;
    };
    const Demo demos[] = {
        {"single", PictureKind::Single, 5, 240, 0x20016, kSixtyFieldStandard, 3},
        {"pair", PictureKind::Pair, 10, 288, 0x10016, kFiftyFieldStandard, 1},
        {"quad", PictureKind::Quad, 4, 240, 0x30008, kSixtyFieldStandard, 4},
        {"full-height", PictureKind::FullHeight, 2, 480, 0x20004, kSixtyFieldStandard, 2},
    };

    FrameDecoder decoder;
    FormatText format(FormatTextStyle::Live);
    const bool tty = isatty(fileno(stderr));
    for (const Demo& d : demos) {
        if (tty)
            std::fprintf(stderr, "framedemo: encoding %s picture...\r", d.name);
        const PictureShape shape{d.kind, d.channel, channelCapacity(d.layoutCode), d.height};
        const std::vector<uint8_t> codestream =
            encodeJ2k(drawPicture(shape), defaultCodestreamBytes(d.height));
        if (codestream.empty()) {
            std::fprintf(stderr, "framedemo: cannot encode the %s picture\n", d.name);
            return 1;
        }
        RecordHeaderFields r;
        r.layoutCode = d.layoutCode;
        r.pictureFlags = pictureFlagsFor(d.kind, d.quality);
        r.videoStandard = d.standard;
        r.channel = uint32_t(codedChannel(shape));
        const std::vector<uint8_t> record = buildWireRecord(makeHeader(r, codestream.size()), codestream);

        FrameDecodeOptions options;
        options.method = viewerMethod(layoutFamily(d.layoutCode));
        options.channelCount = channelCapacity(d.layoutCode);
        const auto start = std::chrono::steady_clock::now();
        const DecodedFrame frame = decoder.decodeRecord(record, options);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!frame.ok()) {
            std::fprintf(stderr, "framedemo: the %s record gave no picture (status %d)\n", d.name,
                         int(frame.status));
            return 1;
        }
        format.update(frame.header.pictureFlags, frame.header.videoStandard);

        const DecodedPicture& picture = *frame.picture;
        const std::string whole = (dir / (std::string(d.name) + ".jpg")).string();
        if (!writeJpegFile(whole, picture, {0, 0, picture.width, picture.height}, 85)) {
            std::fprintf(stderr, "framedemo: cannot write %s\n", whole.c_str());
            return 1;
        }
        std::printf("%-12s %dx%d  %6zu bytes  channel %2d  \"%s\"  decoded in %.1f ms  -> %s\n", d.name,
                    picture.width, picture.height, codestream.size(), frame.channel,
                    oneLine(format.text()).c_str(), ms, whole.c_str());

        const uint32_t flags = frame.header.pictureFlags;
        const int carried = channelsPerPicture(flags);
        for (int i = 0; carried > 1 && i < carried; ++i) {
            const int channel = baseChannel(frame.channel, flags) + i;
            const PixelRect rect = channelSourceRect(flags, channel, picture.width, picture.height);
            const std::string part =
                (dir / (std::string(d.name) + "-ch" + std::to_string(channel) + ".jpg")).string();
            if (!writeJpegFile(part, picture, rect, 85)) {
                std::fprintf(stderr, "framedemo: cannot write %s\n", part.c_str());
                return 1;
            }
            std::printf("%-12s   channel %2d at %d,%d %dx%d  -> %s\n", "", channel, rect.x, rect.y,
                        rect.width, rect.height, part.c_str());
        }
    }
    return 0;
}
