// The channel export over a backup file that cannot be read to its end: the export fails and says where,
// rather than pass off the part it read for the whole recording.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/TempFolder.h"
#include "tools/zavgen/BackupGenerator.h"
#include "tools/zavtool/ChannelPass.h"

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

}  // namespace
}  // namespace dvr::zavtool
