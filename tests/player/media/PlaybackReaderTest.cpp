#include "player/media/PlaybackReader.h"

#include <gtest/gtest.h>

#include "tests/player/media/MediaTestSupport.h"
#include "tools/zavgen/BackupWriter.h"

namespace dvr::media {
namespace {

using testing::CountingSource;
using testing::RecordingSink;
using testing::SinkEvent;
using testsupport::TempFolder;

// Reads straight on through the file and pauses at its end: the reader's own behaviour without the
// player's modes.
class StraightRules final : public PlaybackRules {
public:
    explicit StraightRules(PlaybackShared& shared) : m_shared(shared) {}
    void begin(uint64_t fileSize, uint64_t) override { m_fileSize = fileSize; }
    void resync() override {}
    int64_t seek() override { return 65536; }
    void afterPicture(const RecordContext&, int64_t&) override {}
    void afterDroppedRecord(const RecordContext&, int64_t&) override {}
    void advance(const RecordContext&, int64_t& position) override {
        if (uint64_t(position) >= m_fileSize)
            m_shared.setMode(PlayMode::Pause);
    }
    bool soundPictureAllowed(const RecordContext&) override { return true; }

private:
    PlaybackShared& m_shared;
    uint64_t m_fileSize = 0;
};

struct Harness {
    PlaybackShared shared;
    RecordingSink sink{shared};
    StraightRules rules{shared};
    ManualPlaybackClock clock;
    PlaybackReader reader{shared, sink, rules, clock};
    const CountingSource* source = nullptr;

