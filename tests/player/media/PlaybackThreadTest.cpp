#include "player/media/PlaybackThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "tests/player/media/MediaTestSupport.h"
#include "tests/support/Wait.h"

namespace dvr::media {
namespace {

using testing::RecordingSink;
using testing::SinkEvent;
using testsupport::TempFolder;

// Plays the file round and round (back to the start at its end) until stopped.
class LoopRules final : public PlaybackRules {
public:
    explicit LoopRules(PlaybackShared& shared) : m_shared(shared) {}
    void begin(uint64_t, uint64_t) override {}
    void resync() override {}
    int64_t seek() override { return 65536; }
    void afterPicture(const RecordContext&, int64_t&) override {}
    void afterDroppedRecord(const RecordContext&, int64_t&) override {}
    void advance(const RecordContext&, int64_t&) override {}
    bool soundPictureAllowed(const RecordContext&) override { return true; }

private:
    PlaybackShared& m_shared;
};

TEST(PlaybackThread, DeliversTheRecordsInFileOrderRoundAndRound) {
    TempFolder dir;
    auto o = testing::quickOptions();
    o.durationSeconds = 12;
    zavgen::GeneratorReport report;
    const std::string path = testing::writeBackup(dir, "order.zav", o, &report);
    const auto& offsets = report.pictureOffsets;
    ASSERT_GT(offsets.size(), 4u);

    PlaybackShared shared;
    RecordingSink sink(shared);
    LoopRules rules(shared);
    ManualPlaybackClock clock;
    PlaybackThread thread(shared, sink, rules, clock);
    // Go to start stays the mode (these rules change nothing): the file is read from the data start
    // and again from there at its end.
    thread.start({path, 4, 0});
    const size_t wanted = 2 * offsets.size() + 3;
    ASSERT_TRUE(testsupport::waitUntil([&] { return sink.pictureOffsets().size() >= wanted; }));
    thread.stop();

    const auto events = sink.events();
    size_t picture = 0;
    for (const SinkEvent& e : events) {
        ASSERT_EQ(e.kind, SinkEvent::Picture) << "event " << picture;
        EXPECT_EQ(e.offset, offsets[picture % offsets.size()]) << "picture " << picture;
        EXPECT_EQ(e.mode, PlayMode::GoToStart);
        ++picture;
    }
    EXPECT_GE(picture, wanted);
    EXPECT_TRUE(sink.codestreamsEndWithMarker);
}

TEST(PlaybackThread, RunsUntilStoppedWhileTheWindowChangesTheSharedWords) {
    TempFolder dir;
    auto o = testing::quickOptions();
    o.layoutFamily = 3;
    o.sound = true;
    zavgen::GeneratorReport report;
    const std::string path = testing::writeBackup(dir, "loop.zav", o, &report);

    PlaybackShared shared;
    RecordingSink sink(shared);
    LoopRules rules(shared);
    ManualPlaybackClock clock;
    PlaybackThread thread(shared, sink, rules, clock);
    for (int round = 0; round < 3; ++round) {
        sink.clear();
        thread.start({path, 4, 0});
        EXPECT_TRUE(thread.started());
        ASSERT_TRUE(testsupport::waitUntil([&] { return sink.count(SinkEvent::Picture) > 20; }));
        // Sound is off: the first pictures are the file's, in its order, and no sound block.
        const auto first = sink.pictureOffsets();
        for (size_t i = 0; i < 20; ++i)
            EXPECT_EQ(first[i], report.pictureOffsets[i]) << "round " << round << ", picture " << i;
        EXPECT_EQ(sink.count(SinkEvent::Sound), 0);
        // The window's side: sound on and off (the thread starts and stops its read-ahead worker), the
        // selected channel, the indices, pause and play.
        for (int i = 0; i < 200; ++i) {
            shared.soundOn.store(i % 50 < 25);
            shared.selectedChannel.store(i % 4);
            shared.speedIndex.store(i % 7);
            shared.delayIndex.store(1 + i % 6);
            shared.sliderPosition.store(i);
            shared.setMode(i % 20 == 0 ? PlayMode::Pause : PlayMode::GoToStart);
            std::this_thread::yield();
        }
        shared.setMode(PlayMode::GoToStart);
        thread.stop();
        EXPECT_EQ(shared.runFlag.load(), 0);
        EXPECT_TRUE(thread.ended());
        // Whatever was delivered is one of the file's pictures.
        for (uint64_t offset : sink.pictureOffsets())
            EXPECT_TRUE(std::count(report.pictureOffsets.begin(), report.pictureOffsets.end(), offset))
                << offset;
    }
    EXPECT_EQ(sink.count(SinkEvent::Message), 0);
}

TEST(PlaybackThread, EndsByItselfWhenTheFileCannotBeRead) {
    TempFolder dir;
    PlaybackShared shared;
    RecordingSink sink(shared);
    LoopRules rules(shared);
    ManualPlaybackClock clock;
    PlaybackThread thread(shared, sink, rules, clock);
    thread.start({dir.file("missing.zav"), 16, 0});
    ASSERT_TRUE(testsupport::waitUntil([&] { return thread.ended(); }));
    EXPECT_EQ(shared.mode(), PlayMode::Pause);
    thread.stop();
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "Can not read ZAV file. ");
}

}  // namespace
}  // namespace dvr::media
