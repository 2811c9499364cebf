// vistrelctl playback against the recorder simulator over loopback.
#include "tests/support/LoggedSimulator.h"
#include "tools/vistrelctl/PlaybackCommand.h"

#include <gtest/gtest.h>
#include <iterator>
#include <utility>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace dvr {
namespace {

using testsupport::LoggedSimulator;

// Commands the simulator received so far, in order.
std::vector<std::string> receivedCommands(LoggedSimulator& simulator) {
    std::vector<std::string> out;
    for (const std::string& line : simulator.log()) {
        const auto at = line.find("\"command\":\"");
        if (at != std::string::npos)
            out.push_back(line.substr(at + 11, line.find('"', at + 11) - at - 11));
    }
    return out;
}

// Commands received, in order, once the client's goodbye (0x1013) was logged or two seconds passed: the
// simulator logs on its own thread.
std::vector<std::string> commandsAfterGoodbye(LoggedSimulator& simulator) {
    for (int i = 0; i < 200; ++i) {
        const auto all = receivedCommands(simulator);
        if (!all.empty() && all.back() == "0x1013")
            return all;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return receivedCommands(simulator);
}

// Width and height from a JPEG file's frame header; (0, 0) when there is none.
std::pair<int, int> jpegSize(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
    for (size_t i = 2; i + 9 < b.size();) {
        if (b[i] != 0xFF)
            return {0, 0};
        const uint8_t marker = b[i + 1];
        if (marker >= 0xC0 && marker <= 0xC2)
            return {b[i + 7] << 8 | b[i + 8], b[i + 5] << 8 | b[i + 6]};
        i += 2 + size_t(b[i + 2] << 8 | b[i + 3]);
    }
    return {0, 0};
}

// Four channels of full pictures, 03:00:00 to 03:01:00 every 5 s, a gap
// from 03:00:20 to 03:00:35.
sim::SimOptions recording() {
    sim::SimOptions o;
    o.channelCode = 4;
    o.codestreamBytes = 5000;
    o.rangeStart = {2006, 1, 2, 3, 0, 0};
    o.rangeEnd = {2006, 1, 2, 3, 1, 0};
    o.recordStepSeconds = 5;
    o.gaps.push_back({{2006, 1, 2, 3, 0, 20}, {2006, 1, 2, 3, 0, 35}});
    return o;
}

ctl::PlaybackOptions playFrom(uint16_t port, const std::string& from) {
    ctl::PlaybackOptions o;
    o.client.host = "127.0.0.1";
    o.client.port = port;
    o.client.json = true;
    o.client.timeoutSeconds = 20;
    o.client.watchdogMs = 2000;
    o.from = from;
    return o;
}

struct Result {
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

Result play(const ctl::PlaybackOptions& options) {
    std::ostringstream out, err;
    Result r;
    r.status = ctl::runPlayback(options, out, err);
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
        r.lines.push_back(line);
    r.err = err.str();
    return r;
}

// The line the command prints for the recording's picture at `seconds`
// after the recording start.
std::string lineFor(const sim::SimOptions& o, int64_t slot) {
    sim::Recording r(o);
    const int64_t s = r.secondsOf(slot) - r.secondsOf(0);
    char text[128];
    std::snprintf(
        text, sizeof text, "{\"time\": \"2006-01-02 03:%02d:%02d\", \"channel\": %d, \"position\": %.10g}",
        int(s / 60), int(s % 60), r.channelOf(slot, r.kindOf(slot)), r.positionMillionths(slot) / 10000.0);
    return text;
}

TEST(PlaybackCommand, ForwardPlaysEveryPictureToTheRangeEnd) {
    const sim::SimOptions options = recording();
    LoggedSimulator simulator(options);
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("dvr-playback-" + std::to_string(::getpid()))).string();
    std::filesystem::remove_all(dir);
    ctl::PlaybackOptions o = playFrom(simulator.port(), "2006-01-02 03:00:03");
    o.client.outDir = dir;
    const Result r = play(o);
    EXPECT_EQ(r.status, 0) << r.err;
    // From the first picture at or after the time, over the gap, and stopped
    // by the window itself at the recording end.
    std::vector<std::string> expected;
    for (int64_t slot : {1, 2, 3, 8, 9, 10, 11, 12})
        expected.push_back(lineFor(options, slot));
    expected.push_back(R"({"summary": {"pictures": 8, "status": "STOP PLAY IMAGE"}})");
    EXPECT_EQ(r.lines, expected);
    // Each channel's latest picture at its own size, as live --out keeps it: a whole 720 x 240 field,
    // not the pane's thumbnail the window would draw.
    for (const char* name : {"ch01.jpg", "ch02.jpg", "ch03.jpg", "ch04.jpg"})
        EXPECT_EQ(jpegSize(std::filesystem::path(dir) / name), std::make_pair(720, 240)) << name;
    std::filesystem::remove_all(dir);

    // One search, then one picture request per picture, and the stop before leaving.
    const auto commands = commandsAfterGoodbye(simulator);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "0x1113"), 1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "0x1111"), 8);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], "0x1115");
    EXPECT_EQ(commands.back(), "0x1013");
}

