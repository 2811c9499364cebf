#include "FakeLink.h"

#include "tools/synth/Synth.h"
#include "viewer/link/RecorderSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

namespace dvr::link {
namespace {

using testing::FakeTransport;
using testing::params;
using testing::RecordingHost;
using testing::reply;

synth::CodestreamCache& codestreams() {
    static synth::CodestreamCache cache;
    return cache;
}

// A live record in wire form: a picture of `kind` carrying `channel`.
std::vector<uint8_t> liveRecord(frame::PictureKind kind, int channel, uint32_t layoutCode = 0x10016,
                                int quality = 3, uint32_t signalWord = 0) {
    synth::PictureShape shape;
    shape.kind = kind;
    shape.channel = channel;
    shape.channelCount = 16;
    shape.height = 240;
    const auto codestream = codestreams().get(shape, 8000);
    synth::RecordHeaderFields record;
    record.layoutCode = layoutCode;
    record.pictureFlags = synth::pictureFlagsFor(kind, quality);
    record.channel = static_cast<uint32_t>(channel);
    record.signalWord = signalWord;
    return synth::buildWireRecord(synth::makeHeader(record, codestream->size()), *codestream);
}

std::vector<uint8_t> liveReply(std::span<const uint8_t> record, uint32_t visibility = 0xFFFF0000) {
    return reply(command::LivePictureReply, params({250000, 0, 0, 0, 500000, visibility}), record);
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest() { host.session = &session; }

    void connect() {
        ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
        driver.onConnectResult(0);
    }
    // Connects, logs in (accepted, 16 channels) and answers the range request.
    void startLive(std::string_view version = "DVRJ PACKET1.44") {
        connect();
        deliver(reply(command::LoginReply, params({1, 16}), {}, version));
        deliver(reply(command::RecordingRangeReply, params({0, 0, 0, 0, 0, 0})));
    }
    void deliver(std::span<const uint8_t> bytes) {
        transport.arrive(bytes);
        drain();
    }
    void drain() {
        for (int i = 0; i < 10000 && !transport.incoming.empty() && session.wantsRead(); ++i)
            readOnce(transport, session);
    }
    // One watchdog period passes on the fake clock.
    void tick() {
        clock.advance(std::chrono::milliseconds(kWatchdogPeriodMs));
        driver.onTime();
    }
    size_t countSent(uint32_t code) const {
        const auto commands = transport.sentCommands();
        return static_cast<size_t>(std::count(commands.begin(), commands.end(), code));
    }

    FakeTransport transport;
    RecordingHost host;
    RecorderSession session{host, &host.playback};
    testing::FakeSteadyClock clock;
    SessionDriver driver{session, transport, clock};
};

TEST_F(SessionTest, ConnectSendsLoginAndEstablishes) {
    connect();
    EXPECT_EQ(transport.receiveBuffer, 64512);
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0].size(), 300u);
    EXPECT_EQ(transport.sentHeader(0).length, 300u);
    EXPECT_EQ(transport.sentHeader(0).type, 2u);
    EXPECT_EQ(versionString(transport.sentHeader(0).version), "DVRJ PACKET1.44");
    EXPECT_EQ(host.states.back(), ConnectionState::Established);
    EXPECT_TRUE(host.watchdog);
    EXPECT_EQ(session.requestState(), RequestState::Login);
    // A second connect while a socket exists is refused.
    EXPECT_FALSE(driver.connect("127.0.0.1", 50000));
}

TEST_F(SessionTest, RefusedConnectLeavesNothingOpen) {
    transport.refuse = true;
    EXPECT_FALSE(driver.connect("127.0.0.1", 1));
    EXPECT_FALSE(session.hasSocket());
    EXPECT_FALSE(host.watchdog);
    EXPECT_FALSE(session.request(RequestKind::LivePicture));
    EXPECT_TRUE(transport.sent.empty());
}

TEST_F(SessionTest, LaterConnectFailureRunsTheViewDisconnect) {
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    driver.onConnectResult(111);
    ASSERT_EQ(host.disconnects.size(), 1u);
    EXPECT_EQ(host.disconnects[0], DisconnectReason::ConnectFailed);
    EXPECT_FALSE(session.hasSocket());
    EXPECT_FALSE(session.connected());
}

TEST_F(SessionTest, VersionTextsGiveProtocolLevels) {
    struct Case {
        const char* version;
        int level;
        bool newer;
    };
    const Case cases[] = {
        {"DVRJ PACKET1.41", 1, false}, {"DVRJ PACKET1.42", 2, false}, {"DVRJ PACKET1.44", 3, true},
        {"DVRJ PACKET1.45", 3, true},  {"DVRJ PACKET1.43", 0, false}, {"DVRJ PACKET1.50", 3, true},
        {"DVRJ PACKET", 0, false},
    };
    for (const Case& c : cases) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s(h, &h.playback);
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        h.session = &s;
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        t.arrive(reply(command::LoginReply, params({1, 4}), {}, c.version));
        readOnce(t, s);
        EXPECT_EQ(s.protocolLevel(), c.level) << c.version;
        EXPECT_EQ(s.newerProtocol(), c.newer) << c.version;
        // The next request carries the recorder's text verbatim.
        ASSERT_EQ(t.sent.size(), 2u);
        EXPECT_EQ(t.sentCommand(1), command::RecordingRange);
        EXPECT_EQ(t.sentHeader(1).version, makeVersionText(c.version)) << c.version;
        EXPECT_EQ(t.sent[1].size(), 60u);
    }
}

TEST_F(SessionTest, NewerProtocolBitAndChannelCounts) {
    struct Case {
        uint32_t p1;
        int channels;
    };
    const Case cases[] = {{0, 4}, {4, 4}, {9, 4}, {1, 1}, {8, 8}, {16, 16}, {0x310, 16}};
    for (const Case& c : cases) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s(h, &h.playback);
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        t.arrive(reply(command::LoginReply, params({1 | 0x40000000u, c.p1}), {}, "DVRJ PACKET1.41"));
        readOnce(t, s);
        EXPECT_EQ(s.channelCount(), c.channels) << c.p1;
        EXPECT_EQ(s.protocolLevel(), 1);
        EXPECT_TRUE(s.newerProtocol());
    }
}

