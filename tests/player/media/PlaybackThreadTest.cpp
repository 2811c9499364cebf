#include "player/media/PlaybackThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/player/media/MediaTestSupport.h"

namespace dvr::media {
namespace {

using testing::RecordingSink;
using testing::SinkEvent;
using testing::TempDir;

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

template <typename Condition>
bool waitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(PlaybackThread, RunsUntilStoppedWhileTheWindowChangesTheSharedWords) {
    TempDir dir;
    auto o = testing::quickOptions();
    o.layoutFamily = 3;
    o.sound = true;
    const std::string path = testing::writeBackup(dir, "loop.zav", o);

    PlaybackShared shared;
    RecordingSink sink(shared);
    LoopRules rules(shared);
    ManualPlaybackClock clock;
    PlaybackThread thread(shared, sink, rules, clock);
    for (int round = 0; round < 3; ++round) {
        sink.clear();
        thread.start({path, 4, 0});
        EXPECT_TRUE(thread.started());
        ASSERT_TRUE(waitFor([&] { return sink.count(SinkEvent::Picture) > 20; }));
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
    }
    EXPECT_EQ(sink.count(SinkEvent::Message), 0);
}

TEST(PlaybackThread, EndsByItselfWhenTheFileCannotBeRead) {
    TempDir dir;
    PlaybackShared shared;
    RecordingSink sink(shared);
    LoopRules rules(shared);
    ManualPlaybackClock clock;
    PlaybackThread thread(shared, sink, rules, clock);
    thread.start({dir.file("missing.zav"), 16, 0});
    ASSERT_TRUE(waitFor([&] { return thread.ended(); }));
    EXPECT_EQ(shared.mode(), PlayMode::Pause);
    thread.stop();
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "Can not read ZAV file. ");
}

}  // namespace
}  // namespace dvr::media
