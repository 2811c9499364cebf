// The channel export over a backup file that cannot be read to its end: the export fails and says where,
// rather than pass off the part it read for the whole recording.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/frame/Bytes.h"
#include "player/media/BackupFormat.h"
#include "tests/support/TempFolder.h"
#include "tools/zavgen/BackupGenerator.h"
#include "tools/zavtool/ChannelPass.h"
#include "tools/zavtool/SoundTrack.h"

namespace dvr::zavtool {
namespace {

class ChannelPassRead : public ::testing::Test {
protected:
    void SetUp() override { generate(); }
    // Four channels, a group of pictures every two seconds for two minutes.
    void generate() {
        zavgen::GeneratorOptions options;
        options.channelCount = 4;
        options.durationSeconds = 120;
        options.groupIntervalSeconds = 2;
        generated = {};
        ASSERT_TRUE(zavgen::generateBackup(file, options, generated)) << generated.error;
    }
    // Exports channel 1; the file is cut to `size` bytes after the opening scan: before the pictures are
    // read, or once the first of them came (as a disc that fails, or a file another program shortens).
    ChannelExportOutcome exportCutTo(uint64_t size, bool whileReading = false) {
        ChannelExportOptions o;
        o.backupPath = file;
        o.channel = 1;
        o.aviPath = avi;
        bool cut = false;
        const auto cutNow = [&] {
            if (!cut) {
                EXPECT_EQ(::truncate(file.c_str(), off_t(size)), 0);
            }
            cut = true;
        };
        o.beforeCreate = [&] {
            if (!whileReading)
                cutNow();
            return std::string();
        };
        o.progress = [&](int, int) { cutNow(); };
        const ChannelExportOutcome outcome = exportChannel(o);
        EXPECT_TRUE(cut);
        return outcome;
    }

    testsupport::TempFolder dir;
    std::string file = dir.file("f.zav");
    std::string avi = dir.file("c.avi");
    zavgen::GeneratorReport generated;
};

TEST_F(ChannelPassRead, AFileThatCannotBeReadOnIsAFailedExport) {
    ASSERT_EQ(generated.pictureOffsets.size(), 240u);
    // Cut at the header of the 121st record, well before the forward run's end (640 KiB before the
    // file's) and well after the 16th picture of the channel (the 66th record), when the cut is made.
    const uint64_t cut = generated.pictureOffsets[120];
    ASSERT_LT(cut + 64 * 1024, generated.fileSize - 640 * 1024);
    const ChannelExportOutcome outcome = exportCutTo(cut, true);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "reading " + file + " stopped early: Can not read ZAV file.; " + avi +
                                   " holds only the 30 pictures before it");
    // Records 1, 5, ..., 117: every channel 1 picture before the cut.
    EXPECT_EQ(outcome.report.pictures, 30);
    EXPECT_FALSE(std::filesystem::exists(avi + ".manifest.json"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.log")));
}

TEST_F(ChannelPassRead, AFileShortenedBeforeItsPicturesAreReadIsAFailedExport) {
    // Cut after the opening scan, before the playback thread opens the file: at the 9th record, so
    // records 1 and 5 hold channel 1's only pictures before the cut.
    const ChannelExportOutcome outcome = exportCutTo(generated.pictureOffsets[8]);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "reading " + file + " stopped early: Can not read ZAV file.; " + avi +
                                   " holds only the 2 pictures before it");
    EXPECT_EQ(outcome.report.pictures, 2);
    EXPECT_FALSE(std::filesystem::exists(avi + ".manifest.json"));
}

TEST_F(ChannelPassRead, AFileThatEndsBeforeItsLastRecordIsAFailedExport) {
    // The forward run stops 640 KiB before the end; the records past it are read after it, and the cut
    // lies among them.
    const uint64_t cut = generated.fileSize - 300 * 1024;
    const ChannelExportOutcome outcome = exportCutTo(cut);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message.rfind("cannot read " + file + " at offset ", 0), 0u) << outcome.message;
    EXPECT_FALSE(std::filesystem::exists(avi + ".manifest.json"));