TEST_F(SessionTest, RefusedLoginReturnsToWaitingWithoutMessage) {
    connect();
    deliver(reply(command::LoginReply, params({0, 16})));
    ASSERT_EQ(host.disconnects.size(), 1u);
    EXPECT_EQ(host.disconnects[0], DisconnectReason::LoginRefused);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(session.hasSocket());
    EXPECT_EQ(countSent(command::RecordingRange), 0u);
    // The view's disconnect sent the stop request before closing.
    EXPECT_EQ(transport.sentCommands().back(), command::Stop);
}

TEST_F(SessionTest, KeyLockShowsAndStillAsksForTheRange) {
    connect();
    const DateTime first{2006, 3, 4, 5, 6, 7};
    const DateTime last{2006, 4, 1, 23, 59, 58};
    deliver(reply(command::LoginReply, params({1 | 0x80000000u, 16, packDateWord(first), packTimeWord(first),
                                               packDateWord(last), packTimeWord(last)})));
    EXPECT_EQ(host.states.back(), ConnectionState::KeyLock);
    EXPECT_TRUE(host.keyLock);
    EXPECT_TRUE(session.keyLocked());
    EXPECT_EQ(transport.sentCommands().back(), command::RecordingRange);
    ASSERT_EQ(host.ranges.size(), 1u);
    EXPECT_EQ(unpackRecorderTime(host.ranges[0].startDate, host.ranges[0].startTime), first);
    EXPECT_EQ(unpackRecorderTime(host.ranges[0].endDate, host.ranges[0].endTime), last);

    session.disconnect();
    EXPECT_FALSE(host.keyLock);
}

TEST_F(SessionTest, RangeReplyStartsLiveOrPlayback) {
    connect();
    deliver(reply(command::LoginReply, params({1, 16})));
    session.live().setDisplayedChannelMask(0x1);
    session.live().setRequestSpeed(2);
    deliver(reply(command::RecordingRangeReply, params({0, 0, 1, 2, 3, 4})));
    ASSERT_EQ(transport.sentCommands().back(), command::LivePicture);
    const ParamBlock p = transport.sentParams(transport.sent.size() - 1);
    EXPECT_EQ(p.p[0], 1u);
    EXPECT_EQ(p.p[1], 1u);
    EXPECT_EQ(p.p[2], 0x1u);
    EXPECT_EQ(p.p[3], 9u);
    EXPECT_EQ(host.ranges.back().startDate, 1u);
    EXPECT_EQ(host.ranges.back().endTime, 4u);

    host.playbackOn = true;
    host.playStateValue = 1;
    deliver(reply(command::RecordingRangeReply, params({})));
    EXPECT_EQ(transport.sentCommands().back(), command::PlaySearch);
    host.playStateValue = 0x0102;
    deliver(reply(command::RecordingRangeReply, params({})));
    EXPECT_EQ(transport.sentCommands().back(), command::StopPlayback);
}

TEST_F(SessionTest, LiveRequestPacing) {
    struct Case {
        int panes;
        uint32_t p3;
    };
    const Case cases[] = {{1, 9}, {4, 7}, {9, 5}, {16, 3}};
    startLive();
    for (const Case& c : cases) {
        session.live().setRequestSpeed(defaultRequestSpeed(c.panes));
        session.live().setDisplayedChannelMask(displayedMaskFor(c.panes, 0));
        ASSERT_TRUE(session.request(RequestKind::LivePicture));
        const ParamBlock p = transport.sentParams(transport.sent.size() - 1);
        EXPECT_EQ(p.p[3], c.p3) << c.panes;
        EXPECT_EQ(p.p[2], displayedMaskFor(c.panes, 0)) << c.panes;
        EXPECT_EQ(transport.sent.back().size(), 60u);
    }
}

TEST_F(SessionTest, SettleRuleDropsFourPicturesAfterAFormatChange) {
    startLive();
    const auto record = liveRecord(frame::PictureKind::Single, 5);
    const auto packet = liveReply(record);
    for (int i = 1; i <= 5; ++i) {
        deliver(packet);
        EXPECT_EQ(host.livePictures.size(), i < 5 ? 0u : 1u) << "picture " << i;
    }
    ASSERT_EQ(host.livePictures.size(), 1u);
    EXPECT_EQ(host.livePictures[0].channel, 5);
    EXPECT_EQ(host.livePictures[0].width, 720);
    EXPECT_EQ(host.livePictures[0].height, 240);
    EXPECT_EQ(session.live().frameCounter(), 5);
    // Every completed payload sent the next request, shown or not.
    EXPECT_EQ(countSent(command::LivePicture), 6u);
    EXPECT_EQ(host.afterLive, 5);
    EXPECT_EQ(host.liveToggles, 5);
    EXPECT_EQ(host.formatChanges.size(), 1u);
    EXPECT_EQ(host.playPosition, 250000u);
    EXPECT_EQ(host.recordPosition, 500000u);

    // A different quality is a new format: four more are dropped.
    const auto other = liveReply(liveRecord(frame::PictureKind::Single, 6, 0x10016, 4));
    for (int i = 0; i < 4; ++i)
        deliver(other);
    EXPECT_EQ(host.livePictures.size(), 1u);
    deliver(other);
    ASSERT_EQ(host.livePictures.size(), 2u);
    EXPECT_EQ(host.livePictures[1].channel, 6);
}

TEST_F(SessionTest, QuadPicturesNeedFamilyTwoOrTheSignalWord) {
    struct Case {
        uint32_t layoutCode;
        uint32_t signalWord;
        bool shown;
    };
    const Case cases[] = {
        {0x10016, 0, false},
        {0x10016, frame::kQuadSignalWord, true},
        {0x20016, 0, true},
    };
    for (const Case& c : cases) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s(h, &h.playback);
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        h.session = &s;
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        t.arrive(reply(command::LoginReply, params({1, 16})));
        readOnce(t, s);
        const auto packet = liveReply(liveRecord(frame::PictureKind::Quad, 4, c.layoutCode, 3, c.signalWord));
        for (int i = 0; i < 5; ++i) {
            t.arrive(packet);
            while (!t.incoming.empty())
                readOnce(t, s);
        }
        EXPECT_EQ(h.livePictures.size(), c.shown ? 1u : 0u) << std::hex << c.layoutCode;
        if (c.shown && !h.livePictures.empty()) {
            EXPECT_EQ(h.livePictures[0].channel, 4);
        }
    }
}

