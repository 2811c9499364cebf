// The playback reader and the player engine together on files from the backup writer: what the
// navigation buttons, the slider and playing in both directions deliver.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "player/engine/PlaySettings.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/PlaybackReader.h"
#include "player/media/PlaybackThread.h"
#include "tests/player/media/MediaTestSupport.h"

namespace dvr::player {
namespace {

using media::PlayMode;
using testing::RecordingSink;
using testing::SinkEvent;
using testsupport::TempFolder;

// A file larger than the trailing area: 4 channels, one group of 4 records every 2 s for 90 s.
zavgen::GeneratorOptions playOptions() {
    auto o = testing::quickOptions();
    o.durationSeconds = 90;
    o.groupIntervalSeconds = 2;
    o.codestreamBytes = 12000;
    return o;
}

// The reader and the engine (unpaced unless asked) stepped on the test's thread.
struct Player {
    media::PlaybackShared shared;
    RecordingSink sink{shared};
    media::ManualPlaybackClock clock;
    PlayerEngine engine;
    media::PlaybackReader reader{shared, sink, engine, clock};
    media::ScanResult scan;

    explicit Player(const std::string& path, bool paced = false)
        : engine(shared, sink, clock, {.paced = paced}) {
        testing::MessageList messages;
        const auto outcome = media::openAndScan(path, messages);
        EXPECT_TRUE(outcome.ok());
        scan = outcome.result;
        reader.start(media::FileByteSource::open(path), scan.endOffset);
    }
    // Steps until the thread pauses (or ends); false when it did neither.
    bool runToPause() {
        for (int i = 0; i < 2000000; ++i) {
            if (!reader.step())
                return true;
            if (shared.mode() == PlayMode::Pause)
                return true;
        }
        return false;
    }
    // The slider moved to `slider` (0 to 710) and the seek played to its pause: the pictures it showed.
    std::vector<uint64_t> seekTo(int slider) {
        shared.sliderPosition.store(slider);
        shared.setMode(PlayMode::Seek);
        EXPECT_TRUE(runToPause());
        return take();
    }
    // Pictures delivered since the last call.
    std::vector<uint64_t> take() {
        auto offsets = sink.pictureOffsets();
        sink.clear();
        return offsets;
    }
};

std::vector<uint64_t> slice(const std::vector<uint64_t>& all, size_t from, size_t count) {
    return {all.begin() + std::ptrdiff_t(from), all.begin() + std::ptrdiff_t(from + count)};
}

std::vector<uint64_t> reversed(std::vector<uint64_t> v) {
    std::reverse(v.begin(), v.end());
    return v;
}

TEST(PlaybackEngine, StartShowsTheFirstGroupAndPauses) {
    TempFolder dir;
    for (const int framesPerGroup : {4, 1, 0}) {
        auto o = playOptions();
        o.framesPerGroup = framesPerGroup;
        zavgen::GeneratorReport report;
        Player p(testing::writeBackup(dir, "start.zav", o, &report));
        ASSERT_TRUE(p.runToPause());
        // The first record, then one group from the data start; a group byte of 1 counts as 2.
        const size_t group = framesPerGroup == 1 ? 2 : framesPerGroup == 0 ? 1 : 4;
        std::vector<uint64_t> expected{report.pictureOffsets[0]};
        const auto firstGroup = slice(report.pictureOffsets, 0, group);
        expected.insert(expected.end(), firstGroup.begin(), firstGroup.end());
        EXPECT_EQ(p.take(), expected) << framesPerGroup;

        // The arrow keys step one group each way.
        p.shared.playMode.store(PlayMode::StepForward);  // an arrow key: no request flag
        ASSERT_TRUE(p.runToPause());
        EXPECT_EQ(p.take(), slice(report.pictureOffsets, group, group));
    }
}

TEST(PlaybackEngine, ForwardPlayDeliversEveryPictureThenShowsTheEndBackwards) {
    TempFolder dir;
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "forward.zav", playOptions(), &report));
    ASSERT_GT(report.fileSize, 2 * 655360u);
    ASSERT_TRUE(p.runToPause());
    p.take();
    p.shared.setMode(PlayMode::Forward);
    ASSERT_TRUE(p.runToPause());
    EXPECT_EQ(p.sink.count(SinkEvent::AtEnd), 1);
    const auto delivered = p.take();

