#include "player/engine/PlayerEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "player/engine/PlaySettings.h"
#include "tests/player/media/MediaTestSupport.h"

namespace dvr::player {
namespace {

using media::PlayMode;
using testing::RecordingSink;
using testing::SinkEvent;

TEST(PlaySettings, StepsHoldAtTheEndsOfTheTables) {
    EXPECT_EQ(speedUp(kMaxSpeedIndex), kMaxSpeedIndex);
    EXPECT_EQ(speedUp(2), 3);
    EXPECT_EQ(speedDown(kMinSpeedIndex), kMinSpeedIndex);
    EXPECT_EQ(delayUp(kMaxDelayIndex), kMaxDelayIndex);
    EXPECT_EQ(delayDown(kMinDelayIndex), kMinDelayIndex);
    EXPECT_EQ(delayDown(3), 2);
    // Out of range: no label, and the offsets and delay of the nearest end.
    EXPECT_EQ(speedLabel(kMaxSpeedIndex + 1), "");
    EXPECT_EQ(delayLabel(kMinDelayIndex - 1), "");
    EXPECT_EQ(skipLabel(kMaxSkipIndex + 1), "");
    EXPECT_EQ(fastForwardOffsetSeconds(99), fastForwardOffsetSeconds(kMaxSpeedIndex));
    EXPECT_EQ(delayValue(0), delayValue(kMinDelayIndex));
}

TEST(PlaySettings, SliderMappingAndSeekTarget) {
    const uint64_t size = 700ull * 1024 * 1024;
    struct Case {
        int64_t position;
        int slider;
    };
    const Case cases[] = {
        {0, 0}, {int64_t(size / 100), 7}, {int64_t(size / 2), 355}, {int64_t(size), 710}, {-5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(sliderValue(c.position, size), c.slider) << c.position;
    EXPECT_EQ(sliderValue(50, 99), 0);  // no hundredth to divide by

    EXPECT_EQ(seekTarget(0, size), 65536);
    EXPECT_EQ(seekTarget(710, size), int64_t(size));
    const int64_t middle = seekTarget(355, size);
    EXPECT_EQ(middle % 512, 0);
    EXPECT_NEAR(double(middle), (double(size) - 65536) / 2 + 65536, 512);
}

// The engine on one synthetic record: 4 records per group, 15 fields of display time at 60 fields per
// second (T = 0.25 s), 10 sectors after the header.
struct EngineFixture : ::testing::Test {
    static constexpr uint64_t kFileSize = 64ull << 20;
    static constexpr uint64_t kEndOffset = kFileSize - 655360;

    media::PlaybackShared shared;
    RecordingSink sink{shared};
    media::ManualPlaybackClock clock;
    PlayerEngine engine{shared, sink, clock};
    media::BackupHeader header;
    uint64_t headerPosition = 10 << 20;

    void SetUp() override {
        header.layoutCode = 0x20016;
        header.groupWord = 4;
        header.frameIntervalFields = 15;
        header.videoStandard = 0xFFFF0000;
        header.pictureLength = 4000;
        header.sectorCount = 11;
        header.previousSectorLow = 1000;
        header.sectorLow = 1040;
        shared.runFlag.store(1);
        engine.begin(kFileSize, kEndOffset);
    }
    media::RecordContext record() const { return {&header, headerPosition, header.sectorCount - 1}; }
    int64_t after() const { return int64_t(headerPosition + header.sectorCount * 512); }

    // One picture delivered and its Advance; returns the position Advance leaves.
    int64_t deliver() {
        int64_t position = after();
        engine.afterPicture(record(), position);
        engine.advance(record(), position);
        return position;
    }
    // Plays whole groups in a mode after a resynchronisation; returns the milliseconds slept by the last.
    int64_t sleptInLastOfGroups(PlayMode mode, int groups, int64_t* lastPosition = nullptr) {
        shared.setMode(mode);
        engine.resync();
        int64_t slept = 0;
        for (int g = 0; g < groups; ++g) {
            const int64_t before = clock.sleptMs();
            for (int r = 0; r < 4; ++r) {
                const int64_t position = deliver();
                if (lastPosition)
                    *lastPosition = position;
            }
            slept = clock.sleptMs() - before;
        }
        return slept;
    }
};

TEST_F(EngineFixture, StepModesMoveOneGroupThenPause) {
    // Go to start: one picture anywhere, then from the data start one group forwards.
    shared.setMode(PlayMode::GoToStart);
    EXPECT_EQ(deliver(), 65536);
    EXPECT_EQ(shared.mode(), PlayMode::StepForward);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(deliver(), after());
        EXPECT_EQ(shared.mode(), PlayMode::StepForward);
    }
    deliver();
    EXPECT_EQ(shared.mode(), PlayMode::Pause);
    EXPECT_EQ(engine.groupCounter(), 0);

    // Without grouping a step is one picture.
    header.groupWord = 0;
    shared.setMode(PlayMode::StepForward);
    deliver();
    EXPECT_EQ(shared.mode(), PlayMode::Pause);
}

// The window's buttons win over the playback thread's own moves: play pressed while the opening group is
// shown (just before its last picture pauses), or while the thread leaves for the start or the end,
// stays pressed instead of being overwritten.
TEST_F(EngineFixture, AModeSetWhileTheThreadMovesOnIsKept) {
    shared.setMode(PlayMode::StepForward);
    for (int r = 0; r < 3; ++r)
        deliver();
    // The press lands while the group's last picture is handed over, before the pause is set.
    engine.setBeforePause([&] { shared.setMode(PlayMode::Forward); });
    deliver();
    EXPECT_EQ(shared.mode(), PlayMode::Forward);
    engine.setBeforePause(nullptr);

    // Untouched, the same step still pauses.
    shared.setMode(PlayMode::StepForward);
    for (int r = 0; r < 4; ++r)
        deliver();
    EXPECT_EQ(shared.mode(), PlayMode::Pause);

    // A move the thread makes only from the mode it saw: from the start or the end, from a seek, at the
    // end of forward play.
    EXPECT_FALSE(shared.moveMode(PlayMode::GoToStart, PlayMode::StepForward));
    EXPECT_EQ(shared.mode(), PlayMode::Pause);
    shared.setMode(PlayMode::Backward);
    EXPECT_FALSE(shared.moveMode(PlayMode::Forward, PlayMode::GoToEnd));
    EXPECT_EQ(shared.mode(), PlayMode::Backward);
    const uint32_t changes = shared.modeChanges.load();
    shared.requestFlag.store(0);
    EXPECT_TRUE(shared.moveMode(PlayMode::Backward, PlayMode::GoToStart));
    EXPECT_EQ(shared.mode(), PlayMode::GoToStart);
    EXPECT_EQ(shared.modeChanges.load(), changes + 1);
    EXPECT_EQ(shared.requestFlag.load(), 1);
}

TEST_F(EngineFixture, StepBackwardFollowsTheLinkOrFallsBackByTwicePictureLength) {
    struct Case {
        uint32_t previous, self;
        int64_t expected;
    };
    const int64_t link = int64_t(headerPosition) - 40 * 512;
    const int64_t fallback = int64_t(headerPosition) - ((2 * 4000 - 1) & ~511);
    const Case cases[] = {
        {1000, 1040, link},     {1040, 1040, int64_t(headerPosition)},  // not smaller: the link is taken
        {2000, 1040, fallback},                                         // the link points forward
        {0, 1040, fallback},                                            // no link
        {1000, 0, fallback},                                            // no sector number
    };
    for (const auto& c : cases) {
        header.previousSectorLow = c.previous;
        header.sectorLow = c.self;
        shared.setMode(PlayMode::StepBackward);
        EXPECT_EQ(deliver(), c.expected) << c.previous << " " << c.self;
    }

    // Sector numbers are 64 bits: a link across a change of the high word goes back as far as it says,
    // and one whose high words alone differ leads before the file, not back to this record.
    header.previousSectorHigh = 0;
    header.previousSectorLow = 0xFFFFFFF0;
    header.sectorHigh = 1;
    header.sectorLow = 4;
    shared.setMode(PlayMode::StepBackward);
    EXPECT_EQ(deliver(), int64_t(headerPosition) - 20 * 512);
    header.previousSectorLow = 1040;
    header.sectorLow = 1040;
    shared.setMode(PlayMode::StepBackward);
    EXPECT_EQ(deliver(), 65536);
    // Backward play on such a record reaches the start instead of playing it for ever.
    shared.setMode(PlayMode::Backward);
    engine.resync();
    for (int r = 0; r < 8 && shared.mode() == PlayMode::Backward; ++r)
        deliver();
    EXPECT_EQ(shared.mode(), PlayMode::GoToStart);
    EXPECT_EQ(sink.count(SinkEvent::AtStart), 1);
}

TEST_F(EngineFixture, GoToEndAndSeekShowOneGroupBackwards) {
    shared.setMode(PlayMode::GoToEnd);
    EXPECT_EQ(deliver(), int64_t(kEndOffset));
    EXPECT_EQ(shared.mode(), PlayMode::StepBackward);

    shared.sliderPosition.store(355);
    shared.setMode(PlayMode::Seek);
    EXPECT_EQ(deliver(), seekTarget(355, kFileSize));
    EXPECT_EQ(shared.mode(), PlayMode::StepBackward);
    for (int r = 0; r < 4; ++r)
        deliver();
    EXPECT_EQ(shared.mode(), PlayMode::Pause);

    // A step before the record area stops at its first record.
    header.previousSectorLow = 0;
    header.pictureLength = 40000;
    headerPosition = 65536 + 512;
    shared.setMode(PlayMode::StepBackward);
    EXPECT_EQ(deliver(), 65536);
    EXPECT_EQ(shared.mode(), PlayMode::StepBackward);
}

TEST_F(EngineFixture, ForwardPlayReachingTheEndOffsetGoesToEnd) {
    shared.setMode(PlayMode::Forward);
    engine.begin(kFileSize, headerPosition + 512);
    EXPECT_EQ(deliver(), int64_t(kFileSize));
    EXPECT_EQ(shared.mode(), PlayMode::GoToEnd);
    EXPECT_EQ(sink.count(SinkEvent::AtEnd), 1);
}

TEST_F(EngineFixture, BackwardPlayStepsBackAndStopsAtTheStart) {
    PlayerEngine unpaced(shared, sink, clock, {.paced = false});
    unpaced.begin(kFileSize, kEndOffset);
    auto step = [&] {
        int64_t position = after();
        unpaced.afterPicture(record(), position);
        unpaced.advance(record(), position);
        return position;
    };
    shared.setMode(PlayMode::Backward);
    EXPECT_EQ(step(), int64_t(headerPosition) - 40 * 512);
    header.previousSectorLow = 0;  // no link: 128 KiB back
    EXPECT_EQ(step(), (after() - 131072) & ~int64_t(511));
    EXPECT_EQ(sink.count(SinkEvent::AtStart), 0);
    headerPosition = 65536 + 100 * 512;
    EXPECT_EQ(step(), 65536);
    EXPECT_EQ(shared.mode(), PlayMode::GoToStart);
    EXPECT_EQ(sink.count(SinkEvent::AtStart), 1);
}

TEST_F(EngineFixture, AdvanceClampsPositionsOutsideTheFile) {
    struct Case {
        PlayMode mode;
        int64_t position;
        int64_t expected;
        PlayMode after;
        SinkEvent::Kind report;
    };
    const Case cases[] = {
        {PlayMode::Pause, int64_t(kFileSize) + 512, int64_t(kFileSize), PlayMode::GoToEnd, SinkEvent::AtEnd},
        {PlayMode::Backward, int64_t(kFileSize) + 512, 65536, PlayMode::GoToStart, SinkEvent::AtStart},
        {PlayMode::FastBackward, -4096, 65536, PlayMode::GoToStart, SinkEvent::AtStart},
        {PlayMode::StepBackward, 1024, 65536, PlayMode::StepBackward, SinkEvent::Message},  // no report
    };
    PlayerEngine unpaced(shared, sink, clock, {.paced = false});
    unpaced.begin(kFileSize, kEndOffset);
    for (const auto& c : cases) {
        sink.clear();
        shared.setMode(c.mode);
        int64_t position = c.position;
        unpaced.advance(record(), position);
        EXPECT_EQ(position, c.expected);
        EXPECT_EQ(shared.mode(), c.after);
        EXPECT_EQ(sink.count(c.report), c.report == SinkEvent::Message ? 0 : 1);
    }
}

TEST_F(EngineFixture, FastForwardAtOneXPacesLikeForwardPlay) {
    shared.delayIndex.store(2);
    shared.speedIndex.store(2);
    const int64_t forward = sleptInLastOfGroups(PlayMode::Forward, 3);
    const int64_t fast = sleptInLastOfGroups(PlayMode::FastForward, 3);
    EXPECT_GT(forward, 0);
    EXPECT_EQ(fast, forward);
    shared.speedIndex.store(1);
    const int64_t half = sleptInLastOfGroups(PlayMode::FastForward, 3);
    shared.speedIndex.store(0);
    const int64_t quarter = sleptInLastOfGroups(PlayMode::FastForward, 3);
    EXPECT_GT(half, forward);
    EXPECT_GT(quarter, half);
}

TEST_F(EngineFixture, FastForwardAboveOneXSkipsWholeGroups) {
    shared.delayIndex.store(2);
    const int64_t recordBytes = int64_t(header.sectorCount - 1) * 512;
    int64_t skipped[7] = {};
    for (int speed : {3, 4, 5, 6}) {
        shared.speedIndex.store(speed);
        int64_t position = 0;
        sleptInLastOfGroups(PlayMode::FastForward, 2, &position);
        const int64_t moved = position - int64_t(headerPosition);
        EXPECT_GT(moved, 0) << speed;
        EXPECT_EQ(moved % (4 * recordBytes), 0) << speed;
        skipped[speed] = moved / recordBytes;
    }
    EXPECT_LT(skipped[3], skipped[4]);
    EXPECT_LT(skipped[4], skipped[5]);
    EXPECT_LT(skipped[5], skipped[6]);

    // Recorders with a fourfold fast forward skip further at the same speed.
    header.layoutCode = 0x10016;
    shared.speedIndex.store(3);
    int64_t position = 0;
    sleptInLastOfGroups(PlayMode::FastForward, 2, &position);
    EXPECT_GT((position - int64_t(headerPosition)) / recordBytes, skipped[3]);
}

TEST_F(EngineFixture, ALongWaitIsNotSleptWithDelayIndexOne) {
    // Fast backward at 1/4x adds 5/4 s to the countdown of each group: a wait of 1.25 s.
    shared.speedIndex.store(0);
    shared.delayIndex.store(1);
    EXPECT_EQ(sleptInLastOfGroups(PlayMode::FastBackward, 3), 0);
    shared.delayIndex.store(2);
    const int64_t slept = sleptInLastOfGroups(PlayMode::FastBackward, 3);
    const int64_t delayWaitMs = std::lround(std::ceil(2 * 4 / 60.0 * 1000));
    EXPECT_EQ(slept - delayWaitMs, 1250 / 4);
}

// Without grouping (group byte 0) every record is a group of its own, and a group byte of 1 counts as 2:
// paced forward play goes on record by record, each group taking the same time, never falling behind
// into ever larger jumps.
TEST_F(EngineFixture, PacedForwardPlayWithoutGroupingKeepsItsPace) {
    for (const uint32_t groupByte : {0u, 1u}) {
        SCOPED_TRACE(groupByte);
        header.groupWord = groupByte;
        const int group = groupByte == 0 ? 1 : 2;
        shared.delayIndex.store(2);
        shared.setMode(PlayMode::Forward);
        engine.resync();
        deliver();
        std::vector<int64_t> groupMs;
        for (int g = 0; g < 12; ++g) {
            const int64_t before = clock.nowNs();
            for (int r = 0; r < group; ++r) {
                clock.advanceNs(2'000'000);  // the work on a record
                ASSERT_EQ(deliver(), after()) << "group " << g << ", record " << r;
            }
            groupMs.push_back((clock.nowNs() - before) / 1'000'000);
        }
        // Delay value 2 at 60 fields a second: each group waits at least its delay of 2 x group / 60 s,
        // and every group as long as the others.
        // (The first two groups settle the clock after the restart of play.)
        EXPECT_GE(groupMs[2], std::lround(2 * 1000.0 * group / 60));
        for (size_t g = 2; g < groupMs.size(); ++g)
            EXPECT_NEAR(double(groupMs[g]), double(groupMs[2]), 2.0) << g;
    }
}

// Less than a group late is no skip: paced play without grouping at the shortest delay, forwards and
// backwards, goes on from each record as its own rule says; it used to go back to the record's header
// and show the same picture for ever.
TEST_F(EngineFixture, PacedPlayWithoutGroupingNeverReadsARecordAgain) {
    header.groupWord = 0;
    shared.delayIndex.store(1);
    for (const PlayMode mode : {PlayMode::Forward, PlayMode::Backward, PlayMode::FastForward}) {
        SCOPED_TRACE(int(mode));
        shared.speedIndex.store(2);  // fast forward at 1x
        shared.setMode(mode);
        engine.resync();
        for (int r = 0; r < 20; ++r) {
            clock.advanceNs(2'000'000);
            const int64_t position = deliver();
            ASSERT_NE(position, int64_t(headerPosition)) << "record " << r;
            if (mode != PlayMode::Backward)
                ASSERT_GE(position, after()) << "record " << r;
            else
                ASSERT_LT(position, int64_t(headerPosition)) << "record " << r;
        }
    }
}

// A record that took more than a field period to show, in backward play without grouping: the late
// skip goes at least as far back as the previous record the link names. Counted from the header in
// this record's size it used to land inside the previous record, whose scan found this header again.
TEST_F(EngineFixture, ALateBackwardRecordGoesBackAtLeastToThePreviousRecord) {
    header.groupWord = 0;
    shared.delayIndex.store(1);
    const int64_t linked =
        int64_t(headerPosition) - int64_t(header.sectorNumber() - header.previousSectorNumber()) * 512;
    for (const PlayMode mode : {PlayMode::Backward, PlayMode::FastBackward}) {
        SCOPED_TRACE(int(mode));
        shared.speedIndex.store(2);  // fast backward at 1x
        shared.setMode(mode);
        engine.resync();
        for (int r = 0; r < 20; ++r) {
            clock.advanceNs(20'000'000);  // more than a field period of work on each record
            ASSERT_LE(deliver(), linked) << "record " << r;
        }
    }
}

// A damaged link one sector back leads into the previous record's data, where the scan finds the
// same header again: met again in the same backward run, the record is left 128 KiB back as one
// without a link, instead of being shown for ever. A new run follows links again.
TEST_F(EngineFixture, ARecordMetAgainInBackwardPlayIsLeftWithoutItsLink) {
    header.groupWord = 0;
    header.previousSectorLow = header.sectorLow - 1;
    shared.setMode(PlayMode::Backward);
    engine.resync();
    EXPECT_EQ(deliver(), int64_t(headerPosition) - 512);
    EXPECT_EQ(deliver(), (after() - 131072) & ~int64_t(511)) << "the same header, found again";
    engine.resync();
    EXPECT_EQ(deliver(), int64_t(headerPosition) - 512);
}

TEST_F(EngineFixture, DelayWaitIsDelayValueTimesGroupOverFieldRate) {
    for (int index = 1; index <= 6; ++index) {
        shared.delayIndex.store(index);
        shared.setMode(PlayMode::Pause);
        const int64_t before = clock.sleptMs();
        deliver();
        const double expectedMs = delayValue(index) * 4 / 60.0 * 1000;
        EXPECT_NEAR(double(clock.sleptMs() - before), expectedMs, 1.0) << index;
        EXPECT_NEAR(engine.lastDelayWaitSeconds() * 1000, expectedMs, 1e-6);
        EXPECT_FALSE(shared.waiting.load());
    }
}

TEST_F(EngineFixture, NoPacingWhileSoundIsOn) {
    shared.delayIndex.store(6);
    shared.soundOn.store(true);
    EXPECT_EQ(sleptInLastOfGroups(PlayMode::Forward, 3), 0);
    EXPECT_EQ(clock.sleptMs(), 0);
}

TEST_F(EngineFixture, SkipCounterThinsSoundPictures) {
    shared.skipIndex.store(2);
    shared.setMode(PlayMode::Forward);
    // A reload point, two records that count down, the next is drawn; without reload points the
    // counter stays at 0 and everything is drawn.
    std::vector<bool> drawn;
    for (int r = 0; r < 8; ++r) {
        header.skipWords = {r % 4 == 0 ? 0u : 1u, 0, 0};
        drawn.push_back(engine.soundPictureAllowed(record()));
    }
    EXPECT_EQ(drawn, (std::vector<bool>{false, false, true, true, false, false, true, true}));
    shared.setMode(PlayMode::Seek);
    header.skipWords = {0, 0, 0};
    EXPECT_TRUE(engine.soundPictureAllowed(record()));  // seeking always draws
}

// A manual clock that acts for the window once, when a sleep brings it to a given time.
class ActingClock final : public media::PlaybackClock {
public:
    ActingClock(int64_t actAtMs, std::function<void()> act)
        : m_actAtNs(actAtMs * 1000000), m_act(std::move(act)) {}
    int64_t nowNs() override { return m_nowNs; }
    void sleepMs(int64_t ms) override {
        m_nowNs += std::max<int64_t>(ms, 0) * 1000000;
        if (m_act && m_nowNs >= m_actAtNs) {
            m_actedAtNs = m_nowNs;
            std::exchange(m_act, {})();
        }
    }
    int64_t actedAtNs() const { return m_actedAtNs; }

private:
    int64_t m_nowNs = 0;
    int64_t m_actAtNs;
    std::function<void()> m_act;
    int64_t m_actedAtNs = -1;
};

TEST(PlayerEngineWaits, TheLongestDelayWaitEndsAsSoonAsTheWindowAsksForSomething) {
    // 255 records per group at 50 fields per second with delay value 32: 163.2 s between groups.
    media::BackupHeader header;
    header.layoutCode = 0x20016;
    header.groupWord = 255;
    header.frameIntervalFields = 1;
    header.videoStandard = 0xFFFF0001;
    header.pictureLength = 4000;
    header.sectorCount = 11;
    header.previousSectorLow = 1000;
    header.sectorLow = 1040;
    const uint64_t fileSize = 64ull << 20;
    const media::RecordContext record{&header, 10 << 20, 10};

    struct Case {
        const char* name;
        void (*act)(media::PlaybackShared&);
        PlayMode modeAfter;
    };
    const Case cases[] = {
        {"nothing", nullptr, PlayMode::Forward},
        {"pause", [](media::PlaybackShared& s) { s.setMode(PlayMode::Pause); }, PlayMode::Pause},
        {"backward play", [](media::PlaybackShared& s) { s.setMode(PlayMode::Backward); },
         PlayMode::Backward},
        {"arrow key", [](media::PlaybackShared& s) { s.playMode.store(PlayMode::StepForward); },
         PlayMode::StepForward},
        {"speed", [](media::PlaybackShared& s) { s.speedIndex.store(3); }, PlayMode::Forward},
        {"delay", [](media::PlaybackShared& s) { s.delayIndex.store(5); }, PlayMode::Forward},
        // Closing the window and opening another file both stop the thread first.
        {"stop", [](media::PlaybackShared& s) { s.runFlag.store(0); }, PlayMode::Forward},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        media::PlaybackShared shared;
        RecordingSink sink(shared);
        ActingClock clock(1000, c.act ? std::function<void()>([&] { c.act(shared); }) : nullptr);
        PlayerEngine engine(shared, sink, clock);
        shared.runFlag.store(1);
        shared.delayIndex.store(6);
        engine.begin(fileSize, fileSize - 655360);
        shared.setMode(PlayMode::Forward);
        engine.resync();
        // The group's last record is followed by the wait.
        for (int r = 0; r < 255; ++r) {
            int64_t position = int64_t(record.headerPosition) + 11 * 512;
            engine.afterPicture(record, position);
            ASSERT_EQ(clock.nowNs(), 0) << r;
            engine.advance(record, position);
        }
        EXPECT_NEAR(engine.lastDelayWaitSeconds(), 163.2, 1e-9);
        EXPECT_FALSE(shared.waiting.load());
        EXPECT_EQ(shared.mode(), c.modeAfter);
        if (c.act) {
            ASSERT_GE(clock.actedAtNs(), 0);
            EXPECT_LE(clock.nowNs() - clock.actedAtNs(), 1000000);
        } else {
            EXPECT_GE(clock.nowNs(), int64_t(163.2e9));
        }
    }
}

TEST(PlayerEngineWaits, ThePacingSleepEndsAsSoonAsTheWindowAsksForSomething) {
    // Fast backward at 1/4x with delay index 2 sleeps 1.25 s / 4 per group of 4, after a delay wait of
    // 2 x 4 / 60 s.
    media::BackupHeader header;
    header.layoutCode = 0x20016;
    header.groupWord = 4;
    header.frameIntervalFields = 15;
    header.videoStandard = 0xFFFF0000;
    header.pictureLength = 4000;
    header.sectorCount = 11;
    header.previousSectorLow = 1000;
    header.sectorLow = 1040;
    const uint64_t fileSize = 64ull << 20;
    const media::RecordContext record{&header, 10 << 20, 10};

    for (const bool pause : {false, true}) {
        SCOPED_TRACE(pause ? "paused during the sleep" : "not paused");
        media::PlaybackShared shared;
        RecordingSink sink(shared);
        ActingClock clock(200,
                          pause ? std::function<void()>([&] { shared.setMode(PlayMode::Pause); }) : nullptr);
        PlayerEngine engine(shared, sink, clock);
        shared.runFlag.store(1);
        shared.delayIndex.store(2);
        shared.speedIndex.store(0);
        engine.begin(fileSize, fileSize - 655360);
        shared.setMode(PlayMode::FastBackward);
        engine.resync();
        // The first group restarts the clocks and waits; the second sleeps, then waits.
        for (int r = 0; r < 8 && shared.mode() == PlayMode::FastBackward; ++r) {
            int64_t position = int64_t(record.headerPosition) + 11 * 512;
            engine.afterPicture(record, position);
            engine.advance(record, position);
        }
        EXPECT_NEAR(engine.pacingSleepMs(), 1250, 1);
        if (pause) {
            EXPECT_LE(clock.nowNs() - clock.actedAtNs(), 1000000);
        } else {
            EXPECT_GE(clock.nowNs(), (134 + 312 + 134) * 1000000ll);
        }
    }
}

}  // namespace
}  // namespace dvr::player