TEST_F(SessionTest, MaskIsClampedToTheRecordersCapacity) {
    struct Case {
        uint32_t layoutCode;
        uint32_t mask;
        uint32_t sent;
    };
    const Case cases[] = {
        {0x20008, 0x1FF, 0xFF}, {0x10008, 0xFF, 0xFF},     {0x30004, 0xFFFF, 0xF},
        {0x10004, 0x8, 0x8},    {0x10016, 0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s(h, &h.playback);
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        t.arrive(reply(command::LoginReply, params({1, 16})));
        readOnce(t, s);
        s.live().setDisplayedChannelMask(c.mask);
        t.arrive(liveReply(liveRecord(frame::PictureKind::Single, 0, c.layoutCode)));
        while (!t.incoming.empty())
            readOnce(t, s);
        ASSERT_EQ(t.sentCommands().back(), command::LivePicture);
        EXPECT_EQ(t.sentParams(t.sent.size() - 1).p[2], c.sent) << std::hex << c.layoutCode;
    }
}

TEST_F(SessionTest, UnavailableMaskComesFromEveryLiveReply) {
    startLive();
    EXPECT_EQ(session.live().unavailableMask(), 0xFFFF0000u);
    deliver(liveReply(liveRecord(frame::PictureKind::Single, 0), 0x00FF0000));
    EXPECT_EQ(session.live().unavailableMask(), 0xFF00u);
    deliver(liveReply(liveRecord(frame::PictureKind::Single, 0), 0xFFFFFFFF));
    EXPECT_EQ(session.live().unavailableMask(), 0u);
}

TEST_F(SessionTest, PayloadInThreeReadsWithTheNextHeaderInTheThird) {
    startLive();
    const auto record = liveRecord(frame::PictureKind::Single, 3);
    std::vector<uint8_t> stream;
    for (int i = 0; i < 5; ++i) {
        const auto packet = liveReply(record);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    const auto range = reply(command::RecordingRangeReply, params({0, 0, 7, 8, 9, 10}));
    // Pictures 1-4 arrive whole; the fifth in three reads, the third of
    // which also carries the next packet's header.
    const size_t fifth = stream.size() - liveReply(record).size();
    transport.arrive(std::span<const uint8_t>(stream).first(fifth));
    drain();
    EXPECT_EQ(host.livePictures.size(), 0u);
    const size_t rangesBefore = host.ranges.size();
    const size_t third = (stream.size() - fifth) / 3;
    transport.arrive(std::span<const uint8_t>(stream).subspan(fifth, third));
    drain();
    transport.arrive(std::span<const uint8_t>(stream).subspan(fifth + third, third));
    drain();
    EXPECT_EQ(host.livePictures.size(), 0u);
    std::vector<uint8_t> last(stream.begin() + static_cast<ptrdiff_t>(fifth + 2 * third), stream.end());
    last.insert(last.end(), range.begin(), range.begin() + 40);
    transport.arrive(last);
    drain();
    EXPECT_EQ(host.livePictures.size(), 1u);
    EXPECT_EQ(host.ranges.size(), rangesBefore);
    transport.arrive(std::span<const uint8_t>(range).subspan(40));
    drain();
    ASSERT_EQ(host.ranges.size(), rangesBefore + 1);
    EXPECT_EQ(host.ranges.back().startDate, 7u);
}

TEST_F(SessionTest, AnySplitOfTheStreamGivesTheSameResult) {
    startLive();
    std::vector<uint8_t> stream;
    for (int i = 0; i < 6; ++i) {
        const auto packet = liveReply(liveRecord(frame::PictureKind::Pair, 2));
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    for (size_t step : {size_t{1}, size_t{7}, size_t{59}, size_t{61}, size_t{4096}}) {
        RecordingHost h;
        FakeTransport t;
        RecorderSession s(h, &h.playback);
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        t.arrive(reply(command::LoginReply, params({1, 16})));
        readOnce(t, s);
        for (size_t at = 0; at < stream.size(); at += step)
            t.arrive(std::span<const uint8_t>(stream).subspan(at, std::min(step, stream.size() - at)));
        while (!t.incoming.empty())
            readOnce(t, s);
        ASSERT_EQ(h.livePictures.size(), 2u) << step;
        EXPECT_EQ(h.livePictures[0].channel, 2);
        EXPECT_EQ(s.live().frameCounter(), 6);
    }
}

TEST_F(SessionTest, GarbageAndHugeLengthsResynchronise) {
    startLive();
    std::vector<uint8_t> stream(777, 0x5A);
    ParamBlock p;
    // A live reply announcing more than any frame record can hold.
    auto huge = serializePacket(
        PacketHeader{makeVersionText("DVRJ PACKET1.44"), 0xFFFFFFF0u, 1, command::LivePictureReply}, p);
    stream.insert(stream.end(), huge.begin(), huge.end());
    stream.insert(stream.end(), 300, 0x11);
    // A header with a type outside 1 to 3.
    auto badType =
        serializePacket(PacketHeader{makeVersionText("DVRJ PACKET1.44"), 60, 9, command::LoginReply}, p);
    stream.insert(stream.end(), badType.begin(), badType.end());
    const auto record = liveRecord(frame::PictureKind::Single, 7);
    for (int i = 0; i < 5; ++i) {
        const auto packet = liveReply(record);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    deliver(stream);
    EXPECT_EQ(session.framer().oversizePackets(), 1u);
    ASSERT_EQ(host.livePictures.size(), 1u);
    EXPECT_EQ(host.livePictures[0].channel, 7);
    EXPECT_TRUE(host.disconnects.empty());
}

TEST_F(SessionTest, AnOversizeLiveReplyStillSendsTheNextRequest) {
    startLive();
    ASSERT_EQ(countSent(command::LivePicture), 1u);
    host.pendingPtz = {1, 2, 3};
    ParamBlock p;
    // The reply to the outstanding request announces more than a frame record holds.
    auto huge = serializePacket(
        PacketHeader{makeVersionText("DVRJ PACKET1.44"), 0x7FFFFFF0u, 1, command::LivePictureReply}, p);
    huge.insert(huge.end(), 5000, 0x44);
    deliver(huge);
    // The PTZ command and then the next live request go out, as after a skipped picture.
    const auto commands = transport.sentCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], command::PtzData);
    EXPECT_EQ(commands.back(), command::LivePicture);
    EXPECT_EQ(countSent(command::LivePicture), 2u);
    // The answer to it arrives after the dropped bytes and is shown.
    const auto record = liveRecord(frame::PictureKind::Single, 5);
    for (int i = 0; i < 5; ++i)
        deliver(liveReply(record));
    EXPECT_EQ(host.livePictures.size(), 1u);
    EXPECT_EQ(countSent(command::LivePicture), 7u);
    // Other oversize replies are passed over without a request of their own.
    auto hugeEvents = serializePacket(
        PacketHeader{makeVersionText("DVRJ PACKET1.44"), 0x7FFFFFF0u, 1, command::StopPlaybackReply}, p);
    deliver(hugeEvents);
    EXPECT_EQ(countSent(command::LivePicture), 7u);
    EXPECT_TRUE(host.disconnects.empty());
}

// A recorder that answers the live request with no record at all (nothing to show, or a length that
// counts only the header) has answered it all the same: the loop must not wait for a record that never
// comes, or the connection falls silent until the watchdog drops it.
TEST_F(SessionTest, ALiveReplyWithoutARecordStillSendsTheNextRequest) {
    startLive();
    ASSERT_EQ(countSent(command::LivePicture), 1u);
    host.pendingPtz = {1, 2, 3};
    deliver(liveReply({}));
    const auto commands = transport.sentCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], command::PtzData);
    EXPECT_EQ(commands.back(), command::LivePicture);
    EXPECT_EQ(countSent(command::LivePicture), 2u);
    EXPECT_TRUE(host.livePictures.empty());
    // The replies that follow carry pictures, each answered by the next request; the fifth is shown
    // (the first four settle the new format).
    const auto record = liveRecord(frame::PictureKind::Single, 5);
    for (int i = 0; i < 5; ++i)
        deliver(liveReply(record));
    EXPECT_EQ(host.livePictures.size(), 1u);
    EXPECT_EQ(countSent(command::LivePicture), 7u);
    EXPECT_TRUE(host.disconnects.empty());
}