    // Every record after the first group in file order, up to the one whose end reaches the end offset;
    // then after END one picture from the last 128 KiB, and one group backwards from the first record
    // at the end offset.
    const auto& offsets = report.pictureOffsets;
    size_t last = 0;
    while (last + 1 < offsets.size() && offsets[last + 1] < p.scan.endOffset)
        ++last;
    ASSERT_EQ(delivered.size(), (last - 4 + 1) + 5);
    EXPECT_EQ(slice(delivered, 0, last - 3), slice(offsets, 4, last - 3));
    EXPECT_GE(delivered[last - 3], p.scan.fileSize - 131072);
    EXPECT_EQ(slice(delivered, last - 2, 4), reversed(slice(offsets, last - 2, 4)));
}

TEST(PlaybackEngine, BackwardPlayDeliversEveryPictureInReverseThenShowsTheStart) {
    TempFolder dir;
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "backward.zav", playOptions(), &report));
    ASSERT_TRUE(p.runToPause());
    p.take();
    p.shared.setMode(PlayMode::GoToEnd);
    ASSERT_TRUE(p.runToPause());
    const auto end = p.take();
    ASSERT_EQ(end.size(), 5u);
    p.shared.setMode(PlayMode::Backward);
    ASSERT_TRUE(p.runToPause());
    EXPECT_EQ(p.sink.count(SinkEvent::AtStart), 1);
    const auto delivered = p.take();

    // From the record before END's group down to the second (stepping back onto the data start is
    // reaching the start), then START's first picture and group.
    const auto it = std::find(report.pictureOffsets.begin(), report.pictureOffsets.end(), end.back());
    ASSERT_NE(it, report.pictureOffsets.end());
    const size_t index = size_t(it - report.pictureOffsets.begin());
    std::vector<uint64_t> expected = reversed(slice(report.pictureOffsets, 1, index - 1));
    expected.push_back(report.pictureOffsets[0]);
    const auto firstGroup = slice(report.pictureOffsets, 0, 4);
    expected.insert(expected.end(), firstGroup.begin(), firstGroup.end());
    EXPECT_EQ(delivered, expected);
}

TEST(PlaybackEngine, SeekingShowsOneGroupBackwardsFromTheTarget) {
    TempFolder dir;
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "seek.zav", playOptions(), &report));
    ASSERT_TRUE(p.runToPause());
    p.take();

    // Slider 0 lands on the data start: its first record, then nothing before it.
    auto delivered = p.seekTo(0);
    ASSERT_FALSE(delivered.empty());
    EXPECT_EQ(delivered.front(), report.pictureOffsets[0]);
    for (uint64_t offset : delivered)
        EXPECT_EQ(offset, report.pictureOffsets[0]);

    // Slider 710 names the file size; the search starts 128 KiB before it.
    delivered = p.seekTo(710);
    ASSERT_EQ(delivered.size(), 4u);
    EXPECT_GE(delivered.front(), p.scan.fileSize - 131072);
    for (size_t i = 1; i < delivered.size(); ++i)
        EXPECT_LT(delivered[i], delivered[i - 1]);

    // The middle of the slider: a group backwards from the first record after the target.
    delivered = p.seekTo(355);
    const int64_t target = seekTarget(355, p.scan.fileSize);
    ASSERT_EQ(delivered.size(), 4u);
    const auto first =
        std::lower_bound(report.pictureOffsets.begin(), report.pictureOffsets.end(), uint64_t(target));
    EXPECT_EQ(delivered.front(), *first);
}

