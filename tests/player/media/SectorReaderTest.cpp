#include "player/media/SectorReader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace dvr::media {
namespace {

std::vector<uint8_t> randomBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    std::mt19937 random(7);
    for (auto& b : bytes)
        b = uint8_t(random());
    return bytes;
}

TEST(SectorReader, SeekBeyondTheSizeFailsAndKeepsTheOffset) {
    const auto bytes = randomBytes(4096);
    SectorReader reader;
    reader.open(std::make_unique<MemoryByteSource>(bytes));
    EXPECT_TRUE(reader.seek(1000));
    EXPECT_FALSE(reader.seek(4097));
    EXPECT_EQ(reader.offset(), 1000u);
    EXPECT_TRUE(reader.seek(4096));  // the end itself is a valid offset
    std::array<uint8_t, 16> out;
    EXPECT_EQ(reader.read(out), 0u);
}

// Reads of record-like sizes with seeks back and forth give the file's bytes whether they come from the
// file or from read-ahead windows, and sequential reading uses the worker's windows.
TEST(SectorReader, WindowedReadsMatchTheFile) {
    const size_t size = 5 * SectorReader::kWindowBytes + 12345;
    const auto bytes = randomBytes(size);
    for (const bool readAhead : {false, true}) {
        SectorReader reader;
        reader.open(std::make_unique<MemoryByteSource>(bytes));
        if (readAhead)
            reader.startReadAhead();
        std::mt19937 random(11);
        std::vector<uint8_t> out(60000);
        uint64_t mismatches = 0;
        for (int i = 0; i < 2000; ++i) {
            if (i % 97 == 0)
                reader.seek(random() % size);
            const size_t count = std::array<size_t, 4>{512, 16, 3056, 51184}[random() % 4];
            const uint64_t at = reader.offset();
            const size_t got = reader.read({out.data(), count});
            EXPECT_EQ(got, std::min<uint64_t>(count, size - at));
            mismatches += !std::equal(out.begin(), out.begin() + std::ptrdiff_t(got),
                                      bytes.begin() + std::ptrdiff_t(at));
            EXPECT_EQ(reader.offset(), at + got);
            if (got < count)
                reader.seek(0);
        }
        EXPECT_EQ(mismatches, 0u);
        if (readAhead) {
            EXPECT_GT(reader.windowsFromWorker(), 0u);
        }
        reader.stopReadAhead();
    }
}

TEST(SectorReader, TheWorkerStartsAndStopsWhileReading) {
    const size_t size = 3 * SectorReader::kWindowBytes;
    const auto bytes = randomBytes(size);
    SectorReader reader;
    reader.open(std::make_unique<MemoryByteSource>(bytes));
    std::vector<uint8_t> out(4096);
    for (int round = 0; round < 20; ++round) {
        reader.startReadAhead();
        EXPECT_TRUE(reader.readAheadRunning());
        const uint64_t at = reader.offset();
        const size_t got = reader.read(out);
        EXPECT_TRUE(
            std::equal(out.begin(), out.begin() + std::ptrdiff_t(got), bytes.begin() + std::ptrdiff_t(at)));
        if (round % 3 == 0)
            reader.stopReadAhead();
        if (got < out.size())
            reader.seek(0);
    }
    reader.close();
    EXPECT_FALSE(reader.readAheadRunning());
}

}  // namespace
}  // namespace dvr::media