TEST_F(SessionTest, RecorderEndingTheSessionDisconnectsWithMessage) {
    startLive();
    const auto record = liveReply(liveRecord(frame::PictureKind::Single, 1));
    std::vector<uint8_t> stream = reply(command::SessionEnded, params({}));
    stream.insert(stream.end(), record.begin(), record.end());
    deliver(stream);
    EXPECT_FALSE(session.hasSocket());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "disconnected.");
    ASSERT_FALSE(host.disconnects.empty());
    EXPECT_EQ(host.disconnects[0], DisconnectReason::RecorderEnded);
    EXPECT_EQ(session.live().frameCounter(), 0);  // the bytes after it are not handled
    EXPECT_FALSE(host.watchdog);
}

TEST_F(SessionTest, StopPlaybackReplyStatus) {
    startLive();
    deliver(reply(command::StopPlaybackReply, params({1})));
    EXPECT_EQ(host.statuses, std::vector<uint32_t>{1});
    EXPECT_TRUE(host.messages.empty());
    deliver(reply(command::StopPlaybackReply, params({2})));
    EXPECT_EQ(host.statuses, (std::vector<uint32_t>{1, 2}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "MSG_026");
    EXPECT_EQ(session.requestState(), RequestState::PlaybackStop);
}

TEST_F(SessionTest, PlayErrorMessageWaitsUntilTheReadIsHandled) {
    startLive();
    // The stop reply with status 2 and a live picture behind it in the same read; the message box
    // reads the socket again while it is open.
    std::vector<uint8_t> stream = reply(command::StopPlaybackReply, params({2}));
    const auto picture = liveReply(liveRecord(frame::PictureKind::Single, 1));
    stream.insert(stream.end(), picture.begin(), picture.end());
    host.duringMessage = [this] { readOnce(transport, session); };
    deliver(stream);
    EXPECT_EQ(host.messages, std::vector<std::string>{"MSG_026"});
    EXPECT_EQ(host.statuses, std::vector<uint32_t>{2});
    EXPECT_EQ(session.live().frameCounter(), 1);  // the picture is not lost
    EXPECT_EQ(session.framer().droppedBytes(), 0u);
}

TEST_F(SessionTest, WatchdogClosesAfterTheSecondSilentTick) {
    startLive();
    tick();  // clears the activity of the login
    EXPECT_TRUE(session.hasSocket());
    tick();
    EXPECT_FALSE(session.hasSocket());
    EXPECT_FALSE(host.watchdog);
    ASSERT_EQ(host.disconnects.size(), 1u);
    EXPECT_EQ(host.disconnects[0], DisconnectReason::NoTraffic);
    tick();  // a stopped watchdog does nothing
    EXPECT_EQ(host.disconnects.size(), 1u);
}

TEST_F(SessionTest, WatchdogKeepsATalkingConnection) {
    startLive();
    for (int i = 0; i < 5; ++i) {
        tick();
        deliver(reply(command::StopReply, params({})));
    }
    EXPECT_TRUE(session.hasSocket());
}

TEST_F(SessionTest, PeerCloseRunsTheViewDisconnectAtOnce) {
    startLive();
    const auto picture = liveReply(liveRecord(frame::PictureKind::Single, 2));
    transport.arrive(picture);
    transport.peerClosed = true;
    drain();
    readOnce(transport, session);
    // What came before the close is handled; the close itself ends the session now.
    EXPECT_EQ(session.live().frameCounter(), 1);
    EXPECT_FALSE(session.hasSocket());
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::PeerClosed});
    EXPECT_NE(transport.sentCommands().back(), command::Stop);  // nobody is there to read it
    EXPECT_FALSE(host.watchdog);
}

// Splits what the transport took into packets; a torn packet shows as
// dropped bytes or a payload left unfinished.
struct WireCheck {
    std::vector<uint32_t> commands;
    std::vector<std::vector<uint8_t>> payloads;
    uint64_t droppedBytes = 0;
    bool atBoundary = true;
};

WireCheck splitWire(std::span<const uint8_t> wire) {
    WireCheck check;
    PacketFramer framer(1 << 20);
    uint32_t command = 0;
    while (!wire.empty()) {
        size_t used = 0;
        const FramerEvent e = framer.next(wire, used);
        wire = wire.subspan(used);
        if (e.kind == FramerEvent::Kind::Header) {
            command = e.header.command;
            check.commands.push_back(command);
            if (e.payloadBytes == 0)
                check.payloads.emplace_back();
        } else if (e.kind == FramerEvent::Kind::PayloadComplete) {
            check.payloads.emplace_back(e.payload.begin(), e.payload.end());
        }
    }
    check.droppedBytes = framer.droppedBytes();
    check.atBoundary = framer.atPacketBoundary();
    return check;
}

