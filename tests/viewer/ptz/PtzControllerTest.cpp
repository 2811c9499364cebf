// The button and send state machine, driven picture by picture with a fake
// host, and the table rebuilds with their command files.
#include "viewer/ptz/PtzController.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace dvr::ptz {
namespace {

namespace fs = std::filesystem;

struct Sent {
    int code;
    std::vector<uint8_t> bytes;
    uint32_t baud;
};

class FakeHost : public PtzHost {
public:
    void sendPtz(int code, std::span<const uint8_t> bytes, uint32_t baud) override {
        sent.push_back({code, {bytes.begin(), bytes.end()}, baud});
    }
    void startPauseTimer(int ms) override { pauses.push_back(ms); }
    void resumeLiveLoop() override { ++resumes; }
    void showMessage(const PtzMessage& m) override { messages.push_back(std::string(m.key)); }

    // Sends of the next picture only.
    std::vector<Sent> picture(PtzController& c) {
        const size_t before = sent.size();
        c.afterLivePicture();
        c.onPauseElapsed();
        return {sent.begin() + static_cast<ptrdiff_t>(before), sent.end()};
    }

    std::vector<Sent> sent;
    std::vector<int> pauses;
    int resumes = 0;
    std::vector<std::string> messages;
};

PtzSettings settingsOf(int type, uint32_t baud = 3, int maxStop = kDefaultMaxStopCount) {
    PtzSettings s;
    s.ptzType = type;
    s.baudRateCode = baud;
    s.maxStopCount = maxStop;
    return s;
}

TEST(PtzController, HeldMoveRepeatsThenTheStopPhaseRunsOut) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(1, 6));
    c.pressButton(1330);  // right
    for (int i = 0; i < 10; ++i) {
        const auto s = host.picture(c);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].code, kRight);
        EXPECT_EQ(s[0].bytes, std::vector<uint8_t>(c.table().at(0, kRight).view().begin(),
                                                   c.table().at(0, kRight).view().end()));
        EXPECT_EQ(s[0].baud, 6u);
    }
    c.release();
    for (int i = 0; i < 5; ++i) {
        const auto s = host.picture(c);
        ASSERT_EQ(s.size(), 1u) << i;
        EXPECT_EQ(s[0].code, kStop);
    }
    EXPECT_TRUE(host.picture(c).empty());
    EXPECT_EQ(c.pending(), kPendingNone);
    EXPECT_TRUE(host.picture(c).empty());
    // One pause per picture that sent something, each ended by the host's timer.
    EXPECT_EQ(host.pauses, std::vector<int>(15, kPtzSendPauseMs));
    EXPECT_EQ(host.resumes, 15);
}

TEST(PtzController, NothingPendingSendsNothingAndStartsNoPause) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(1));
    EXPECT_FALSE(c.afterLivePicture());
    EXPECT_FALSE(c.pausing());
    c.pressButton(4242);  // not a PTZ button
    EXPECT_FALSE(c.afterLivePicture());
    EXPECT_TRUE(host.pauses.empty());
    c.onPauseElapsed();  // a stray timer does not resume anything
    EXPECT_EQ(host.resumes, 0);
}

TEST(PtzController, NewPressDuringTheStopPhaseCancelsTheStops) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(1));
    c.pressCode(kRight);
    host.picture(c);
    c.release();
    host.picture(c);
    host.picture(c);
    EXPECT_EQ(c.stopCounter(), 3);
    c.pressButton(1326);  // left
    EXPECT_EQ(c.stopCounter(), 0);
    const auto s = host.picture(c);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].code, kLeft);
}

TEST(PtzController, SplitDiagonalProtocolSendsTwoMovesAndTwoStops) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(9));
    c.pressButton(1325);  // left-up
    for (int i = 0; i < 2; ++i) {
        const auto s = host.picture(c);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0].code, kLeft);
        EXPECT_EQ(s[0].bytes[3], 1);  // left
        EXPECT_EQ(s[1].code, kUp);
        EXPECT_EQ(s[1].bytes[3], 2);  // up
    }
    c.release();
    for (int i = 0; i < 5; ++i) {
        const auto s = host.picture(c);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ((std::vector<uint8_t>{s[0].bytes[2], s[0].bytes[3]}),
                  (std::vector<uint8_t>{20, 0}));  // tilt
        EXPECT_EQ((std::vector<uint8_t>{s[1].bytes[2], s[1].bytes[3]}),
                  (std::vector<uint8_t>{19, 0}));  // pan
    }
    EXPECT_TRUE(host.picture(c).empty());

    // A single axis stops only that axis.
    struct Case {
        int code;
        uint8_t c1, c2;
    };
    for (const Case k :
         {Case{kRight, 19, 0}, Case{kDown, 20, 0}, Case{kZoomIn, 36, 4}, Case{kFocusOut, 37, 4}}) {
        c.pressCode(k.code);
        host.picture(c);
        c.release();
        const auto s = host.picture(c);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].bytes[2], k.c1) << k.code;
        EXPECT_EQ(s[0].bytes[3], k.c2) << k.code;
    }
}

TEST(PtzController, CameraChangesWrapAndRebuild) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(10));
    EXPECT_TRUE(c.cameraDown(false));
    EXPECT_EQ(c.camera(), 15);
    EXPECT_EQ(c.cameraText(), "016");
    EXPECT_EQ(c.table().at(15, kUp).bytes[2], 16);  // rebuilt for camera 16
    EXPECT_TRUE(c.cameraUp(false));
    EXPECT_EQ(c.camera(), 0);
    EXPECT_FALSE(c.cameraUp(true));  // not while rotation runs
    EXPECT_EQ(c.camera(), 0);
    c.pressCode(kUp);
    c.cameraUp(false);
    EXPECT_EQ(c.pending(), kUp);  // camera buttons leave the pending move alone
    const auto s = host.picture(c);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].bytes, (std::vector<uint8_t>{0xE5, 0x10, 0x02, 0x00, 0x00, 0x3F, 0x93}));
}