// With pictures longer than 32 KiB, a step back from the first records falls before the data start: it
// stops at the first record (it used to search from the end of the file and show the last group).
TEST(PlaybackEngine, AStepBackAtTheStartStaysAtTheStartWithLongPictures) {
    TempFolder dir;
    auto o = playOptions();
    o.codestreamBytes = 40000;
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "long.zav", o, &report));
    ASSERT_TRUE(p.runToPause());
    p.take();
    // The left arrow after opening steps a group back among the first records, not to the file's end.
    p.shared.setMode(PlayMode::StepBackward);
    ASSERT_TRUE(p.runToPause());
    auto delivered = p.take();
    ASSERT_EQ(delivered.size(), 4u);
    for (uint64_t offset : delivered)
        EXPECT_LE(offset, report.pictureOffsets[4]);
    // Slider 0: the first record, then nothing before it.
    delivered = p.seekTo(0);
    ASSERT_FALSE(delivered.empty());
    for (uint64_t offset : delivered)
        EXPECT_EQ(offset, report.pictureOffsets[0]);
}

TEST(PlaybackEngine, BackwardPlayPassesOverDamagedRecords) {
    TempFolder dir;
    auto o = playOptions();
    o.corruptions = {{zavgen::Corruption::NoEndMarker, 10},
                     {zavgen::Corruption::ShortRecord, 20},
                     {zavgen::Corruption::ZeroSectorCount, 30},
                     {zavgen::Corruption::BrokenLink, 40}};
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "damaged.zav", o, &report));
    ASSERT_TRUE(p.runToPause());
    p.shared.setMode(PlayMode::GoToEnd);
    ASSERT_TRUE(p.runToPause());
    p.shared.setMode(PlayMode::Backward);
    ASSERT_TRUE(p.runToPause());
    EXPECT_EQ(p.sink.count(SinkEvent::AtStart), 1);
    for (const size_t damaged : {10u, 20u, 30u}) {
        const auto delivered = p.sink.pictureOffsets();
        EXPECT_EQ(std::count(delivered.begin(), delivered.end(), report.pictureOffsets[damaged]), 0)
            << damaged;
    }
}

TEST(PlaybackEngine, AnEmptyTailEndsPlayInsteadOfSearchingForEver) {
    // 700 KiB of zeros after the last record: the end offset lies among them, and the last 128 KiB hold
    // no header to find.
    TempFolder dir;
    auto o = playOptions();
    o.trailingZeroBytes = 700 * 1024;
    zavgen::GeneratorReport report;
    Player p(testing::writeBackup(dir, "tail.zav", o, &report));
    ASSERT_TRUE(p.runToPause());
    p.take();
    for (const PlayMode mode : {PlayMode::Forward, PlayMode::GoToEnd}) {
        p.sink.clear();
        p.shared.setMode(mode);
        ASSERT_TRUE(p.runToPause());
        EXPECT_EQ(p.sink.count(SinkEvent::AtEnd), 1);
        EXPECT_EQ(p.sink.count(SinkEvent::Message), 0);
    }
}

