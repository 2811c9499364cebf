// The playback window's AVI recording without Qt: its names, and its timing against a fake clock and
// output.
#include "viewer/playback/RecordingController.h"

#include <gtest/gtest.h>

#include <set>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace dvr::playback {
namespace {

TEST(RecordingControllerTest, RecordingNamesNeverRepeatATakenOne) {
    const DateTime t{2006, 11, 12, 13, 14, 15};
    const DateTime local{2026, 12, 9, 6, 30, 1};
    EXPECT_EQ(recordingFileName("/rec/", t, local), "/rec/2006-11-12 13-14-15.avi");
    EXPECT_EQ(recordingFileName("/rec", t, local), "/rec/2006-11-12 13-14-15.avi");
    // Before any picture arrived: the local time, never "0000-00-00 00-00-00".
    EXPECT_EQ(recordingFileName("/rec", DateTime{}, local), "/rec/2026-12-09 06-30-01.avi");
    // No name free at all (a folder that cannot be searched): the search ends with the plain name.
    EXPECT_EQ(recordingFileName("/rec", t, local, [](const std::string&) { return true; }),
              "/rec/2006-11-12 13-14-15.avi");
    std::set<std::string> taken = {"/rec/2006-11-12 13-14-15.avi", "/rec/2006-11-12 13-14-15(1).avi"};
    const auto exists = [&](const std::string& name) { return taken.count(name) > 0; };
    EXPECT_EQ(recordingFileName("/rec", t, local, exists), "/rec/2006-11-12 13-14-15(2).avi");
}

class FakeOutput : public RecordingOutput {
public:
    exporting::Status open(const std::string& path) override {
        opened.push_back(path);
        return openFails ? exporting::Status::failure("Permission denied") : exporting::Status::success();
    }
    bool capture() override {
        ++captured;
        return true;
    }
    exporting::Status writeLastFrame() override {
        if (int(frames.size()) >= writeLimit)
            return exporting::Status::failure("No space left on device");
        frames.push_back(captured);
        return exporting::Status::success();
    }
    exporting::Status close() override {
        ++closed;
        return exporting::Status::success();
    }
    std::vector<std::string> opened;
    std::vector<int> frames;  // the capture each written frame came from
    int captured = 0;
    int closed = 0;
    int writeLimit = 1 << 30;
    bool openFails = false;
};

struct RecordingFixture : ::testing::Test {
    FakeOutput output;
    int64_t nowMs = 1000;
    RecordingController recording{output, [this] { return nowMs; }};
    void tickAt(int64_t elapsedMs) {
        nowMs = 1000 + elapsedMs;
        recording.onTick();
    }
};

TEST_F(RecordingFixture, LateTickRepeatsTheLastFrameToKeepWallTime) {
    ASSERT_TRUE(recording.onButton("/r/a.avi", false));
    tickAt(100);
    tickAt(200);
    tickAt(550);  // three periods late
    tickAt(560);  // nothing due yet
    EXPECT_EQ(output.frames, (std::vector<int>{1, 2, 2, 2, 3}));
    EXPECT_EQ(recording.framesWritten(), 5u);
    EXPECT_TRUE(recording.timerRunning());
    // Stopped within the same period: no frame, a closed file.
    EXPECT_FALSE(recording.onButton("", false));
    EXPECT_EQ(output.closed, 1);
    EXPECT_TRUE(recording.failure().empty());
}

TEST_F(RecordingFixture, PauseStopsAndBusyOnlyFlipsBack) {
    EXPECT_FALSE(recording.onButton("/r/a.avi", true));
    EXPECT_TRUE(output.opened.empty());
    ASSERT_TRUE(recording.onButton("/r/a.avi", false));
    EXPECT_TRUE(recording.onButton("", true));  // busy: still recording
    recording.onPause();
    EXPECT_FALSE(recording.recording());
    EXPECT_FALSE(recording.timerRunning());
    EXPECT_EQ(output.closed, 1);
    recording.onPause();  // nothing more to close
    EXPECT_EQ(output.closed, 1);
}

TEST_F(RecordingFixture, FailuresStopTheRecordingWithTheReason) {
    output.openFails = true;
    EXPECT_FALSE(recording.onButton("/r/a.avi", false));
    EXPECT_EQ(recording.failure(), "Permission denied");
    EXPECT_EQ(output.closed, 0);

    output.openFails = false;
    output.writeLimit = 2;
    ASSERT_TRUE(recording.onButton("/r/b.avi", false));
    EXPECT_TRUE(recording.failure().empty());
    tickAt(100);
    tickAt(200);
    tickAt(300);
    EXPECT_FALSE(recording.recording());
    EXPECT_EQ(recording.failure(), "No space left on device");
    EXPECT_EQ(output.closed, 1);  // what was written is closed into a consistent file
    tickAt(400);
    EXPECT_EQ(output.frames.size(), 2u);
}

}  // namespace
}  // namespace dvr::playback
