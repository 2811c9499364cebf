// The AVI writer judged by ffprobe and ffmpeg: stream facts, every frame's pixels, and the file left
// behind by failed writes and by a writer that never closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/export/AviWriter.h"
#include "common/frame/JpegEncoder.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr;
using dvr::exporting::AviVideoFormat;
using dvr::exporting::AviWriter;
using dvr::exporting::AviWriterOptions;
using dvr::exporting::MemorySink;
using dvr::exporting::Status;
using dvr::testing::decodeAvi;
using dvr::testing::nearColour;
using dvr::testing::pixelAt;
using dvr::testing::probeAvi;
using dvr::testsupport::TempFolder;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

uint32_t colourOf(int frame) {
    static const uint32_t colours[] = {0xE02020, 0x20E020, 0x2020E0, 0xE0E020, 0x20E0E0, 0xE020E0};
    return colours[frame % 6];
}

// A flat picture of the frame's colour as JPEG.
std::vector<uint8_t> jpegOf(uint32_t rgb, int width = kWidth, int height = kHeight) {
    std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < bgr.size(); i += 3) {
        bgr[i] = uint8_t(rgb);
        bgr[i + 1] = uint8_t(rgb >> 8);
        bgr[i + 2] = uint8_t(rgb >> 16);
    }
    frame::JpegEncoder encoder;
    const auto jpeg = encoder.encode(bgr.data(), width, height, size_t(width) * 3, 3, 90);
    return {jpeg.begin(), jpeg.end()};
}