    void start(const std::string& path) {
        auto counting = std::make_unique<CountingSource>(FileByteSource::open(path));
        source = counting.get();
        reader.start(std::move(counting), 0);
    }
    // Steps until the reader pauses, ends or goes back to the start of the file; false when it ended.
    bool run() {
        int64_t last = reader.position();
        for (int i = 0; i < 1000000; ++i) {
            if (!reader.step())
                return false;
            if (shared.mode() == PlayMode::Pause || reader.position() < last)
                return true;
            last = reader.position();
        }
        ADD_FAILURE() << "the reader neither paused nor ended";
        return false;
    }
};

zavgen::BackupRecord pictureRecord(std::span<const uint8_t> codestream, uint32_t channel = 0) {
    zavgen::BackupRecord shape;
    shape.codestream = codestream;
    shape.channel = channel;
    shape.time = {30, 1, 1, 0, 0, 0};
    return shape;
}

TEST(PlaybackReader, DeliversEveryGoodRecordOnceAndPassesOverDamagedOnes) {
    TempFolder dir;
    auto o = testing::quickOptions();
    o.corruptions = {{zavgen::Corruption::ZeroSectorCount, 1}, {zavgen::Corruption::HugeSectorCount, 3},
                     {zavgen::Corruption::ShortRecord, 5},     {zavgen::Corruption::NoEndMarker, 6},
                     {zavgen::Corruption::GarbageSectors, 8},  {zavgen::Corruption::UnknownHeader, 9}};
    zavgen::GeneratorReport report;
    const std::string path = testing::writeBackup(dir, "damaged.zav", o, &report);
    Harness h;
    h.start(path);
    h.run();

    std::vector<uint64_t> expected;
    for (size_t i = 0; i < report.pictureOffsets.size(); ++i)
        if (i != 1 && i != 3 && i != 5 && i != 6)
            expected.push_back(report.pictureOffsets[i]);
    EXPECT_EQ(h.sink.pictureOffsets(), expected);
    EXPECT_TRUE(h.sink.codestreamsEndWithMarker);
    // Every header, the damaged ones included, is read once; the first 64 KiB never.
    for (uint64_t offset : report.pictureOffsets)
        EXPECT_EQ(h.source->readsAt(offset), 1) << offset;
    EXPECT_GE(h.source->lowestOffset(), 65536u);
}

TEST(PlaybackReader, RecordsOfOneToSixSectorsCarryNoPicture) {
    TempFolder dir;
    // 512 + 16 + 2900 bytes: a record of 7 sectors.
    const auto codestream = zavgen::placeholderCodestream(2900, 1);
    for (uint32_t sectors = 1; sectors <= 7; ++sectors) {
        const std::string path = dir.file("short.zav");
        zavgen::BackupWriter writer;
        ASSERT_TRUE(writer.open(path));
        auto shape = pictureRecord(codestream, 3);
        shape.sectorCountOverride = sectors;
        const uint64_t first = writer.writeRecord(shape);
        const uint64_t second = writer.writeRecord(pictureRecord(codestream, 4));
        ASSERT_EQ(second - first, 7u * 512);
        ASSERT_TRUE(writer.close());
        Harness h;
        h.start(path);
        h.run();
        // The search goes on from the sector after a short record's header and finds the next record.
        const std::vector<uint64_t> expected =
            sectors == 7 ? std::vector<uint64_t>{first, second} : std::vector<uint64_t>{second};
        EXPECT_EQ(h.sink.pictureOffsets(), expected) << sectors;
    }
}

TEST(PlaybackReader, EndMarkerSearchStarts32BytesBeforeThePictureLength) {
    TempFolder dir;
    const auto codestream = zavgen::placeholderCodestream(4000, 2);
    // The marker's second byte sits at index 3999: found from a picture length up to 3999 + 32.
    const std::pair<uint32_t, bool> cases[] = {{4000, true}, {4031, true}, {4032, false}, {5000, false},
                                               {100, true},  {32, true},   {31, false}};
    for (const auto& [length, found] : cases) {
        const std::string path = dir.file("marker.zav");
        zavgen::BackupWriter writer;
        ASSERT_TRUE(writer.open(path));
        auto shape = pictureRecord(codestream);
        shape.pictureLengthOverride = length;
        const uint64_t offset = writer.writeRecord(shape);
        ASSERT_TRUE(writer.close());
        Harness h;
        h.start(path);
        h.run();
        EXPECT_EQ(h.sink.pictureOffsets(), found ? std::vector<uint64_t>{offset} : std::vector<uint64_t>{})
            << length;
    }
}

TEST(PlaybackReader, AShortHeaderReadEndsTheThreadWithItsMessage) {
    TempFolder dir;
    const std::string path = dir.file("cut.zav");
    zavgen::BackupWriter writer;
    ASSERT_TRUE(writer.open(path));
    const auto codestream = zavgen::placeholderCodestream(4000, 2);
    writer.writeRecord(pictureRecord(codestream));
    ASSERT_TRUE(writer.close());
    // A file cut inside its last sector.
    std::FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_TRUE(f);
    std::fputs("a partial sector", f);
    std::fclose(f);

    Harness h;
    h.start(path);
    h.shared.setMode(PlayMode::Forward);
    EXPECT_FALSE(h.run());
    EXPECT_EQ(h.shared.mode(), PlayMode::Pause);
    const auto events = h.sink.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, SinkEvent::Picture);
    EXPECT_EQ(events[1].kind, SinkEvent::Message);
    EXPECT_EQ(events[1].text, "Can not read ZAV file. ");
}

TEST(PlaybackReader, WithSoundOnThreeSectorRecordsAreSoundOnlyAndOnlySoundPicturesShow) {
    TempFolder dir;
    const std::string path = dir.file("sound.zav");
    zavgen::BackupWriter writer;
    ASSERT_TRUE(writer.open(path));
    const auto codestream = zavgen::placeholderCodestream(4000, 2);
    auto sound = [](uint32_t sequence, uint32_t type) {
        zavgen::BackupRecord shape;
        shape.time = {30, 1, 1, 0, 0, 0};
        shape.soundType = type;
        shape.soundMask = 0x3;
        shape.soundSequence = sequence;
        return shape;
    };
    writer.writeRecord(sound(1, kSoundOnly));
    writer.writeRecord(sound(2, kSoundTrailingBlock));  // 3 sectors: sound only whatever its type says
    writer.writeRecord(sound(2, kSoundOnly));           // not a new block
    auto picture = [&](uint32_t channel, uint32_t sequence, uint32_t type) {
        auto shape = pictureRecord(codestream, channel);
        shape.soundType = type;
        shape.soundMask = 0x3;
        shape.soundSequence = sequence;
        return shape;
    };
    const uint64_t shown = writer.writeRecord(picture(2, 3, kSoundTrailingBlock));
    writer.writeRecord(picture(5, 4, kSoundTrailingBlock));  // another channel: sound only
    writer.writeRecord(picture(2, 0, 0));                    // no sound block: not shown with sound on
    ASSERT_TRUE(writer.close());

    for (const bool soundOn : {true, false}) {
        Harness h;
        h.shared.soundOn.store(soundOn);
        h.shared.selectedChannel.store(2);
        h.start(path);
        h.run();
        h.reader.finish();
        int sounds = 0;
        std::vector<uint32_t> types;
        for (const auto& e : h.sink.events()) {
            if (e.kind == SinkEvent::Sound) {
                ++sounds;
                types.push_back(e.soundType);
                EXPECT_EQ(e.value, 1024);
            }
        }
        if (soundOn) {
            EXPECT_EQ(types, (std::vector<uint32_t>{kSoundOnly, kSoundOnly, kSoundTrailingBlock,
                                                    kSoundTrailingBlock}));
            EXPECT_EQ(h.sink.pictureOffsets(), std::vector<uint64_t>{shown});
        } else {
            EXPECT_EQ(sounds, 0);
            EXPECT_EQ(h.sink.pictureOffsets().size(), 3u);
        }
    }
}

}  // namespace
}  // namespace dvr::media
