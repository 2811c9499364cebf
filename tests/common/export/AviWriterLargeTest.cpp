// A file past 1 GiB: the writer continues in extension parts and ffprobe reads every frame. Slow and
// disk-hungry (about 1.2 GB in the temp folder, removed afterwards): labelled e2e, left out of the
// sanitizer runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/export/AviWriter.h"
#include "common/frame/JpegEncoder.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr;

TEST(AviWriterLarge, AFilePastOneGibibyteIsReadWhole) {
    dvr::testsupport::TempFolder dir;
    const std::string path = dir.file("large.avi");
    constexpr int kSide = 32;
    std::vector<uint8_t> bgr(kSide * kSide * 3, 0x80);
    frame::JpegEncoder encoder;
    const auto picture = encoder.encode(bgr.data(), kSide, kSide, kSide * 3, 3, 80);
    // Each frame is a small picture followed by 4 MiB of filler the decoder ignores.
    std::vector<uint8_t> jpeg(picture.begin(), picture.end());
    jpeg.resize(jpeg.size() + (4u << 20), 0);
    constexpr int kFrames = 300;  // about 1.2 GiB

    exporting::AviWriter writer;
    ASSERT_TRUE(writer.open(path, {kSide, kSide, 25, "large.avi"}).ok());
    for (int i = 0; i < kFrames; ++i)
        ASSERT_TRUE(writer.writeVideoFrame(jpeg).ok()) << i;
    ASSERT_TRUE(writer.close().ok());
    ASSERT_GT(std::filesystem::file_size(path), uint64_t(1) << 30);

    const auto facts = dvr::testing::probeAvi(path);
    EXPECT_EQ(facts.errors, "");
    EXPECT_EQ(facts.codec, "mjpeg");
    EXPECT_EQ(facts.frames, kFrames);
    EXPECT_NEAR(facts.durationSeconds, kFrames / 25.0, 0.01);
}

}  // namespace