TEST_F(SessionTest, BytesTheSocketDoesNotTakeWaitAndGoOutWholeInOrder) {
    // The socket takes nothing, then a few bytes at a time, then all.
    for (const size_t step : {size_t{0}, size_t{1}, size_t{97}, size_t{4096}}) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s{h, &h.playback};
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        h.session = &s;
        t.room = 0;
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);  // the login request waits
        EXPECT_TRUE(s.wantsWrite());
        EXPECT_TRUE(t.writeWatched);
        std::vector<uint8_t> ptz(200);
        for (size_t i = 0; i < ptz.size(); ++i)
            ptz[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(s.sendPtz(ptz, 3));
        ASSERT_TRUE(s.request(RequestKind::KeepAlive));
        EXPECT_TRUE(t.wire.empty());
        for (int i = 0; i < 100000 && s.wantsWrite(); ++i) {
            t.room = step == 0 ? SIZE_MAX : step;
            d.onWritable();
        }
        EXPECT_FALSE(s.wantsWrite()) << step;
        EXPECT_FALSE(t.writeWatched) << step;
        const WireCheck check = splitWire(t.wire);
        EXPECT_EQ(check.commands,
                  (std::vector<uint32_t>{command::Login, command::PtzData, command::KeepAlive}))
            << step;
        ASSERT_EQ(check.payloads.size(), 3u);
        EXPECT_EQ(check.payloads[1].size(), 200u);
        EXPECT_EQ(check.payloads[1].back(), 199);
        EXPECT_EQ(check.droppedBytes, 0u);
        EXPECT_TRUE(check.atBoundary);
        EXPECT_TRUE(h.disconnects.empty());
    }
}

TEST_F(SessionTest, AQueueBeyondItsBoundIsADeadLink) {
    startLive();
    transport.room = 0;
    const std::vector<uint8_t> ptz(1000, 0xAB);
    size_t sends = 0;
    while (session.hasSocket() && sends < 1000) {
        session.sendPtz(ptz, 3);
        ++sends;
    }
    // 64 KiB of 1060-byte packets fit, the next one does not.
    EXPECT_EQ(sends, SendQueue::kMaxQueuedBytes / 1060 + 1);
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendOverflow});
    EXPECT_FALSE(session.wantsWrite());
    // Nothing more was offered to the socket: no stop request behind a torn queue.
    EXPECT_EQ(transport.sent.size(), 3u);  // login, range, live request
    EXPECT_FALSE(session.sendPtz(ptz, 3));
}

TEST_F(SessionTest, AQueueThatCannotDrainForAWatchdogPeriodIsADeadLink) {
    startLive();
    transport.room = 10;
    ASSERT_TRUE(session.request(RequestKind::KeepAlive));
    // The recorder keeps talking, so the no-traffic rule never fires.
    tick();
    deliver(reply(command::StopReply, params({})));
    EXPECT_TRUE(session.hasSocket());
    // Draining in between clears the mark; a fresh queue waits a whole period again.
    transport.room = SIZE_MAX;
    driver.onWritable();
    transport.room = 0;
    ASSERT_TRUE(session.request(RequestKind::KeepAlive));
    tick();
    deliver(reply(command::StopReply, params({})));
    EXPECT_TRUE(session.hasSocket());
    tick();
    EXPECT_FALSE(session.hasSocket());
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendStalled});
}

TEST_F(SessionTest, ASendErrorRunsTheViewDisconnectOnce) {
    for (const bool queued : {false, true}) {
        FakeTransport t;
        RecordingHost h;
        RecorderSession s{h, &h.playback};
        testing::FakeSteadyClock fakeClock;
        SessionDriver d{s, t, fakeClock};
        h.session = &s;
        ASSERT_TRUE(d.connect("127.0.0.1", 50000));
        d.onConnectResult(0);
        if (queued) {
            t.room = 0;
            ASSERT_TRUE(s.request(RequestKind::KeepAlive));
            t.sendError = ECONNRESET;
            d.onWritable();
        } else {
            t.sendError = EPIPE;
            EXPECT_FALSE(s.request(RequestKind::KeepAlive));
        }
        EXPECT_FALSE(s.hasSocket()) << queued;
        EXPECT_EQ(h.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendFailed}) << queued;
        EXPECT_FALSE(h.watchdog);
    }
}

TEST_F(SessionTest, EventListTakesSixteenBytesPerRecord) {
    startLive();
    ASSERT_TRUE(session.request(RequestKind::StopPlayback));  // the paused playback window asks
    ASSERT_TRUE(session.request(RequestKind::EventList));
    std::vector<uint8_t> body(48);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<uint8_t>(i);
    // The length field claims no payload; p0 = 3 decides.
    auto packet = serializePacket(
        PacketHeader{makeVersionText("DVRJ PACKET1.44"), 60, 1, command::EventListReply}, params({3}), body);
    const auto next = reply(command::StopReply, params({}));
    packet.insert(packet.end(), next.begin(), next.end());
    deliver(packet);
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0], body);
    EXPECT_EQ(session.requestState(), RequestState::PlaybackStop);  // the state before the event list

    ASSERT_TRUE(session.request(RequestKind::EventList));
    deliver(reply(command::EventListReply, params({0})));
    EXPECT_EQ(host.events.size(), 1u);
    EXPECT_EQ(session.requestState(), RequestState::EventList);
    // The host still hears that the list is empty.
    EXPECT_EQ(host.announcedEvents, (std::vector<uint32_t>{3, 0}));
}

TEST_F(SessionTest, AnEventListLargerThanAnyPictureArrivesWhole) {
    startLive();
    ASSERT_TRUE(session.request(RequestKind::EventList));
    const uint32_t records = uint32_t(kMaxPayloadBytes / kEventRecordBytes) + 1000;
    std::vector<uint8_t> body(size_t(records) * kEventRecordBytes, 0x21);
    deliver(serializePacket(PacketHeader{makeVersionText("DVRJ PACKET1.44"), 60, 1, command::EventListReply},
                            params({records}), body));
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].size(), body.size());
    EXPECT_EQ(session.framer().oversizePackets(), 0u);
}