    // Uncut, the same export passes with every picture of the channel.
    std::filesystem::remove(avi);
    generate();
    const ChannelExportOutcome whole = exportCutTo(generated.fileSize);
    EXPECT_TRUE(whole.ok) << whole.message;
    EXPECT_EQ(whole.report.pictures, 60);
}

// A file whose reads fail from an offset on while its size says the bytes are there (a disc that fails).
class FailingSource final : public media::ByteSource {
public:
    FailingSource(std::vector<uint8_t> bytes, uint64_t failFrom)
        : m_bytes(std::move(bytes)), m_failFrom(failFrom) {}
    uint64_t size() const override { return m_bytes.size(); }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override {
        const uint64_t end = std::min<uint64_t>({offset + out.size(), m_bytes.size(), m_failFrom});
        if (offset >= end)
            return 0;
        std::copy(m_bytes.begin() + std::ptrdiff_t(offset), m_bytes.begin() + std::ptrdiff_t(end),
                  out.begin());
        return size_t(end - offset);
    }

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_failFrom;
};

// A 20-second backup with sound (four channels, quad pictures), its bytes and its generator's report.
void soundBackup(std::vector<uint8_t>& bytes, zavgen::GeneratorReport& report) {
    testsupport::TempFolder dir;
    const std::string path = dir.file("s.zav");
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.layoutFamily = 3;
    options.sound = true;
    options.durationSeconds = 20;
    options.groupIntervalSeconds = 2;
    ASSERT_TRUE(zavgen::generateBackup(path, options, report)) << report.error;
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
}

// The sound read up to a failing read is not the channel's whole sound: the reader says where it
// stopped; a file read to its end says nothing.
TEST(SoundTrack, AReadThatFailsInsideTheFileIsReportedWithItsOffset) {
    std::vector<uint8_t> bytes;
    zavgen::GeneratorReport report;
    ASSERT_NO_FATAL_FAILURE(soundBackup(bytes, report));
    ASSERT_EQ(bytes.size(), report.fileSize);

    std::optional<uint64_t> failedAt = 7;
    const std::vector<int16_t> whole =
        readSoundChannel(FailingSource(bytes, bytes.size()), 1, {}, SIZE_MAX, nullptr, &failedAt);
    EXPECT_FALSE(failedAt);
    ASSERT_FALSE(whole.empty());

    const uint64_t failFrom = report.pictureOffsets[report.pictureOffsets.size() / 2] + 100;
    const std::vector<int16_t> part =
        readSoundChannel(FailingSource(bytes, failFrom), 1, {}, SIZE_MAX, nullptr, &failedAt);
    ASSERT_TRUE(failedAt);
    EXPECT_LE(*failedAt, failFrom);
    EXPECT_GT(*failedAt + 64 * 1024, failFrom);
    EXPECT_LT(part.size(), whole.size());
}

// Sound block numbers that start again lower partway through the file: the blocks after the drop are
// written too, all but the first, as the player plays them.
TEST(SoundTrack, BlockNumbersThatStartAgainLowerGoOnBeingWritten) {
    std::vector<uint8_t> bytes;
    zavgen::GeneratorReport report;
    ASSERT_NO_FATAL_FAILURE(soundBackup(bytes, report));
    const std::vector<int16_t> whole =
        readSoundChannel(FailingSource(bytes, bytes.size()), 1, {}, SIZE_MAX, nullptr, nullptr);

    // The headers of the sound blocks, record by record.
    std::vector<uint64_t> blockHeaders;
    for (uint64_t at = media::kDataStart; at + media::kSectorBytes <= bytes.size();) {
        const std::span<const uint8_t> sector(bytes.data() + at, media::kSectorBytes);
        const auto h = media::hasRecordSignature(sector) ? media::parseBackupHeader(sector) : std::nullopt;
        if (!h) {
            at += media::kSectorBytes;
            continue;
        }
        if (h->soundSequence != 0)
            blockHeaders.push_back(at);
        at += uint64_t(h->sectorCount == 3 ? 3 : std::clamp<uint32_t>(h->sectorCount, 1, 101)) *
              media::kSectorBytes;
    }
    ASSERT_EQ(blockHeaders.size(), size_t(report.soundBlocks));
    ASSERT_EQ(whole.size() % blockHeaders.size(), 0u);
    const size_t perBlock = whole.size() / blockHeaders.size();
    ASSERT_GT(perBlock, 0u);

    // The second half numbered again from 1.
    const size_t half = blockHeaders.size() / 2;
    for (size_t i = half; i < blockHeaders.size(); ++i) {
        const std::span<uint8_t> sector(bytes.data() + blockHeaders[i], media::kSectorBytes);
        frame::writeLe32(sector, media::backup_offset::kSoundSequence, uint32_t(i - half + 1));
    }
    const std::vector<int16_t> renumbered =
        readSoundChannel(FailingSource(bytes, bytes.size()), 1, {}, SIZE_MAX, nullptr, nullptr);
    EXPECT_EQ(renumbered.size(), whole.size() - perBlock);
}

}  // namespace
}  // namespace dvr::zavtool
