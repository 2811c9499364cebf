#include "viewer/playback/EventList.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "tests/support/TempFolder.h"

namespace dvr::playback {
namespace {

using link::EventRecord;
using testsupport::TempFolder;

std::vector<uint8_t> fileOf(const std::vector<EventRecord>& records) {
    std::vector<uint8_t> bytes(records.size() * link::kEventRecordBytes);
    for (size_t i = 0; i < records.size(); ++i)
        link::writeEventRecord(std::span<uint8_t>(bytes).subspan(i * 16).first<16>(), records[i]);
    return bytes;
}

TEST(EventFile, TwoRecordsGiveTwoRowsInFileOrderWithTheirTexts) {
    // The later event first: rows keep the order the recorder sent.
    const auto bytes = fileOf({{{2005, 3, 1, 12, 30, 15}, 4, 0x82}, {{1999, 12, 31, 0, 0, 59}, 15, 0x86}});
    ASSERT_EQ(bytes.size(), 32u);
    const auto rows = eventRows(bytes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].channelText, "CH5");
    EXPECT_EQ(rows[0].typeText, " LOSS EVENT ON");
    EXPECT_EQ(rows[0].timeText, "[ 2005/03/01 ] 12:30:15");
    EXPECT_EQ(rows[1].channelText, "CH16");
    EXPECT_EQ(rows[1].typeText, " NO EVENT");
    EXPECT_EQ(rows[1].timeText, "[ 1999/12/31 ] 00:00:59");
    EXPECT_EQ(unpackEventTime(rows[0].timeWord), (DateTime{2005, 3, 1, 12, 30, 15}));
}

TEST(EventFile, OutOfRangeUnplayableAndPartialRecordsAreSkipped) {
    const EventRecord good{{2005, 3, 1, 12, 30, 15}, 0, 0x80};
    std::vector<EventRecord> records{good};
    // Each of these breaks one field: channel 16, minute 60, month 13, and the three that pass the
    // byte ranges yet name no moment that can be played (month 0, day 0, hour 24, a year the time word
    // cannot hold).
    for (EventRecord bad :
         {EventRecord{{2005, 3, 1, 12, 30, 15}, 16, 0x80}, EventRecord{{2005, 3, 1, 12, 60, 0}, 0, 0x80},
          EventRecord{{2005, 13, 1, 12, 0, 0}, 0, 0x80}, EventRecord{{2005, 0, 1, 12, 0, 0}, 0, 0x80},
          EventRecord{{2005, 3, 0, 12, 0, 0}, 0, 0x80}, EventRecord{{2005, 3, 1, 24, 0, 0}, 0, 0x80},
          EventRecord{{2060, 3, 1, 12, 0, 0}, 0, 0x80}})
        records.push_back(bad);
    records.push_back(good);
    records.push_back(good);
    auto bytes = fileOf(records);
    bytes[16 * 8] = 101;                                           // a year byte above 100
    bytes.insert(bytes.end(), {9, 3, 1, 12, 30, 15, 0, 0, 0x81});  // a partial last record
    const auto rows = eventRows(bytes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fileIndex, 0u);
    EXPECT_EQ(rows[1].fileIndex, 9u);
}

TEST(EventFile, TimeWordRoundTripsAtTheFieldLimits) {
    for (const DateTime& t : {DateTime{1996, 1, 1, 0, 0, 0}, DateTime{2059, 12, 31, 23, 59, 59},
                              DateTime{2005, 3, 1, 12, 30, 15}})
        EXPECT_EQ(unpackEventTime(packEventTime(t)), t);
    EXPECT_EQ(packEventTime({2005, 3, 1, 12, 30, 15}),
              (9u << 26) | (3u << 22) | (1u << 17) | (12u << 12) | (30u << 6) | 15u);
}

TEST(EventFile, WriteReplacesTheWholeFileAndAnEmptyListEmptiesIt) {
    TempFolder folder;
    const std::string path = folder.file(kEventFileName);
    const auto two = fileOf({{{2005, 3, 1, 12, 30, 15}, 4, 0x82}, {{2005, 3, 2, 1, 0, 0}, 1, 0x84}});
    ASSERT_TRUE(writeEventFile(path, two));
    EXPECT_EQ(readEventFile(path), two);
    ASSERT_TRUE(writeEventFile(path, {}));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(readEventFile(path).empty());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    // A folder that does not exist: reported, nothing written.
    EXPECT_FALSE(writeEventFile(folder.file("missing/AlarmEvent.am"), two));
    EXPECT_TRUE(readEventFile(folder.file("missing/AlarmEvent.am")).empty());
}

TEST(EventListController, FiltersSortsAndPicksOnTheShownRows) {
    EventListController list;
    list.load(fileOf({{{2005, 3, 2, 8, 0, 0}, 2, 0x84},
                      {{2005, 3, 1, 12, 30, 15}, 0, 0x80},
                      {{2005, 3, 1, 9, 0, 0}, 2, 0x80}}));
    ASSERT_EQ(list.rows().size(), 3u);
    EXPECT_EQ(list.rows()[0].channel, 3);  // file order by default

    list.setSort(EventColumn::Time);
    EXPECT_EQ(list.rows()[0].timeText, "[ 2005/03/01 ] 09:00:00");
    EXPECT_EQ(list.rows()[2].timeText, "[ 2005/03/02 ] 08:00:00");
    list.setSort(EventColumn::Channel, true);
    EXPECT_EQ(list.rows()[0].fileIndex, 0u);  // equal channels keep file order
    EXPECT_EQ(list.rows()[1].fileIndex, 2u);

    list.setChannelFilter(3);
    list.setTypeFilter(uint8_t{0x80});
    ASSERT_EQ(list.rows().size(), 1u);
    EXPECT_EQ(list.pick(0), packEventTime({2005, 3, 1, 9, 0, 0}));
    EXPECT_FALSE(list.pick(1));

    list.setChannelFilter(0);
    list.setTypeFilter(std::nullopt);
    list.setSort(std::nullopt);
    EXPECT_EQ(list.rows()[1].channelText, "CH1");
    EXPECT_EQ(list.totalRows(), 3u);

    list.clear();
    EXPECT_TRUE(list.rows().empty());
    EXPECT_FALSE(list.pick(0));
}

}  // namespace
}  // namespace dvr::playback