// Beyond the event list's limit the reply is dropped at its header: the host hears so (no body will
// come), and the reply after the dropped bytes is read as usual.
TEST_F(SessionTest, AnEventListBeyondItsLimitIsReportedDropped) {
    startLive();
    ASSERT_TRUE(session.request(RequestKind::EventList));
    const uint32_t records = uint32_t(PacketFramer::kMaxEventListBytes / kEventRecordBytes) + 1;
    std::vector<uint8_t> body(size_t(records) * kEventRecordBytes, 0x21);
    deliver(serializePacket(PacketHeader{makeVersionText("DVRJ PACKET1.44"), 60, 1, command::EventListReply},
                            params({records}), body));
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.droppedEvents, std::vector<uint32_t>{records});
    EXPECT_EQ(session.framer().oversizePackets(), 1u);
    deliver(reply(command::EventListReply, params({0})));
    EXPECT_EQ(host.announcedEvents, std::vector<uint32_t>{0});
}

TEST_F(SessionTest, PlaybackActiveStopsTheLiveLoopAfterThePictureInFlight) {
    startLive();
    const auto record = liveRecord(frame::PictureKind::Single, 2);
    for (int i = 0; i < 4; ++i)
        deliver(liveReply(record));
    host.playbackOn = true;
    const size_t before = countSent(command::LivePicture);
    deliver(liveReply(record));
    EXPECT_EQ(host.livePictures.size(), 1u);  // decoded and shown
    EXPECT_EQ(countSent(command::LivePicture), before);
}

// The playback window closed while the live request sent before it opened was still unanswered: the
// live request of its closing goes out, and the two replies carry one loop on, not two.
TEST_F(SessionTest, ALiveRequestInFlightWhenPlaybackEndsKeepsOneLoop) {
    startLive();
    const auto record = liveRecord(frame::PictureKind::Single, 2);
    deliver(liveReply(record));  // the loop runs: one request on its way
    host.playbackOn = true;
    host.playbackOn = false;  // opened and closed before that request was answered
    ASSERT_TRUE(session.request(RequestKind::LivePicture));
    const size_t before = countSent(command::LivePicture);
    deliver(liveReply(record));
    EXPECT_EQ(countSent(command::LivePicture), before) << "the request sent at closing carries the loop";
    deliver(liveReply(record));
    EXPECT_EQ(countSent(command::LivePicture), before + 1);
    deliver(liveReply(record));
    EXPECT_EQ(countSent(command::LivePicture), before + 2);
}

TEST_F(SessionTest, PtzGoesOutBetweenPictureAndNextRequest) {
    startLive();
    host.pendingPtz = {0xA0, 0x01, 0x02};
    deliver(liveReply(liveRecord(frame::PictureKind::Single, 0)));
    const auto commands = transport.sentCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], command::PtzData);
    EXPECT_EQ(commands.back(), command::LivePicture);
    const size_t ptz = commands.size() - 2;
    EXPECT_EQ(transport.sent[ptz].size(), 63u);
    EXPECT_EQ(transport.sentHeader(ptz).length, 63u);
    EXPECT_EQ(transport.sentHeader(ptz).type, 3u);
    const ParamBlock p = transport.sentParams(ptz);
    EXPECT_EQ(p.p[0], 2u);
    EXPECT_EQ(p.p[1], 3u);
    EXPECT_EQ(p.p[2], 3u);
    EXPECT_EQ(transport.sent[ptz][60], 0xA0);
}

class PlaybackTest : public SessionTest {
protected:
    void startPlayback(uint32_t playMode) {
        startLive();
        host.playbackOn = true;
        host.playingFlag = true;
        session.setPlayRequest(packDateWord({2006, 1, 2}), packTimeWord({0, 0, 0, 3, 4, 5}), playMode);
        ASSERT_TRUE(session.request(RequestKind::PlaySearch));
        session.setPendingRequest(RequestKind::NextPlaybackPicture);
        const ParamBlock p = transport.sentParams(transport.sent.size() - 1);
        EXPECT_EQ(p.p[0], 15u);
        EXPECT_EQ(p.p[3], playMode);
        deliver(reply(command::PlaySearchReply, params({1})));
        ASSERT_EQ(transport.sentCommands().back(), command::NextPlaybackPicture);
    }
    std::vector<uint8_t> pictureReply() {
        static const auto record = liveRecord(frame::PictureKind::Pair, 3);
        const DateTime t{2006, 1, 2, 3, 4, 5};
        return reply(command::PlaybackPictureReply,
                     params({packPictureDateWord(t), packPictureTimeWord(t), 0, 1, 120000}), record);
    }
};

TEST_F(PlaybackTest, PicturesFlowAndFollowUpRequestsAct) {
    startPlayback(0x00010100);
    deliver(pictureReply());
    ASSERT_EQ(host.playbackPictures.size(), 1u);
    EXPECT_EQ(host.playbackPictures[0].channel, 2);  // aligned to the pair's even channel
    ASSERT_EQ(host.pictureTimes.size(), 1u);
    EXPECT_EQ(unpackPictureTime(host.pictureTimes[0].first, host.pictureTimes[0].second),
              (DateTime{2006, 1, 2, 3, 4, 5}));
    EXPECT_EQ(host.positions.back(), 120000u);
    EXPECT_EQ(transport.sentCommands().back(), command::NextPlaybackPicture);

    session.setPendingRequest(RequestKind::PlaySearch);
    deliver(pictureReply());
    EXPECT_EQ(transport.sentCommands().back(), command::PlaySearch);
    EXPECT_EQ(session.pendingRequest(), RequestKind::NextPlaybackPicture);

    session.setPendingRequest(RequestKind::StopPlayback);
    deliver(pictureReply());
    EXPECT_EQ(transport.sentCommands().back(), command::StopPlayback);
    EXPECT_FALSE(host.playingFlag);

    // A reply without a picture passes its status code on.
    deliver(reply(command::PlaybackPictureReply, params({0, 0, 0, 3})));
    EXPECT_EQ(host.statuses.back(), 3u);
}