TEST(PlaybackCommand, ReverseAndFastStepThroughTheRecording) {
    sim::SimOptions options = recording();
    // No picture on the range start itself: the recorder ends the play there.
    options.rangeStart = {2006, 1, 2, 2, 59, 58};
    options.gaps.push_back({{2006, 1, 2, 2, 59, 58}, {2006, 1, 2, 2, 59, 59}});
    LoggedSimulator simulator(options);
    ctl::PlaybackOptions o = playFrom(simulator.port(), "2006-01-02 03:00:44");
    o.reverse = true;
    o.fast = true;
    o.speed = 2;
    const Result r = play(o);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 4u);
    // The last picture at or before the time, then two pictures back each
    // time (03:00:38 and, over the gap, 03:00:18), and so on.
    EXPECT_NE(r.lines[0].find("03:00:43"), std::string::npos) << r.lines[0];
    EXPECT_NE(r.lines[1].find("03:00:18"), std::string::npos) << r.lines[1];
    EXPECT_NE(r.lines[2].find("03:00:08"), std::string::npos) << r.lines[2];
    EXPECT_EQ(r.lines.back(), R"({"summary": {"pictures": 3, "status": "END OF PLAY"}})");

    // Forward with a picture limit: stops after N, no status.
    o = playFrom(simulator.port(), "2006-01-02 03:00:00");
    o.fast = true;
    o.client.frames = 3;
    o.client.json = false;
    const Result limited = play(o);
    EXPECT_EQ(limited.status, 0) << limited.err;
    ASSERT_EQ(limited.lines.size(), 4u);
    EXPECT_EQ(limited.lines[0].substr(0, 19), "2006-01-02 03:00:03");
    EXPECT_EQ(limited.lines[1].substr(0, 19), "2006-01-02 03:00:18");
    EXPECT_EQ(limited.lines[2].substr(0, 19), "2006-01-02 03:00:48");
    EXPECT_EQ(limited.lines.back(), "3 pictures");
    const auto commands = commandsAfterGoodbye(simulator);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], "0x1115");
}

TEST(PlaybackCommand, PlayStatusesGiveTheirExitStatus) {
    sim::SimOptions options = recording();
    options.playFailAfter = 2;
    LoggedSimulator simulator(options);
    struct Case {
        std::string from;
        int status;
        std::string summary;
    };
    const Case cases[] = {
        {"2006-01-02 03:01:01", 3, R"({"summary": {"pictures": 0, "status": "NO SEARCH IMAGE"}})"},
        {"1995-06-01 00:00:00", 3, R"({"summary": {"pictures": 0, "status": "INVALID DATE"}})"},
        {"2006-01-02 03:00:00", 1, R"({"summary": {"pictures": 2, "status": "ERROR"}})"},
    };
    for (const Case& c : cases) {
        const Result r = play(playFrom(simulator.port(), c.from));
        EXPECT_EQ(r.status, c.status) << c.from << ": " << r.err;
        ASSERT_FALSE(r.lines.empty());
        EXPECT_EQ(r.lines.back(), c.summary);
    }
    // Bad arguments never reach the network.
    EXPECT_EQ(play(playFrom(simulator.port(), "2006-02-30 00:00:00")).status, 1);

    // A recorder that answers the stop at the range end with its play error: a failed run, not
    // "nothing found".
    sim::SimOptions failing = recording();
    failing.playError = true;
    LoggedSimulator erring(failing);
    const Result r = play(playFrom(erring.port(), "2006-01-02 03:00:50"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "vistrelctl: play error\n");
}

TEST(PlaybackCommand, FaultsMidPlaybackEndWithinTheTimeLimit) {
    struct Case {
        const char* name;
        int silence = -1;
        int close = -1;
        int garbage = 0;
        int status;
        size_t pictures;
        std::string err;
    };
    const Case cases[] = {
        {"silence", 3, -1, 0, 1, 3, "vistrelctl: no answer\n"},
        {"close", -1, 3, 0, 1, 3, "vistrelctl: the recorder closed the connection\n"},
        {"garbage", -1, -1, 2, 0, 9, ""},
    };
    for (const Case& c : cases) {
        sim::SimOptions options = recording();
        options.silenceAfter = c.silence;
        options.closeAfter = c.close;
        options.garbageEvery = c.garbage;
        LoggedSimulator simulator(options);
        ctl::PlaybackOptions o = playFrom(simulator.port(), "2006-01-02 03:00:00");
        o.client.timeoutSeconds = 3;
        const Result r = play(o);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        ASSERT_FALSE(r.lines.empty()) << c.name;
        EXPECT_EQ(r.lines.size(), c.pictures + 1) << c.name;
    }

    // A refused log-in and locked keys end the run before any play request.
    for (const bool keyLock : {false, true}) {
        sim::SimOptions refusing = recording();
        refusing.refuseLogin = !keyLock;
        refusing.keyLock = keyLock;
        LoggedSimulator simulator(refusing);
        const Result r = play(playFrom(simulator.port(), "2006-01-02 03:00:00"));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, keyLock ? "vistrelctl: KEY LOCK: the recorder's keys are locked\n"
                                 : "vistrelctl: login refused\n");
        const auto commands = commandsAfterGoodbye(simulator);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "0x1113"), 0);
    }
}

}  // namespace
}  // namespace dvr
