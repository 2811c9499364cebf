#include "player/media/BackupScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/player/media/MediaTestSupport.h"
#include "tools/zavgen/BackupWriter.h"

namespace dvr::media {
namespace {

using testing::MessageList;
using testing::quickOptions;
using testing::writeBackup;
using testsupport::TempFolder;

TEST(BackupScan, ReadsCountsTimesAndSoundFromTheFirstAndLastHeaders) {
    TempFolder dir;
    struct Case {
        int channels, family;
        int panes;
        bool sound;
    };
    const Case cases[] = {{4, 1, 4, false}, {8, 2, 9, false}, {16, 3, 16, true}, {8, 3, 9, true}};
    for (const auto& c : cases) {
        auto o = quickOptions();
        o.channelCount = c.channels;
        o.layoutFamily = c.family;
        o.sound = c.sound;
        zavgen::GeneratorReport report;
        const std::string path = writeBackup(dir, "f.zav", o, &report);
        ASSERT_FALSE(path.empty());
        MessageList messages;
        const ScanOutcome outcome = openAndScan(path, messages);
        ASSERT_TRUE(outcome.ok()) << c.channels << " " << c.family;
        EXPECT_TRUE(messages.messages.empty());
        const ScanResult& r = outcome.result;
        EXPECT_EQ(r.channelCount, c.channels);
        EXPECT_EQ(r.paneCount, c.panes);
        EXPECT_EQ(r.layoutCode, zavgen::layoutCodeFor(c.channels, c.family));
        EXPECT_EQ(r.soundAvailable, c.sound);
        EXPECT_EQ(r.startTime.text(), "2026-05-17 12:00:00");
        // The last group starts at 36 s; its records carry the end markers nearest the end.
        EXPECT_EQ(r.endTime.text(), "2026-05-17 12:00:36");
        EXPECT_EQ(r.fileSize, report.fileSize);
        // These files are shorter than the trailing area: forward playback may go to the data start.
        EXPECT_EQ(r.endOffset, std::max<uint64_t>(report.fileSize, 655360 + 65536) - 655360);
        EXPECT_EQ(r.firstHeaderOffset, 65536u);
    }
}

TEST(BackupScan, TheLeading64KiBAreNeverRead) {
    TempFolder dir;
    for (auto fill :
         {zavgen::LeadingFill::Zeros, zavgen::LeadingFill::Headers, zavgen::LeadingFill::Garbage}) {
        auto o = quickOptions();
        o.channelCount = 16;
        o.leading = fill;
        const std::string path = writeBackup(dir, "lead.zav", o);
        testing::CountingSource source(FileByteSource::open(path));
        MessageList messages;
        const ScanOutcome outcome = scanBackup(source, messages);
        ASSERT_TRUE(outcome.ok());
        EXPECT_EQ(outcome.result.channelCount, 16);  // the leading headers name 4 channels
        EXPECT_GE(source.lowestOffset(), 65536u);
    }
}

TEST(BackupScan, HeadersOfAnUnknownChannelCapacityArePassedOver) {
    TempFolder dir;
    auto o = quickOptions();
    o.channelCount = 8;
    o.corruptions = {{zavgen::Corruption::UnknownHeader, 0}};
    const std::string path = writeBackup(dir, "unknown.zav", o);
    MessageList messages;
    const ScanOutcome outcome = openAndScan(path, messages);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.result.channelCount, 8);
    EXPECT_EQ(outcome.result.firstHeaderOffset, 65536u + 512);
}

TEST(BackupScan, NoAcceptedHeaderIn128SectorsIsAnUnknownCd) {
    TempFolder dir;
    for (const int garbage : {127, 128}) {
        const std::string path = dir.file("garbage.zav");
        zavgen::BackupWriter writer;
        ASSERT_TRUE(writer.open(path));
        writer.writeGarbageSectors(garbage, 3);
        const auto codestream = zavgen::placeholderCodestream(5000, 1);
        zavgen::BackupRecord shape;
        shape.codestream = codestream;
        shape.time = {30, 1, 1, 0, 0, 0};
        writer.writeRecord(shape);
        shape.time = {30, 1, 1, 0, 0, 5};
        writer.writeRecord(shape);
        ASSERT_TRUE(writer.close());
        MessageList messages;
        const ScanOutcome outcome = openAndScan(path, messages);
        if (garbage == 127) {
            EXPECT_TRUE(outcome.ok());  // the 128th sector is still looked at
        } else {
            EXPECT_EQ(outcome.error, ScanError::UnknownCd);
            EXPECT_EQ(messages.messages, std::vector<std::string>{" Unknown CD "});
        }
    }
}

TEST(BackupScan, FailuresShowUnknownCd) {
    TempFolder dir;
    MessageList messages;
    EXPECT_EQ(openAndScan(dir.file("missing.zav"), messages).error, ScanError::CannotOpen);

    // Too short to hold a record, and a file whose only records share one time: no end.
    std::ofstream(dir.file("short.zav")) << "tiny";
    EXPECT_EQ(openAndScan(dir.file("short.zav"), messages).error, ScanError::UnknownCd);
    auto o = quickOptions();
    o.durationSeconds = 4;  // one group, one time
    EXPECT_EQ(openAndScan(writeBackup(dir, "one.zav", o), messages).error, ScanError::NoEnd);
    EXPECT_EQ(messages.messages, std::vector<std::string>(3, " Unknown CD "));

    // A FIFO (or a folder) is refused at once, without waiting for a writer that never comes.
    ASSERT_EQ(::mkfifo(dir.file("pipe.zav").c_str(), 0600), 0);
    for (const char* name : {"pipe.zav", "."}) {
        MessageList refused;
        const ScanOutcome outcome = openAndScan(dir.file(name), refused);
        EXPECT_EQ(outcome.error, ScanError::CannotOpen) << name;
        EXPECT_NE(outcome.detail.find("not a regular file"), std::string::npos) << outcome.detail;
        EXPECT_EQ(refused.messages, std::vector<std::string>{" Unknown CD "});
    }
}

TEST(BackupScan, EndScanSkipsHeadersWithInvalidDatesAndRemembersThem) {
    TempFolder dir;
    const std::string path = dir.file("dates.zav");
    zavgen::BackupWriter writer;
    ASSERT_TRUE(writer.open(path));
    const auto codestream = zavgen::placeholderCodestream(3000, 1);
    zavgen::BackupRecord shape;
    shape.codestream = codestream;
    shape.time = {30, 3, 1, 10, 0, 0};
    writer.writeRecord(shape);
    shape.time = {30, 3, 1, 10, 0, 9};
    writer.writeRecord(shape);
    shape.time = {30, 2, 31, 10, 0, 0};  // not a date
    writer.writeRecord(shape);
    ASSERT_TRUE(writer.close());
    MessageList messages;
    const ScanOutcome outcome = openAndScan(path, messages);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.result.endTime.text(), "2026-03-01 10:00:09");
    EXPECT_FALSE(outcome.result.endTimeValid);
    // Shorter than the trailing area: forward playback ends at the data start.
    EXPECT_EQ(outcome.result.endOffset, 65536u);
}

TEST(BackupScan, EndScanStartsBeforeTheLastEndMarker) {
    // Zeros after the records: the end scan passes over them to the last picture's end marker.
    TempFolder dir;
    auto o = quickOptions();
    o.trailingZeroBytes = 200 * 1024;
    const std::string path = writeBackup(dir, "tail.zav", o);
    MessageList messages;
    const ScanOutcome outcome = openAndScan(path, messages);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.result.endTime.text(), "2026-05-17 12:00:36");
}

}  // namespace
}  // namespace dvr::media