TEST(PlaybackEngine, PlayResumesAfterAPauseWhereItStopped) {
    // However long the pause, forward play goes on with the next record: the time spent paused is not
    // taken for lateness that skips records.
    TempFolder dir;
    zavgen::GeneratorReport report;
    const std::string path = testing::writeBackup(dir, "resume.zav", playOptions(), &report);
    struct Case {
        const char* name;
        media::ReaderState pausedIn;
        bool groupEnd;  // paused right after the last record of a group
    };
    const Case cases[] = {{"advance at a group's end", media::ReaderState::Advance, true},
                          {"advance inside a group", media::ReaderState::Advance, false},
                          {"scan", media::ReaderState::Scan, false}};
    for (const Case& c : cases) {
        Player p(path, /*paced=*/true);
        ASSERT_TRUE(p.runToPause());
        p.shared.setMode(PlayMode::Forward);
        // Play to the sixth record or later, then stop where the case says.
        bool reached = false;
        for (int i = 0; i < 100000 && !reached; ++i) {
            ASSERT_TRUE(p.reader.step());
            reached =
                p.sink.pictureOffsets().size() >= 10 && p.reader.state() == c.pausedIn &&
                (c.pausedIn != media::ReaderState::Advance || (p.engine.groupCounter() == 0) == c.groupEnd);
        }
        ASSERT_TRUE(reached) << c.name;
        const uint64_t lastShown = p.sink.pictureOffsets().back();
        p.shared.setMode(PlayMode::Pause);
        for (int i = 0; i < 2500; ++i)  // 10 s on the manual clock
            ASSERT_TRUE(p.reader.step());
        p.take();
        p.shared.setMode(PlayMode::Forward);
        for (int i = 0; i < 100000 && p.sink.pictureOffsets().empty(); ++i)
            ASSERT_TRUE(p.reader.step());
        const auto delivered = p.take();
        ASSERT_FALSE(delivered.empty()) << c.name;
        const auto it = std::find(report.pictureOffsets.begin(), report.pictureOffsets.end(), lastShown);
        ASSERT_NE(it + 1, report.pictureOffsets.end());
        EXPECT_EQ(delivered.front(), *(it + 1)) << c.name;
        EXPECT_EQ(p.sink.count(SinkEvent::AtEnd), 0) << c.name;
    }
}

TEST(PlaybackEngine, TheThreadPlaysWhileTheWindowPressesButtons) {
    TempFolder dir;
    auto o = playOptions();
    o.layoutFamily = 3;
    o.sound = true;
    const std::string path = testing::writeBackup(dir, "thread.zav", o);
    testing::MessageList messages;
    const auto outcome = media::openAndScan(path, messages);
    ASSERT_TRUE(outcome.ok());

    media::PlaybackShared shared;
    RecordingSink sink(shared);
    media::ManualPlaybackClock clock;
    PlayerEngine engine(shared, sink, clock);
    media::PlaybackThread thread(shared, sink, engine, clock);
    thread.start({path, outcome.result.channelCount, outcome.result.endOffset});
    auto waitForPause = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (shared.mode() != PlayMode::Pause || sink.count(SinkEvent::Picture) == 0) {
            if (std::chrono::steady_clock::now() > deadline || thread.ended())
                return false;
            std::this_thread::yield();
        }
        return true;
    };
    ASSERT_TRUE(waitForPause());
    const PlayMode presses[] = {PlayMode::Forward,      PlayMode::Pause,   PlayMode::FastForward,
                                PlayMode::Backward,     PlayMode::GoToEnd, PlayMode::Pause,
                                PlayMode::FastBackward, PlayMode::Seek,    PlayMode::Forward,
                                PlayMode::GoToStart};
    int round = 0;
    for (PlayMode mode : presses) {
        shared.speedIndex.store(round % 7);
        shared.delayIndex.store(1 + round % 2);
        shared.sliderPosition.store(round * 70);
        shared.soundOn.store(mode == PlayMode::Forward);
        shared.setMode(mode);
        for (int i = 0; i < 2000; ++i)
            std::this_thread::yield();
        ++round;
    }
    shared.soundOn.store(false);
    shared.setMode(PlayMode::GoToStart);
    ASSERT_TRUE(waitForPause());
    thread.stop();
    EXPECT_TRUE(thread.ended());
    EXPECT_EQ(sink.count(SinkEvent::Message), 0);
}