AviVideoFormat format(int rate = 5) {
    return AviVideoFormat{kWidth, kHeight, rate, "test.avi"};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The decoded frames show colourOf(0), colourOf(1), ... in order.
void expectColourSequence(const std::string& path, long frames) {
    const auto decoded = decodeAvi(path, kWidth, kHeight);
    ASSERT_EQ(long(decoded.size()), frames);
    for (size_t i = 0; i < decoded.size(); ++i)
        EXPECT_TRUE(nearColour(pixelAt(decoded[i], kWidth, kWidth / 2, kHeight / 2), colourOf(int(i))))
            << "frame " << i;
}

TEST(AviWriter, FramesReadBackWithTheirFormatRateAndColours) {
    TempFolder dir;
    const std::string path = dir.file("clip.avi");
    // Three consistency points inside the clip and one more at the end: several chunk indexes.
    AviWriter writer(AviWriterOptions{.consistencyIntervalFrames = 7});
    ASSERT_TRUE(writer.open(path, format(5)).ok());
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(writer.writeVideoFrame(jpegOf(colourOf(i))).ok());
    EXPECT_EQ(writer.frameCount(), 25u);
    ASSERT_TRUE(writer.close().ok());
    EXPECT_FALSE(writer.isOpen());

    const auto facts = probeAvi(path);
    EXPECT_EQ(facts.errors, "");
    EXPECT_EQ(facts.codec, "mjpeg");
    EXPECT_EQ(facts.width, kWidth);
    EXPECT_EQ(facts.height, kHeight);
    EXPECT_EQ(facts.rate, "5/1");
    EXPECT_EQ(facts.frames, 25);
    EXPECT_NEAR(facts.durationSeconds, 5.0, 0.01);
    expectColourSequence(path, 25);
}

TEST(AviWriter, AFileWithoutFramesIsStillAnAvi) {
    TempFolder dir;
    const std::string path = dir.file("empty.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.open(path, format(15)).ok());
    ASSERT_TRUE(writer.close().ok());
    const auto facts = probeAvi(path);
    EXPECT_EQ(facts.codec, "mjpeg") << facts.errors;
    EXPECT_EQ(facts.width, kWidth);
    EXPECT_EQ(facts.frames, 0);
}

TEST(AviWriter, RefusesBadCallsWithAReason) {
    AviWriter writer;
    EXPECT_FALSE(writer.writeVideoFrame(jpegOf(0)).ok());
    EXPECT_TRUE(writer.close().ok());
    MemorySink sink;
    EXPECT_FALSE(writer.open(sink, AviVideoFormat{0, 10, 10, ""}).ok());
    EXPECT_FALSE(writer.open(sink, AviVideoFormat{10, 10, 0, ""}).ok());
    EXPECT_FALSE(writer.isOpen());

    TempFolder dir;
    const Status missing = writer.open(dir.file("no/such/folder/x.avi"), format());
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.reason().find("No such file or directory"), std::string::npos) << missing.reason();
    // A recording is always a new file: nothing already at the name is written through.
    const Status existing = writer.open("/dev/full", format());
    EXPECT_FALSE(existing.ok());
    EXPECT_NE(existing.reason().find("File exists"), std::string::npos) << existing.reason();
    EXPECT_FALSE(writer.isOpen());
}

// A disk that fills up part-way: the failing frame is reported, later frames are refused with the same
// reason, and the file holds every frame up to the last consistency point before the failure (close
// cannot add its index either, as nothing more fits).
TEST(AviWriter, AFullDiskEndsWithAReasonAndAConsistentFile) {
    TempFolder dir;
    MemorySink probe;
    AviWriter sizing(AviWriterOptions{.consistencyIntervalFrames = 4});
    ASSERT_TRUE(sizing.open(probe, format()).ok());
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(sizing.writeVideoFrame(jpegOf(colourOf(i))).ok());
    const size_t afterTenFrames = probe.bytes().size();
    ASSERT_TRUE(sizing.close().ok());

    MemorySink sink;
    sink.setLimitBytes(afterTenFrames + 100);  // part of frame 11 fits
    AviWriter writer(AviWriterOptions{.consistencyIntervalFrames = 4});
    ASSERT_TRUE(writer.open(sink, format()).ok());
    Status status = Status::success();
    int written = 0;
    for (; written < 20 && status.ok(); ++written)
        status = writer.writeVideoFrame(jpegOf(colourOf(written)));
    EXPECT_EQ(written, 11);
    EXPECT_NE(status.reason().find("No space left on device"), std::string::npos) << status.reason();
    EXPECT_EQ(writer.writeVideoFrame(jpegOf(0)).reason(), status.reason());
    EXPECT_EQ(writer.close().reason(), status.reason());

    const std::string path = dir.file("full.avi");
    writeFile(path, sink.bytes());
    const auto facts = probeAvi(path);
    EXPECT_EQ(facts.codec, "mjpeg") << facts.errors;
    EXPECT_GE(facts.frames, 8);
    EXPECT_LE(facts.frames, 10);
    expectColourSequence(path, facts.frames);
}

// With room for the index but a frame refused (the disk full for that one frame only), close still
// indexes every whole frame written before it.
TEST(AviWriter, CloseAfterAFailedFrameIndexesTheFramesBeforeIt) {
    TempFolder dir;
    MemorySink sink;
    AviWriter writer(AviWriterOptions{.consistencyIntervalFrames = 100});
    ASSERT_TRUE(writer.open(sink, format()).ok());
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(writer.writeVideoFrame(jpegOf(colourOf(i))).ok());
    sink.setLimitBytes(sink.tell() + 20);
    EXPECT_FALSE(writer.writeVideoFrame(jpegOf(colourOf(6))).ok());
    sink.setLimitBytes(UINT64_MAX);
    EXPECT_FALSE(writer.close().ok());  // the frame's failure is still the outcome
    const std::string path = dir.file("partial.avi");
    writeFile(path, sink.bytes());
    EXPECT_EQ(probeAvi(path).frames, 6);
    expectColourSequence(path, 6);
}

// A writer that never closes (a crash): the file on disk plays up to the last consistency point.
TEST(AviWriter, AnAbandonedFilePlaysUpToTheLastConsistencyPoint) {
    TempFolder dir;
    const std::string path = dir.file("live.avi");
    const std::string copy = dir.file("crashed.avi");
    AviWriter writer(AviWriterOptions{.consistencyIntervalFrames = 10});
    ASSERT_TRUE(writer.open(path, format()).ok());
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(writer.writeVideoFrame(jpegOf(colourOf(i))).ok());
    // The file as a power cut would leave it: everything the writer has handed to the system.
    std::filesystem::copy_file(path, copy);
    const auto facts = probeAvi(copy);
    EXPECT_EQ(facts.codec, "mjpeg") << facts.errors;
    EXPECT_GE(facts.frames, 20);
    EXPECT_LE(facts.frames, 25);
    expectColourSequence(copy, facts.frames);
    ASSERT_TRUE(writer.close().ok());
    EXPECT_EQ(probeAvi(path).frames, 25);
}

// Small parts exercise the extension parts the same way a file past 1 GiB does.
TEST(AviWriter, ExtensionPartsKeepEveryFrameInOrder) {
    TempFolder dir;
    const std::string path = dir.file("parts.avi");
    AviWriter writer(AviWriterOptions{.consistencyIntervalFrames = 3, .partLimitBytes = 200 * 1024});
    ASSERT_TRUE(writer.open(path, format(10)).ok());
    for (int i = 0; i < 40; ++i) {
        auto jpeg = jpegOf(colourOf(i));
        jpeg.resize(jpeg.size() + 20000, 0);  // bytes after the end marker make each frame big
        ASSERT_TRUE(writer.writeVideoFrame(jpeg).ok()) << i;
    }
    ASSERT_TRUE(writer.close().ok());
    ASSERT_GT(std::filesystem::file_size(path), 4 * 200 * 1024u);
    const auto facts = probeAvi(path);
    EXPECT_EQ(facts.errors, "");
    EXPECT_EQ(facts.frames, 40);
    EXPECT_NEAR(facts.durationSeconds, 4.0, 0.01);
    expectColourSequence(path, 40);
}

uint32_t le32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The first part's top level: where its movi list ends, where its legacy index stands and how many
// entries it has, and the frame count its main header gives.
struct FirstPart {
    uint64_t moviEnd = 0;
    uint64_t indexAt = 0;
    uint32_t indexEntries = 0;
    uint32_t totalFrames = 0;
};
FirstPart firstPartOf(const std::vector<uint8_t>& b) {
    FirstPart part;
    const uint64_t end = std::min<uint64_t>(b.size(), 8 + uint64_t(le32At(b, 4)));
    for (uint64_t at = 12; at + 8 <= end;) {
        const std::string id(reinterpret_cast<const char*>(&b[at]), 4);
        const uint32_t size = le32At(b, at + 4);
        if (id == "LIST" && std::string(reinterpret_cast<const char*>(&b[at + 8]), 4) == "movi")
            part.moviEnd = at + 8 + size;
        if (id == "idx1") {
            part.indexAt = at;
            part.indexEntries = size / 16;
        }
        at += 8 + uint64_t(size) + (size & 1);
    }
    const std::string whole(b.begin(), b.end());
    const size_t avih = whole.find("avih");
    if (avih != std::string::npos)
        part.totalFrames = le32At(b, avih + 8 + 16);
    return part;
}

// A disk that fills just as the second part would begin: the first part stays as it ended, its movi
// list followed by its legacy index of every frame in it, also when close finds room again.
TEST(AviWriter, APartThatCannotBeginLeavesTheFirstPartWhole) {
    const AviWriterOptions options{.consistencyIntervalFrames = 3, .partLimitBytes = 200 * 1024};
    const auto bigFrame = [](int i) {
        auto jpeg = jpegOf(colourOf(i));
        jpeg.resize(jpeg.size() + 20000, 0);
        return jpeg;
    };
    MemorySink probe;
    AviWriter sizing(options);
    ASSERT_TRUE(sizing.open(probe, format(10)).ok());
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(sizing.writeVideoFrame(bigFrame(i)).ok());
    ASSERT_TRUE(sizing.close().ok());
    const std::string whole(probe.bytes().begin(), probe.bytes().end());
    const size_t avix = whole.find("AVIX");
    ASSERT_NE(avix, std::string::npos);
    const FirstPart expected = firstPartOf(probe.bytes());
    ASSERT_GT(expected.indexEntries, 0u);
    ASSERT_EQ(expected.moviEnd, expected.indexAt);

    MemorySink sink;
    sink.setLimitBytes(avix - 8);  // the legacy index fits, the next part's header does not
    AviWriter writer(options);
    ASSERT_TRUE(writer.open(sink, format(10)).ok());
    Status status = Status::success();
    for (int i = 0; i < 20 && status.ok(); ++i)
        status = writer.writeVideoFrame(bigFrame(i));
    EXPECT_NE(status.reason().find("cannot start a new part"), std::string::npos) << status.reason();
    sink.setLimitBytes(UINT64_MAX);  // room again by the time the file closes
    EXPECT_FALSE(writer.close().ok());
    const FirstPart part = firstPartOf(sink.bytes());
    EXPECT_EQ(part.indexAt, expected.indexAt);
    EXPECT_EQ(part.moviEnd, part.indexAt);
    EXPECT_EQ(part.indexEntries, expected.indexEntries);
    EXPECT_EQ(part.totalFrames, expected.indexEntries);
}

// Consistency points spend entries of the index of indexes; a long recording spends them all unless the
// ends of its parts keep some. (Here 64 entries and a point after every frame: spent by the 64th frame,
// then the third part's end found the index full.)
TEST(AviWriter, ALongFileKeepsIndexEntriesForTheEndsOfItsParts) {
    TempFolder dir;
    const std::string path = dir.file("long.avi");
    AviWriter writer(AviWriterOptions{
        .consistencyIntervalFrames = 1, .partLimitBytes = 900 * 1024, .indexEntryCapacity = 64});
    ASSERT_TRUE(writer.open(path, format(10)).ok());
    for (int i = 0; i < 100; ++i) {
        auto jpeg = jpegOf(colourOf(i));
        jpeg.resize(jpeg.size() + 20000, 0);
        ASSERT_TRUE(writer.writeVideoFrame(jpeg).ok()) << i;
    }
    ASSERT_TRUE(writer.close().ok());
    ASSERT_GT(std::filesystem::file_size(path), 2 * 900 * 1024u);  // three parts
    const auto facts = probeAvi(path);
    EXPECT_EQ(facts.errors, "");
    EXPECT_EQ(facts.frames, 100);
    expectColourSequence(path, 100);
}

}  // namespace
