// The pure parts of an export: scaling, the pipeline around the stamper, the log, times and pacing.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <fstream>
#include <sstream>

#include "common/export/ExportLog.h"
#include "common/export/FramePipeline.h"
#include "common/export/RealTimePacer.h"
#include "common/frame/DateTime.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr::exporting;
using dvr::DateTime;

// A B, G, R, X picture filled by f(x, y) -> 0xRRGGBB.
template <typename F>
std::vector<uint8_t> bgrx(int width, int height, F f) {
    std::vector<uint8_t> p(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = f(x, y);
            uint8_t* d = &p[(size_t(y) * size_t(width) + size_t(x)) * 4];
            d[0] = uint8_t(c);
            d[1] = uint8_t(c >> 8);
            d[2] = uint8_t(c >> 16);
            d[3] = 255;
        }
    return p;
}

uint32_t rgbAt(const std::vector<uint8_t>& bgr, int width, int x, int y) {
    const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return uint32_t(bgr[i + 2]) << 16 | uint32_t(bgr[i + 1]) << 8 | bgr[i];
}

TEST(Scaler, KeepsEqualSizesFlatAreasAndAveragesWhenShrinking) {
    Scaler scaler;
    std::vector<uint8_t> out;
    // Equal sizes: every pixel exactly, from a rectangle inside a wider picture.
    const auto noise =
        bgrx(8, 4, [](int x, int y) { return uint32_t(x * 37 + y * 91) * 0x010203u & 0xFFFFFF; });
    scaler.scale({noise.data() + 4 * 2, 5, 4, 8 * 4, 4}, 5, 4, out);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(rgbAt(out, 5, x, y), uint32_t((x + 2) * 37 + y * 91) * 0x010203u & 0xFFFFFF);

    // A flat colour stays exactly flat, shrunk, enlarged or stretched one way only.
    const auto flat = bgrx(720, 480, [](int, int) { return 0x4080C0u; });
    for (const auto& [w, h] :
         {std::pair{360, 240}, std::pair{720, 480 * 2 / 3}, std::pair{1000, 700}, std::pair{7, 3}}) {
        scaler.scale({flat.data(), 720, 480, 720 * 4, 4}, w, h, out);
        for (int y = 0; y < h; y += 1 + h / 17)
            for (int x = 0; x < w; x += 1 + w / 13)
                ASSERT_EQ(rgbAt(out, w, x, y), 0x4080C0u) << w << "x" << h << " at " << x << "," << y;
    }

    // Halving 2x2 blocks of two shades gives each block's shade; a sharp edge stays where it was.
    const auto blocks =
        bgrx(8, 8, [](int x, int y) { return ((x / 2 + y / 2) % 2) ? 0xC8C8C8u : 0x282828u; });
    scaler.scale({blocks.data(), 8, 8, 8 * 4, 4}, 4, 4, out);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint32_t expected = ((x + y) % 2) ? 0xC8C8C8u : 0x282828u;
            EXPECT_EQ(rgbAt(out, 4, x, y), expected) << x << "," << y;
        }
    const auto halves = bgrx(720, 240, [](int x, int) { return x < 360 ? 0xFF0000u : 0x0000FFu; });
    scaler.scale({halves.data(), 720, 240, 720 * 4, 4}, 360, 120, out);
    EXPECT_EQ(rgbAt(out, 0, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgbAt(out, 360, 170, 60), 0xFF0000u);
    EXPECT_EQ(rgbAt(out, 360, 190, 60), 0x0000FFu);
    EXPECT_EQ(rgbAt(out, 360, 359, 119), 0x0000FFu);
}

// A stamper that paints its whole text line white and remembers what it was asked to draw.
class FakeStamper final : public Stamper {
public:
    void draw(uint8_t* bgr, int width, int height, size_t stride, const Stamp& stamp) override {
        last = stamp;
        ++calls;
        for (int y = height - stamp.textHeightPx; y < height; ++y)
            std::fill_n(bgr + size_t(y) * stride, size_t(width) * 3, 255);
    }
    Stamp last;
    int calls = 0;
};

// Decodes a JPEG to B, G, R pixels; empty when it is not one.
std::vector<uint8_t> decodeJpeg(std::span<const uint8_t> jpeg, int& width, int& height) {
    tjhandle h = tjInitDecompress();
    int sub = 0, space = 0;
    std::vector<uint8_t> out;
    if (tjDecompressHeader3(h, jpeg.data(), (unsigned long)jpeg.size(), &width, &height, &sub, &space) == 0) {
        out.resize(size_t(width) * size_t(height) * 3);
        if (tjDecompress2(h, jpeg.data(), (unsigned long)jpeg.size(), out.data(), width, 0, height, TJPF_BGR,
                          0) != 0)
            out.clear();
    }
    tjDestroy(h);
    return out;
}