// A playback reply with a picture status but no record, or one announcing more than a record holds,
// answered the request: its time and position count, and exactly one follow-up request goes out.
TEST_F(PlaybackTest, AReplyWithoutAKeptRecordStillAsksForTheNextPicture) {
    startPlayback(0x00010100);
    const DateTime t{2006, 1, 2, 3, 4, 6};
    deliver(reply(command::PlaybackPictureReply,
                  params({packPictureDateWord(t), packPictureTimeWord(t), 0, 1, 130000})));
    EXPECT_TRUE(host.playbackPictures.empty());
    EXPECT_EQ(host.positions.back(), 130000u);
    EXPECT_EQ(countSent(command::NextPlaybackPicture), 2u);

    ParamBlock p = params({packPictureDateWord(t), packPictureTimeWord(t), 0, 1, 140000});
    auto huge = serializePacket(
        PacketHeader{makeVersionText("DVRJ PACKET1.44"), 0x7FFFFFF0u, 1, command::PlaybackPictureReply}, p);
    huge.insert(huge.end(), 5000, 0x44);
    deliver(huge);
    EXPECT_TRUE(host.playbackPictures.empty());
    EXPECT_EQ(host.positions.back(), 140000u);
    EXPECT_EQ(countSent(command::NextPlaybackPicture), 3u);

    // The answer to that request follows the dropped bytes and is shown.
    deliver(pictureReply());
    EXPECT_EQ(host.playbackPictures.size(), 1u);
    EXPECT_EQ(countSent(command::NextPlaybackPicture), 4u);
    EXPECT_TRUE(host.disconnects.empty());
}

TEST_F(PlaybackTest, RepliesAreCountedWhenTheModeByteIsZero) {
    startPlayback(0x00010000);
    for (int i = 0; i < 21; ++i)
        deliver(pictureReply());
    EXPECT_EQ(host.playbackPictures.size(), 20u);
    EXPECT_EQ(host.pictureTimes.size(), 20u);
    // 1 after the search reply, then one after each of the 20 processed
    // pictures; the 21st reply is discarded and asks for nothing.
    EXPECT_EQ(countSent(command::NextPlaybackPicture), 21u);
    // Counting has stopped: a later reply is processed again.
    deliver(pictureReply());
    EXPECT_EQ(host.playbackPictures.size(), 21u);
}

TEST_F(PlaybackTest, PlaybackPicturesAreDroppedWhenPlaybackIsNotActive) {
    startPlayback(0x00010100);
    host.playbackOn = false;
    const size_t before = transport.sent.size();
    deliver(pictureReply());
    EXPECT_TRUE(host.playbackPictures.empty());
    EXPECT_EQ(transport.sent.size(), before);
}

TEST_F(SessionTest, SetupQueryReplyIsKeptRaw) {
    startLive();
    ASSERT_TRUE(session.sendSetupQuery());
    EXPECT_EQ(transport.sentCommands().back(), command::SetupQuery);
    EXPECT_EQ(transport.sentHeader(transport.sent.size() - 1).type, 3u);
    EXPECT_EQ(session.requestState(), RequestState::SetupQuery);
    const std::vector<uint8_t> answer(2000, 0x42);
    deliver(answer);
    ASSERT_EQ(host.setupReplies.size(), 1u);
    EXPECT_EQ(host.setupReplies[0].size(), 1024u);
    EXPECT_EQ(session.requestState(), RequestState::LivePicture);
}

TEST_F(SessionTest, DisconnectSendsStopAndIsAlwaysSafe) {
    session.disconnect();
    EXPECT_TRUE(transport.sent.empty());
    startLive();
    session.disconnect();
    EXPECT_EQ(transport.sentCommands().back(), command::Stop);
    EXPECT_EQ(transport.closes, 1);
    EXPECT_FALSE(session.connected());
    session.disconnect();
    EXPECT_EQ(transport.closes, 1);
    // A reconnect starts with a fresh login.
    connect();
    EXPECT_EQ(transport.sentCommands().back(), command::Login);

    // Disconnecting while the connect is still under way closes the socket without sending.
    session.disconnect();
    const size_t sent = transport.sent.size();
    ASSERT_TRUE(driver.connect("127.0.0.1", 50000));
    session.disconnect();
    EXPECT_EQ(transport.sent.size(), sent);
    EXPECT_FALSE(session.hasSocket());
    EXPECT_FALSE(host.watchdog);
}

TEST_F(SessionTest, TheDriverHandsTheStopRequestToTheSocketBeforeClosingIt) {
    startLive();
    const size_t before = transport.wire.size();
    const int calls = transport.sendCalls;
    // The socket takes the stop request's header and no more.
    transport.room = kPacketHeaderBytes;
    session.disconnect();
    // Offered at once, then once more before the close; what is left goes with the socket.
    EXPECT_EQ(transport.sendCalls - calls, 2);
    EXPECT_EQ(transport.closes, 1);
    EXPECT_EQ(transport.wireAtClose, transport.wire.size());
    ASSERT_EQ(transport.wire.size(), before + kPacketHeaderBytes);
    EXPECT_EQ(readPacketHeader(std::span<const uint8_t>(transport.wire).subspan(before)).command,
              command::Stop);
    EXPECT_FALSE(session.closeWanted());
    EXPECT_TRUE(session.outgoing().empty());
    EXPECT_TRUE(host.disconnects.empty());
}

// The session alone, with no driver registered: what it wants sent waits in outgoing() until the test
// reports what the socket took, and the close it wants shows as state.
class BareSessionTest : public ::testing::Test {
protected:
    BareSessionTest() { host.session = &session; }

    void connect() {
        ASSERT_TRUE(session.connectStarted(start));
        session.onConnectResult(0);
    }
    // Takes everything waiting, as a socket with room would.
    std::vector<uint8_t> takeAll() {
        const std::span<const uint8_t> waiting = session.outgoing();
        std::vector<uint8_t> bytes(waiting.begin(), waiting.end());
        wire.insert(wire.end(), bytes.begin(), bytes.end());
        session.onSent(bytes.size());
        return bytes;
    }
    std::vector<uint32_t> commandsOf(std::span<const uint8_t> bytes) const {
        return splitWire(bytes).commands;
    }

    RecordingHost host;
    RecorderSession session{host, &host.playback};
    const TimePoint start = TimePoint(std::chrono::hours(5));
    std::vector<uint8_t> wire;
};