TEST(PtzController, OperatedCommandGoesOutOnce) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(1));
    PtzCommand custom;
    custom.length = 2;
    custom.bytes[0] = 0x12;
    custom.bytes[1] = 0x34;
    c.operateOnce(custom);
    auto s = host.picture(c);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].bytes, (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_TRUE(host.picture(c).empty());
}

TEST(PtzController, FileProtocolsReadEveryNamedCamera) {
    const testsupport::TempFolder scratch;
    const fs::path home = scratch.path();
    fs::create_directories(home / "PTZ");
    std::ofstream(home / "PTZ" / "hmc250.tl")
        << "<1>\r\nSTOP/1/10/\r\nLEFT/1/11/\r\n<6>\r\nSTOP/1/60/\r\nLEFT/2/61/62/\r\n";
    FakeHost host;
    PtzController c(host, {home.string(), {}}, settingsOf(3));
    EXPECT_EQ(c.lastFile().outcome, PtzFileOutcome::Loaded);
    c.setCamera(5);
    c.pressCode(kLeft);
    auto s = host.picture(c);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].bytes, (std::vector<uint8_t>{0x61, 0x62}));
    // A move whose slot is empty sends nothing.
    c.pressCode(kZoomIn);
    EXPECT_TRUE(host.picture(c).empty());
    // A type without a source keeps the table.
    c.setPtzType(42);
    EXPECT_FALSE(c.table().at(0, kLeft).empty());
    EXPECT_TRUE(host.messages.empty());
}

// The user's saved copy of a shipped command file (saved per user because the program folder is
// read-only) is the one read, not the shipped file it was made from.
TEST(PtzController, AUsersCopyIsReadBeforeTheShippedFile) {
    const testsupport::TempFolder scratch;
    const fs::path program = fs::path(scratch.path()) / "program";
    const fs::path user = fs::path(scratch.path()) / "user";
    fs::create_directories(program / "PTZ");
    fs::create_directories(user / "PTZ");
    std::ofstream(program / "PTZ" / "hmc250.tl") << "<1>\r\nSTOP/1/10/\r\nLEFT/1/11/\r\n";
    std::ofstream(user / "PTZ" / "hmc250.tl") << "<1>\r\nSTOP/1/20/\r\nLEFT/1/22/\r\n";
    FakeHost host;
    PtzController c(host, {program.string(), user.string()}, settingsOf(3));
    EXPECT_EQ(c.lastFile().outcome, PtzFileOutcome::Loaded);
    EXPECT_EQ(c.lastFile().path, (user / "PTZ" / "hmc250.tl").string());
    c.pressCode(kLeft);
    const auto s = host.picture(c);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].bytes, std::vector<uint8_t>{0x22});

    // Without a per-user copy the shipped file is read.
    fs::remove(user / "PTZ" / "hmc250.tl");
    FakeHost shippedHost;
    PtzController shipped(shippedHost, {program.string(), user.string()}, settingsOf(3));
    EXPECT_EQ(shipped.lastFile().path, (program / "PTZ" / "hmc250.tl").string());
}

TEST(PtzController, MissingFileIsCreatedEmptyAndReportedOnce) {
    const testsupport::TempFolder scratch;
    const fs::path home = scratch.path();
    FakeHost host;
    PtzController c(host, {home.string(), {}}, settingsOf(2));
    EXPECT_EQ(host.messages, std::vector<std::string>{"MSG_023"});
    EXPECT_TRUE(fs::is_regular_file(home / "PTZ" / "scc641.tl"));
    EXPECT_FALSE(c.hasCommands());
    c.cameraUp(false);
    c.setPtzType(2);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST(PtzController, UnwritableProgramFolderFallsBackOrGivesUpQuietly) {
    const testsupport::TempFolder scratch;
    const fs::path root = scratch.path();
    // A regular file where the program folder should be: nothing can be created below it.
    const fs::path notAFolder = root / "program";
    std::ofstream(notAFolder) << "x";
    const fs::path user = root / "user";
    {
        FakeHost host;
        PtzController c(host, {notAFolder.string(), user.string()}, settingsOf(4));
        EXPECT_EQ(c.lastFile().outcome, PtzFileOutcome::CreatedEmpty);
        EXPECT_TRUE(fs::is_regular_file(user / "PTZ" / "hid2404.tl"));
        EXPECT_EQ(host.messages.size(), 1u);
    }
    {
        FakeHost host;
        PtzController c(host, {notAFolder.string(), (notAFolder / "also").string()}, settingsOf(5));
        EXPECT_EQ(c.lastFile().outcome, PtzFileOutcome::Unavailable);
        EXPECT_TRUE(host.messages.empty());
        for (int i = 0; i < 20; ++i)
            c.cameraUp(false);
        c.pressCode(kLeft);
        EXPECT_TRUE(host.picture(c).empty());
    }
}

TEST(PtzController, NoStopsWhenTheStopCountIsZero) {
    FakeHost host;
    PtzController c(host, {}, settingsOf(1, 3, 0));
    c.pressCode(kDown);
    host.picture(c);
    c.release();
    EXPECT_TRUE(host.picture(c).empty());
    EXPECT_EQ(c.pending(), kPendingNone);
}

}  // namespace
}  // namespace dvr::ptz