TEST(FramePipeline, ScalesStampsAndCompressesOnlyWhenAskedToStamp) {
    FakeStamper stamper;
    FramePipeline pipeline(&stamper);
    const auto picture = bgrx(720, 480, [](int, int) { return 0x2050A0u; });
    const PixelSource source{picture.data(), 720, 480, 720 * 4, 4};

    const Stamp stamp{DateTime{2026, 5, 17, 12, 0, 4}, 3, 20};
    std::vector<uint8_t> jpeg;
    {
        const auto bytes = pipeline.encodeFrame(source, 360, 240, &stamp);
        jpeg.assign(bytes.begin(), bytes.end());
    }
    EXPECT_EQ(stamper.calls, 1);
    EXPECT_EQ(stamper.last.channel, 3);
    int w = 0, h = 0;
    const auto decoded = decodeJpeg(jpeg, w, h);
    ASSERT_EQ(w, 360);
    ASSERT_EQ(h, 240);
    EXPECT_TRUE(dvr::testing::nearColour(rgbAt(decoded, w, 100, 100), 0x2050A0u));
    EXPECT_TRUE(dvr::testing::nearColour(rgbAt(decoded, w, 100, 235), 0xFFFFFFu));

    const auto unstamped = pipeline.encodeFrame(source, 360, 240, nullptr);
    EXPECT_EQ(stamper.calls, 1);
    const auto plain = decodeJpeg(unstamped, w, h);
    EXPECT_TRUE(dvr::testing::nearColour(rgbAt(plain, w, 100, 235), 0x2050A0u));
    EXPECT_EQ(stampTextHeight(false), 20);
    EXPECT_EQ(stampTextHeight(true), 25);
}

TEST(ExportLog, FiveLinesWithAlignedColonsAndABlankBeforeEachBreak) {
    const ExportLog log{{2026, 5, 17, 12, 0, 0}, {2026, 5, 17, 13, 4, 9}, 10, 2, 360, 240};
    EXPECT_EQ(exportLogText(log),
              "RECORD START : 2026/05/17 12:00:00 \n"
              "RECORD END   : 2026/05/17 13:04:09 \n"
              "CHANNEL      : 03 \n"
              "FRAME RATE   : 10 Frame \n"
              "RECORD SIZE  : 360 * 240 Pixel \n");
    EXPECT_EQ(exportLogPath("/a/b/01_Capture.avi"), "/a/b/01_Capture.log");
    EXPECT_EQ(exportLogPath("clip.AVI"), "clip.log");
    EXPECT_EQ(exportLogPath("clip"), "clip.log");

    dvr::testsupport::TempFolder dir;
    ASSERT_TRUE(writeExportLog(dir.file("x.avi"), log).ok());
    std::ifstream in(dir.file("x.log"), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), exportLogText(log));
    const Status failed = writeExportLog(dir.file("none/x.avi"), log);
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.reason().find("none/x.log"), std::string::npos);
}

// Frames the pacer writes for pictures given as (second, id).
std::string paced(int rate, const std::vector<std::pair<int64_t, char>>& pictures) {
    RealTimePacer pacer(rate);
    std::string frames;
    auto emit = [&](std::span<const uint8_t> jpeg) {
        frames += char(jpeg[0]);
        return true;
    };
    for (const auto& [second, id] : pictures) {
        const uint8_t byte = uint8_t(id);
        pacer.add(second, {&byte, 1}, emit);
    }
    pacer.finish(emit);
    return frames;
}

TEST(RealTimePacer, EachSecondBecomesRateFramesSharedByItsPictures) {
    EXPECT_EQ(paced(4, {}), "");
    EXPECT_EQ(paced(4, {{10, 'a'}}), "aaaa");
    EXPECT_EQ(paced(4, {{10, 'a'}, {10, 'b'}}), "aabb");
    EXPECT_EQ(paced(2, {{10, 'a'}, {10, 'b'}, {10, 'c'}, {10, 'd'}}), "ac");  // more pictures than frames
    EXPECT_EQ(paced(3, {{10, 'a'}, {13, 'b'}}), "aaaaaaaaabbb");              // a gap repeats the last
    EXPECT_EQ(paced(2, {{10, 'a'}, {9, 'b'}, {11, 'c'}}), "abcc");  // a step back stays in its second
    RealTimePacer failing(5);
    const uint8_t byte = 1;
    EXPECT_TRUE(failing.add(1, {&byte, 1}, [](auto) { return false; }));
    EXPECT_FALSE(failing.add(2, {&byte, 1}, [](auto) { return false; }));
}

}  // namespace
