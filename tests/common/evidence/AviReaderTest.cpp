// The AVI reader finds exactly the frames the export's writer wrote, through either index, and refuses
// files whose indexes point anywhere else.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/evidence/AviReader.h"
#include "common/export/AviWriter.h"
#include "tests/common/evidence/HostileAvi.h"

namespace {

using namespace dvr;

std::vector<uint8_t> frameBytes(int i, size_t size) {
    std::vector<uint8_t> b(size);
    for (size_t k = 0; k < size; ++k)
        b[k] = uint8_t(i * 31 + int(k) * 7);
    return b;
}

std::vector<uint8_t> writeAvi(int frames, exporting::AviWriterOptions options = {}) {
    exporting::MemorySink sink;
    exporting::AviWriter writer(options);
    EXPECT_TRUE(writer.open(sink, {64, 48, 10, "t.avi"}).ok());
    for (int i = 0; i < frames; ++i)
        EXPECT_TRUE(writer.writeVideoFrame(frameBytes(i, size_t(100 + i % 7))).ok());  // odd sizes pad
    EXPECT_TRUE(writer.close().ok());
    return sink.bytes();
}

void expectFrames(const std::vector<uint8_t>& file, const evidence::AviFrames& read, int frames) {
    ASSERT_EQ(read.frames.size(), size_t(frames));
    for (int i = 0; i < frames; ++i) {
        const auto& f = read.frames[size_t(i)];
        ASSERT_EQ(std::vector<uint8_t>(file.begin() + long(f.offsetBytes),
                                       file.begin() + long(f.offsetBytes + f.sizeBytes)),
                  frameBytes(i, size_t(100 + i % 7)))
            << "frame " << i;
    }
}

void renameChunk(std::vector<uint8_t>& file, const char* from, const char* to) {
    for (size_t i = 0; i + 4 <= file.size(); ++i)
        if (std::memcmp(file.data() + i, from, 4) == 0)
            std::memcpy(file.data() + i, to, 4);
}

TEST(AviReader, FindsEveryFrameThroughTheTwoLevelIndexAcrossExtensionParts) {
    exporting::AviWriterOptions options;
    options.partLimitBytes = 4096;  // several AVIX parts
    options.consistencyIntervalFrames = 5;
    const auto file = writeAvi(120, options);
    const auto read = evidence::readAviFrames(file);
    ASSERT_TRUE(read.frames) << read.error;
    EXPECT_TRUE(read.frames->twoLevelIndex);
    expectFrames(file, *read.frames, 120);
}

TEST(AviReader, FallsBackToTheLegacyIndex) {
    auto file = writeAvi(30);
    renameChunk(file, "indx", "JUNK");
    const auto read = evidence::readAviFrames(file);
    ASSERT_TRUE(read.frames) << read.error;
    EXPECT_FALSE(read.frames->twoLevelIndex);
    expectFrames(file, *read.frames, 30);
}

TEST(AviReader, RefusesDamagedFilesWithAReason) {
    const auto good = writeAvi(30);
    // Cut anywhere: never a crash, never frames outside the file.
    for (size_t cut : {size_t(0), size_t(11), size_t(200), good.size() / 2, good.size() - 1}) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + long(cut));
        const auto read = evidence::readAviFrames(part);
        EXPECT_FALSE(read.frames) << cut;
        EXPECT_FALSE(read.error.empty());
    }
    auto noIndex = good;
    renameChunk(noIndex, "indx", "JUNK");
    renameChunk(noIndex, "idx1", "JUNK");
    EXPECT_EQ(evidence::readAviFrames(noIndex).error, "no index");
    // A chunk header that does not match the index (a frame's id overwritten).
    auto moved = good;
    const auto read = evidence::readAviFrames(good);
    ASSERT_TRUE(read.frames);
    std::memcpy(moved.data() + read.frames->frames[3].offsetBytes - 8, "01wb", 4);
    EXPECT_FALSE(evidence::readAviFrames(moved).frames);
}

// Indexes that name the same bytes again: a chunk index listed twice, a picture listed twice. Read
// naively the file below lists 288 million frames; it is refused at the second listing.
TEST(AviReader, EachChunkIndexAndEachFrameIsListedOnce) {
    const auto hostile = dvr::testing::selfReferencingAvi();
    EXPECT_LT(hostile.size(), 400000u);
    auto read = evidence::readAviFrames(hostile);
    EXPECT_FALSE(read.frames);
    EXPECT_EQ(read.error, "frame 1 does not follow the frame before it");

    read = evidence::readAviFrames(dvr::testing::selfReferencingAvi(12000, 1));
    EXPECT_FALSE(read.frames);
    EXPECT_EQ(read.error, "chunk index 1 is listed twice");

    // One of each reads: the picture behind its chunk header.
    read = evidence::readAviFrames(dvr::testing::selfReferencingAvi(1, 1));
    ASSERT_TRUE(read.frames) << read.error;
    EXPECT_EQ(read.frames->frames.size(), 1u);
}

}  // namespace