// A manual clock that holds the playback thread once a sleep brings it to 1 s, until the window's
// request is visible, and notes the time of the request and of the thread's last sleep in a delay
// wait after it.
class HoldingClock final : public media::PlaybackClock {
public:
    HoldingClock(const media::PlaybackShared& shared, std::function<bool()> requested)
        : m_shared(shared), m_requested(std::move(requested)) {}
    int64_t nowNs() override { return m_nowNs.load(); }
    void sleepMs(int64_t ms) override {
        m_nowNs.fetch_add(std::max<int64_t>(ms, 0) * 1000000);
        // Only the held thread's sleeps count, not those of a thread started after it.
        static thread_local const HoldingClock* t_held = nullptr;
        if (!m_holding.load() && m_nowNs.load() >= 1000000000) {
            t_held = this;
            m_holding.store(true);
            while (!m_requested())
                std::this_thread::yield();
            m_requestNs.store(m_nowNs.load());
        }
        if (t_held == this && m_shared.waiting.load())
            m_lastWaitSleepNs.store(m_nowNs.load());
        std::this_thread::yield();
    }
    bool holding() const { return m_holding.load(); }
    // Fake time the delay wait went on after the request.
    int64_t waitedAfterRequestNs() const { return m_lastWaitSleepNs.load() - m_requestNs.load(); }

private:
    const media::PlaybackShared& m_shared;
    std::function<bool()> m_requested;
    std::atomic<int64_t> m_nowNs{0};
    std::atomic<bool> m_holding{false};
    std::atomic<int64_t> m_requestNs{-1};
    std::atomic<int64_t> m_lastWaitSleepNs{-1};
};

TEST(PlaybackEngine, PauseStopAndAnotherFileEndTheLongestDelayWait) {
    // A frames-per-group byte of 255 at 50 fields per second and delay index 6: the wait after the
    // first record is 32 x 255 / 50 = 163.2 s.
    TempFolder dir;
    auto o = playOptions();
    o.durationSeconds = 12;
    o.pal = true;
    o.framesPerGroup = 255;
    const std::string slow = testing::writeBackup(dir, "slow.zav", o);
    zavgen::GeneratorReport otherReport;
    const std::string other = testing::writeBackup(dir, "other.zav", playOptions(), &otherReport);
    ASSERT_FALSE(slow.empty());
    ASSERT_FALSE(other.empty());
    testing::MessageList messages;
    const auto scan = media::openAndScan(slow, messages);
    ASSERT_TRUE(scan.ok());

    enum class Request { Pause, Stop, OpenAnother };
    for (const Request request : {Request::Pause, Request::Stop, Request::OpenAnother}) {
        SCOPED_TRACE(int(request));
        media::PlaybackShared shared;
        RecordingSink sink(shared);
        HoldingClock clock(shared,
                           [&] { return shared.runFlag.load() == 0 || shared.mode() == PlayMode::Pause; });
        PlayerEngine engine(shared, sink, clock);
        media::PlaybackThread thread(shared, sink, engine, clock);
        shared.delayIndex.store(6);
        thread.start({slow, scan.result.channelCount, scan.result.endOffset});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!clock.holding() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_TRUE(clock.holding());
        EXPECT_TRUE(shared.waiting.load());
        EXPECT_EQ(sink.count(SinkEvent::Picture), 1);

        switch (request) {
            case Request::Pause:
                shared.setMode(PlayMode::Pause);
                while (shared.waiting.load() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                EXPECT_FALSE(shared.waiting.load());
                EXPECT_EQ(shared.mode(), PlayMode::Pause);
                thread.stop();
                break;
            case Request::Stop:
                thread.stop();
                break;
            case Request::OpenAnother: {
                sink.clear();
                thread.start({other, 4, 0});
                // The other file's first picture arrives.
                while (sink.pictureOffsets().empty() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                const auto delivered = sink.pictureOffsets();
                ASSERT_FALSE(delivered.empty());
                EXPECT_EQ(delivered.front(), otherReport.pictureOffsets.front());
                thread.stop();
                break;
            }
        }
        if (request != Request::OpenAnother) {
            EXPECT_NEAR(engine.lastDelayWaitSeconds(), 163.2, 1e-9);
        }
        EXPECT_GE(clock.waitedAfterRequestNs(), 0);
        EXPECT_LE(clock.waitedAfterRequestNs(), 1000000);
    }
}

}  // namespace
}  // namespace dvr::player