TEST_F(BareSessionTest, RequestsWaitInOutgoingInTheOrderTheConversationAsksForThem) {
    ASSERT_TRUE(session.connectStarted(start));
    EXPECT_TRUE(session.outgoing().empty());  // nothing before the connect succeeds
    EXPECT_TRUE(session.connectPending());
    EXPECT_EQ(session.receiveBufferBytes(), 64512);
    session.onConnectResult(0);
    EXPECT_TRUE(session.wantsWrite());
    const std::vector<uint8_t> login = takeAll();
    EXPECT_EQ(commandsOf(login), std::vector<uint32_t>{command::Login});
    EXPECT_EQ(login.size(), 300u);
    EXPECT_FALSE(session.wantsWrite());

    session.receive(reply(command::LoginReply, params({1, 16})));
    EXPECT_EQ(commandsOf(takeAll()), std::vector<uint32_t>{command::RecordingRange});
    session.receive(reply(command::RecordingRangeReply, params({0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(commandsOf(takeAll()), std::vector<uint32_t>{command::LivePicture});
    // A live picture asks for the next one; an unanswered one does not ask twice.
    EXPECT_TRUE(session.outgoing().empty());
    session.receive(liveReply(liveRecord(frame::PictureKind::Single, 4)));
    EXPECT_EQ(commandsOf(takeAll()), std::vector<uint32_t>{command::LivePicture});
    EXPECT_EQ(session.live().frameCounter(), 1);
    EXPECT_FALSE(session.closeWanted());
    EXPECT_TRUE(host.disconnects.empty());
}

TEST_F(BareSessionTest, WhatTheSocketDoesNotTakeStaysFirstInOrder) {
    connect();
    const std::vector<uint8_t> login(session.outgoing().begin(), session.outgoing().end());
    session.onSent(100);
    ASSERT_EQ(session.outgoing().size(), 200u);
    EXPECT_TRUE(std::equal(login.begin() + 100, login.end(), session.outgoing().begin()));
    // A request made meanwhile goes behind the rest of the login.
    ASSERT_TRUE(session.request(RequestKind::KeepAlive));
    session.onSent(0);
    session.onSent(150);
    EXPECT_TRUE(session.wantsWrite());
    wire.assign(login.begin(), login.begin() + 250);
    takeAll();
    EXPECT_FALSE(session.wantsWrite());
    const WireCheck check = splitWire(wire);
    EXPECT_EQ(check.commands, (std::vector<uint32_t>{command::Login, command::KeepAlive}));
    EXPECT_EQ(check.droppedBytes, 0u);
    EXPECT_TRUE(check.atBoundary);
    EXPECT_TRUE(std::equal(login.begin(), login.end(), wire.begin()));
}

TEST_F(BareSessionTest, ASendErrorDropsTheLinkAndRunsTheViewDisconnectOnce) {
    connect();
    takeAll();
    ASSERT_TRUE(session.request(RequestKind::KeepAlive));
    session.onSent(0, ECONNRESET);
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendFailed});
    EXPECT_FALSE(session.hasSocket());
    EXPECT_FALSE(host.watchdog);
    EXPECT_EQ(session.nextWakeUp(), std::nullopt);
    // Nobody is there to read a stop request: the close is asked with nothing left to send.
    EXPECT_TRUE(session.closeWanted());
    EXPECT_TRUE(session.outgoing().empty());
    session.onClosed();
    EXPECT_FALSE(session.closeWanted());
    // A report arriving after the close changes nothing.
    session.onSent(0, EPIPE);
    EXPECT_EQ(host.disconnects.size(), 1u);
    EXPECT_FALSE(session.request(RequestKind::KeepAlive));
}

TEST_F(BareSessionTest, DisconnectHandsOverTheStopRequestBeforeTheCloseIsAsked) {
    connect();
    takeAll();
    session.disconnect();
    EXPECT_FALSE(session.hasSocket());
    EXPECT_TRUE(session.closeWanted());
    EXPECT_EQ(commandsOf(session.outgoing()), std::vector<uint32_t>{command::Stop});
    session.onSent(10);  // the socket takes part of it before the close
    session.onClosed();
    EXPECT_TRUE(session.outgoing().empty());
    EXPECT_FALSE(session.closeWanted());
    EXPECT_TRUE(host.disconnects.empty());

    // A connect still under way has no stop request to send.
    ASSERT_TRUE(session.connectStarted(start));
    session.disconnect();
    EXPECT_TRUE(session.closeWanted());
    EXPECT_TRUE(session.outgoing().empty());
}

TEST_F(BareSessionTest, TheWatchdogChecksEveryPeriodOnTheTimeItIsGiven) {
    using std::chrono::milliseconds;
    const milliseconds period(kWatchdogPeriodMs);
    connect();
    takeAll();
    EXPECT_EQ(session.nextWakeUp(), start + period);
    // Early wakes do nothing: were the 29.999 s wake a check, the 30 s one would find silence.
    session.onTime(start + period - milliseconds(1));
    EXPECT_EQ(session.nextWakeUp(), start + period);
    session.onTime(start + period);  // clears the activity of the login
    EXPECT_TRUE(session.hasSocket());
    EXPECT_EQ(session.nextWakeUp(), start + 2 * period);
    session.onTime(start + 2 * period - milliseconds(1));
    EXPECT_TRUE(session.hasSocket());
    session.onTime(start + 2 * period);
    EXPECT_FALSE(session.hasSocket());
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::NoTraffic});
    EXPECT_EQ(session.nextWakeUp(), std::nullopt);
    EXPECT_EQ(commandsOf(session.outgoing()), std::vector<uint32_t>{command::Stop});
}

TEST_F(BareSessionTest, ALateWakeRunsOneCheckAndAFreshPeriod) {
    using std::chrono::milliseconds;
    const milliseconds period(kWatchdogPeriodMs);
    connect();
    takeAll();
    // The machine slept for ten minutes: one check, not twenty back to back.
    const TimePoint late = start + std::chrono::minutes(10);
    session.onTime(late);
    EXPECT_TRUE(session.hasSocket());
    EXPECT_EQ(session.nextWakeUp(), late + period);
    session.onTime(late + milliseconds(1));
    EXPECT_TRUE(session.hasSocket());
}

TEST_F(BareSessionTest, BytesNobodyTakesForAWholePeriodDropTheLinkAtTheCheck) {
    const std::chrono::milliseconds period(kWatchdogPeriodMs);
    connect();  // the login request is never taken
    session.onTime(start + period);
    // The recorder keeps talking, so only the stalled queue can end the link.
    session.receive(reply(command::StopReply, params({})));
    EXPECT_TRUE(session.hasSocket());
    session.onTime(start + 2 * period);
    EXPECT_FALSE(session.hasSocket());
    EXPECT_EQ(host.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendStalled});
    // The torn queue is not handed over: the close is asked with nothing to send.
    EXPECT_TRUE(session.closeWanted());
    EXPECT_TRUE(session.outgoing().empty());
}

}  // namespace
}  // namespace dvr::link
