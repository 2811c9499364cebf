// End to end over real loopback sockets: the recorder session, dvrsim and
// vistrelctl. Every wait is bounded.
#include "FakeLink.h"

#include "common/frame/SourceRect.h"
#include "tests/support/LoggedSimulator.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "tools/vistrelctl/RecorderClient.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace dvr::link {
namespace {

using Clock = std::chrono::steady_clock;

using testsupport::LoggedSimulator;

struct PictureSeen {
    int channel;
    uint32_t headerChannel;
    uint32_t flags;
};

class ChannelHost : public testing::RecordingHost {
public:
    void livePicture(int channel, const frame::FrameHeader& h, const frame::DecodedPicture& p) override {
        RecordingHost::livePicture(channel, h, p);
        seen.push_back({channel, h.channel, h.pictureFlags});
    }
    std::vector<PictureSeen> seen;
};

class LoopbackClient {
public:
    LoopbackClient() { host.session = &session; }
    bool connect(uint16_t port) { return driver.connect("127.0.0.1", port); }
    // One watchdog period passes on the client's clock.
    void watchdogPeriodPasses() {
        clock.advance(std::chrono::milliseconds(kWatchdogPeriodMs));
        driver.onTime();
    }
    template <typename Pred>
    bool runUntil(Pred done, double seconds = 20) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            if (!poller.pollOnce(20))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    RecorderSocket socket;
    ChannelHost host;
    RecorderSession session{host, &host.playback};
    testing::FakeSteadyClock clock;
    SessionDriver driver{session, socket, clock};
    SessionPoller poller{driver, socket};
};

ctl::ClientOptions clientOptions(uint16_t port) {
    ctl::ClientOptions o;
    o.host = "127.0.0.1";
    o.port = port;
    o.json = true;
    o.timeoutSeconds = 30;
    return o;
}

std::filesystem::path scratchDir(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("dvr-link-e2e-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(LinkEndToEnd, InfoReportsWhatTheRecorderSays) {
    struct Case {
        std::string version;
        uint32_t channelCode;
        bool keyLock;
        std::string expected;
    };
    const Case cases[] = {
        {"DVRJ PACKET1.44", 16, false,
         R"({"version":"DVRJ PACKET1.44","protocolLevel":3,"newerProtocol":true,"channels":16,"keyLock":false,)"
         R"("rangeStart":"2006-01-02 03:04:05","rangeEnd":"2006-01-02 04:04:05"})"},
        {"DVRJ PACKET1.41", 8, true,
         R"({"version":"DVRJ PACKET1.41","protocolLevel":1,"newerProtocol":false,"channels":8,"keyLock":true,)"
         R"("rangeStart":"2006-01-02 03:04:05","rangeEnd":"2006-01-02 04:04:05"})"},
        {"DVRJ PACKET1.45", 9, false,
         R"({"version":"DVRJ PACKET1.45","protocolLevel":3,"newerProtocol":true,"channels":4,"keyLock":false,)"
         R"("rangeStart":"2006-01-02 03:04:05","rangeEnd":"2006-01-02 04:04:05"})"},
    };
    for (const Case& c : cases) {
        sim::SimOptions options;
        options.versionText = c.version;
        options.channelCode = c.channelCode;
        options.keyLock = c.keyLock;
        LoggedSimulator simulator(options);
        std::ostringstream out, err;
        EXPECT_EQ(ctl::runInfo(clientOptions(simulator.port()), out, err), 0) << err.str();
        EXPECT_EQ(out.str(), c.expected + "\n");
        // Logged in as the default user, and said goodbye.
        EXPECT_EQ(simulator.countLogged(R"("user":"admin","password":"")"), 1u);
    }
}

TEST(LinkEndToEnd, InfoFailuresGiveOneLine) {
    {
        sim::SimOptions options;
        options.refuseLogin = true;
        LoggedSimulator simulator(options);
        std::ostringstream out, err;
        EXPECT_EQ(ctl::runInfo(clientOptions(simulator.port()), out, err), 1);
        EXPECT_EQ(err.str(), "vistrelctl: login refused\n");
        EXPECT_TRUE(out.str().empty());
    }
    {
        // A port nobody listens on: bind one, note it, close it.
        uint16_t port = 0;
        {
            sim::SimOptions options;
            sim::RecorderSimulator closed(options);
            std::string error;
            ASSERT_TRUE(closed.listen(error));
            port = closed.port();
        }
        std::ostringstream out, err;
        EXPECT_EQ(ctl::runInfo(clientOptions(port), out, err), 1);
        EXPECT_NE(err.str().find("connection refused"), std::string::npos) << err.str();
    }
    {
        // A listener that never answers: the watchdog's second silent tick ends it.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(fd, 1), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        auto o = clientOptions(ntohs(address.sin_port));
        o.watchdogMs = 100;
        std::ostringstream out, err;
        const auto start = Clock::now();
        EXPECT_EQ(ctl::runInfo(o, out, err), 1);
        EXPECT_EQ(err.str(), "vistrelctl: no answer\n");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        // A live run of a few seconds ends before the watchdog: a recorder that never logged it in is
        // still no answer, not zero pictures.
        auto live = clientOptions(ntohs(address.sin_port));
        live.seconds = 0.3;
        live.outDir = scratchDir("silent-live").string();
        std::ostringstream liveOut, liveErr;
        EXPECT_EQ(ctl::runLive(live, liveOut, liveErr), 1);
        EXPECT_EQ(liveErr.str(), "vistrelctl: no answer\n");
        EXPECT_EQ(liveOut.str(), "");
        std::filesystem::remove_all(live.outDir);
        ::close(fd);
    }
    {
        sim::SimOptions options;
        options.silenceAfter = 0;
        options.refuseLogin = false;
        LoggedSimulator simulator(options);
        auto o = clientOptions(simulator.port());
        o.watchdogMs = 200;  // a short watchdog for the test
        std::ostringstream out, err;
        // The login is answered, live pictures are not: info still completes.
        EXPECT_EQ(ctl::runInfo(o, out, err), 0) << err.str();
    }
}

TEST(LinkEndToEnd, LiveEveryPictureKindAndBothChannelMethods) {
    struct Case {
        sim::PictureMix kind;
        uint32_t layoutCode;
        uint32_t channelCode;
        const char* format;
    };
    const Case cases[] = {
        {sim::PictureMix::Full, 0x10016, 16, "FINE @720*240"},
        {sim::PictureMix::Full, 0x20016, 16, "FINE @720*240"},
        {sim::PictureMix::Pair, 0x10008, 8, "FINE @360*240"},
        {sim::PictureMix::Pair, 0x20008, 8, "FINE @360*240"},
        {sim::PictureMix::Quad, 0x30016, 16, "FINE @360*120"},
        {sim::PictureMix::Quad, 0x20004, 4, "FINE @360*120"},
        {sim::PictureMix::Tall, 0x20016, 16, "FINE @720*480"},
    };
    for (const Case& c : cases) {
        sim::SimOptions options;
        options.pictures = c.kind;
        options.layoutCode = c.layoutCode;
        options.channelCode = c.channelCode;
        options.codestreamBytes = 6000;
        LoggedSimulator simulator(options);

        LoopbackClient client;
        ASSERT_TRUE(client.connect(simulator.port()));
        ASSERT_TRUE(client.runUntil([&] { return client.host.seen.size() >= 8; }))
            << std::hex << c.layoutCode;
        for (const PictureSeen& s : client.host.seen) {
            // The channel read from the pixels names the record's channel.
            EXPECT_EQ(static_cast<uint32_t>(frame::baseChannel(s.channel, s.flags)), s.headerChannel)
                << std::hex << c.layoutCode;
        }
        client.session.disconnect();

        const auto dir = scratchDir("live");
        auto o = clientOptions(simulator.port());
        o.frames = 6;
        o.outDir = dir.string();
        std::ostringstream out, err;
        ASSERT_EQ(ctl::runLive(o, out, err), 0) << err.str();
        const std::string json = out.str();
        EXPECT_EQ(json.rfind(R"({"pictures":6,"picturesPerSecond":)", 0), 0u) << json;
        EXPECT_NE(json.find(std::string(R"("format":")") + c.format + "\""), std::string::npos) << json;
        size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            std::ifstream f(entry.path(), std::ios::binary);
            unsigned char soi[2] = {};
            f.read(reinterpret_cast<char*>(soi), 2);
            EXPECT_EQ(soi[0], 0xFF);
            EXPECT_EQ(soi[1], 0xD8);
            ++files;
        }
        EXPECT_GT(files, 0u);
        std::filesystem::remove_all(dir);
    }
}

TEST(LinkEndToEnd, LiveLayoutMaskAndPacingReachTheRecorder) {
    sim::SimOptions options;
    options.codestreamBytes = 6000;
    LoggedSimulator simulator(options);
    const auto dir = scratchDir("layout");
    auto o = clientOptions(simulator.port());
    o.layout = 4;
    o.first = 2;
    o.frames = 5;
    o.outDir = dir.string();
    o.json = false;
    std::ostringstream out, err;
    ASSERT_EQ(ctl::runLive(o, out, err), 0) << err.str();
    // Channels 2..5 requested with p3 = 11 - 4.
    EXPECT_GE(
        simulator.countLogged(
            R"("command":"0x1011","type":1,"length":60,"version":"DVRJ PACKET1.44","params":[1,1,60,7,)"),
        5u);
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "ch03.jpg" || name == "ch04.jpg" || name == "ch05.jpg" || name == "ch06.jpg")
            << name;
    }
    EXPECT_NE(out.str().find("total: 5 pictures"), std::string::npos) << out.str();
    std::filesystem::remove_all(dir);
}

TEST(LinkEndToEnd, FaultsNeverStallTheLoop) {
    struct Case {
        const char* name;
        sim::SimOptions options;
    };
    std::vector<Case> cases;
    {
        sim::SimOptions o;
        o.splitBytes = 700;
        o.splitDelayMs = 0;
        cases.push_back({"split", o});
    }
    {
        sim::SimOptions o;
        o.hugeAfter = 2;
        cases.push_back({"huge", o});
    }
    {
        sim::SimOptions o;
        o.garbageEvery = 2;
        cases.push_back({"garbage", o});
    }
    {
        sim::SimOptions o;
        o.pictures = sim::PictureMix::Mixed;
        o.mixedRun = 6;
        cases.push_back({"mixed", o});
    }
    for (Case& c : cases) {
        c.options.codestreamBytes = 6000;
        LoggedSimulator simulator(c.options);
        LoopbackClient client;
        ASSERT_TRUE(client.connect(simulator.port()));
        EXPECT_TRUE(client.runUntil([&] { return client.host.seen.size() >= 3; })) << c.name;
        EXPECT_TRUE(client.host.disconnects.empty()) << c.name;
        client.session.disconnect();
    }
}

TEST(LinkEndToEnd, RecorderEndingAndClosing) {
    {
        sim::SimOptions o;
        o.endAfter = 5;
        o.codestreamBytes = 6000;
        LoggedSimulator simulator(o);
        LoopbackClient client;
        ASSERT_TRUE(client.connect(simulator.port()));
        ASSERT_TRUE(client.runUntil([&] { return !client.host.disconnects.empty(); }));
        EXPECT_EQ(client.host.disconnects[0], DisconnectReason::RecorderEnded);
        EXPECT_EQ(client.host.messages, std::vector<std::string>{"disconnected."});
        EXPECT_EQ(client.session.live().frameCounter(), 5);
        EXPECT_FALSE(client.session.hasSocket());
    }
    {
        sim::SimOptions o;
        o.closeAfter = 3;
        o.codestreamBytes = 6000;
        LoggedSimulator simulator(o);
        LoopbackClient client;
        ASSERT_TRUE(client.connect(simulator.port()));
        // The close shows at once, not after the watchdog.
        ASSERT_TRUE(client.runUntil([&] { return !client.host.disconnects.empty(); }));
        EXPECT_EQ(client.host.disconnects, std::vector<DisconnectReason>{DisconnectReason::PeerClosed});
        EXPECT_FALSE(client.session.hasSocket());
        EXPECT_EQ(client.session.live().frameCounter(), 3);

        // The headless client ends with one line and status 1.
        auto options = clientOptions(simulator.port());
        options.frames = 10;
        options.outDir = scratchDir("closed").string();
        std::ostringstream out, err;
        EXPECT_EQ(ctl::runLive(options, out, err), 1);
        EXPECT_EQ(err.str(), "vistrelctl: the recorder closed the connection\n");
        std::filesystem::remove_all(options.outDir);
    }
    {
        sim::SimOptions o;
        o.silenceAfter = 2;
        o.codestreamBytes = 6000;
        LoggedSimulator simulator(o);
        LoopbackClient client;
        ASSERT_TRUE(client.connect(simulator.port()));
        // Once the recorder has the third live request, it has sent all it ever will.
        ASSERT_TRUE(client.runUntil([&] { return simulator.countLogged(R"("command":"0x1011")") >= 3; }));
        for (int i = 0; i < 5; ++i)
            client.poller.pollOnce(0);
        EXPECT_EQ(client.session.live().frameCounter(), 2);
        client.watchdogPeriodPasses();
        EXPECT_TRUE(client.session.hasSocket());
        client.watchdogPeriodPasses();
        EXPECT_FALSE(client.session.hasSocket());
    }
}

TEST(LinkEndToEnd, ARecorderThatStopsReadingIsADeadLinkWithoutATornPacket) {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    o.stopReadingAfter = 3;  // login, range and the first live request
    LoggedSimulator simulator(o);
    LoopbackClient client;
    ASSERT_TRUE(client.connect(simulator.port()));
    ASSERT_TRUE(client.runUntil([&] { return client.session.live().frameCounter() >= 1; }));
    // PTZ commands pile up: first in the system's buffers, then in the send
    // queue, which never blocks and gives up beyond its bound.
    std::vector<uint8_t> ptz(1000);
    for (size_t i = 0; i < ptz.size(); ++i)
        ptz[i] = static_cast<uint8_t>(i * 7);
    int sends = 0;
    while (client.session.hasSocket() && sends < 200000) {
        client.session.sendPtz(ptz, 3);
        ++sends;
    }
    EXPECT_EQ(client.host.disconnects, std::vector<DisconnectReason>{DisconnectReason::SendOverflow});
    EXPECT_FALSE(client.session.hasSocket());

    // The simulator reads what reached it: whole packets only, each intact.
    simulator.stop();
    std::string expectedHex;
    for (uint8_t b : ptz) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02x", b);
        expectedHex += buffer;
    }
    size_t ptzPackets = 0;
    for (const std::string& line : simulator.log()) {
        EXPECT_EQ(line.find(R"("event":"torn")"), std::string::npos) << line;
        if (line.find(R"("command":"0x1037")") != std::string::npos) {
            ++ptzPackets;
            EXPECT_NE(line.find(R"("ptz":")" + expectedHex + "\""), std::string::npos) << line.substr(0, 200);
        }
    }
    // Everything but what was still waiting arrived, in whole packets.
    EXPECT_GT(ptzPackets, 0u);
    EXPECT_LE(ptzPackets, static_cast<size_t>(sends));
    EXPECT_EQ(simulator.countLogged(R"("command":"0x1013")"), 0u);  // no stop request on a dead link
    EXPECT_EQ(simulator.countLogged(R"("event":"close")"), 1u);
}

TEST(LinkEndToEnd, QueuedBytesGoOutWhenTheSocketIsWritable) {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    LoggedSimulator simulator(o);
    LoopbackClient client;
    ASSERT_TRUE(client.connect(simulator.port()));
    ASSERT_TRUE(client.runUntil([&] { return client.session.live().frameCounter() >= 1; }));
    const std::vector<uint8_t> ptz(1000, 0x5C);
    size_t sends = 0;
    while (!client.session.wantsWrite() && sends < 200000 && client.session.hasSocket()) {
        ASSERT_TRUE(client.session.sendPtz(ptz, 3));
        ++sends;
    }
    ASSERT_TRUE(client.session.wantsWrite());
    // The poll loop hands the rest over as the socket takes it; the pictures keep coming meanwhile.
    const int pictures = client.session.live().frameCounter();
    ASSERT_TRUE(client.runUntil([&] { return !client.session.wantsWrite(); }));
    ASSERT_TRUE(client.runUntil([&] { return simulator.countLogged(R"("command":"0x1037")") >= sends; }));
    ASSERT_TRUE(client.runUntil([&] { return client.session.live().frameCounter() > pictures; }));
    EXPECT_EQ(simulator.countLogged(R"("event":"torn")"), 0u);
    EXPECT_TRUE(client.host.disconnects.empty());
}

// The system's limit on unacknowledged bytes is what notices a recorder that vanished while only
// keep-alives went out; a socket opened again after a close (usually under the same descriptor number)
// must carry it too.
TEST(LinkEndToEnd, EverySocketOpenedCarriesTheUnacknowledgedTimeout) {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    LoggedSimulator simulator(o);
    auto timeoutOf = [](const RecorderSocket& socket) {
        unsigned value = 0;
        socklen_t length = sizeof value;
        EXPECT_EQ(::getsockopt(socket.fd(), IPPROTO_TCP, TCP_USER_TIMEOUT, &value, &length), 0);
        return value;
    };
    const std::string loopback[] = {"127.0.0.1"};
    RecorderSocket plain;
    ASSERT_EQ(plain.openAddresses(loopback, simulator.port()), RecorderTransport::ConnectStart::InProgress);
    EXPECT_EQ(timeoutOf(plain), 0u);
    plain.close();

    RecorderSocket socket;
    socket.setUnacknowledgedTimeoutMs(4321);
    for (int connection = 0; connection < 3; ++connection) {
        ASSERT_EQ(socket.openAddresses(loopback, simulator.port()),
                  RecorderTransport::ConnectStart::InProgress);
        EXPECT_EQ(timeoutOf(socket), 4321u) << "connection " << connection;
        socket.close();
    }
}

// A lookup held back until the test lets it go; then the name stands for loopback, or for nothing.
class HeldLookup {
public:
    RecorderSocket::Resolver resolver() {
        return [state = m_state](const char*, const char* service, const addrinfo* hints, addrinfo** out) {
            std::unique_lock lock(state->mutex);
            state->released.wait(lock, [&] { return state->free; });
            if (!state->resolves)
                return EAI_NONAME;
            addrinfo numeric = *hints;
            numeric.ai_flags |= AI_NUMERICHOST;
            return getaddrinfo("127.0.0.1", service, &numeric, out);
        };
    }
    void release(bool resolves) {
        std::lock_guard lock(m_state->mutex);
        m_state->free = true;
        m_state->resolves = resolves;
        m_state->released.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable released;
        bool free = false;
        bool resolves = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// With lookups in the background (the bridge's loop), connecting to a name returns at once and the loop
// goes on while the name server thinks; the connect follows the answer, a name that does not resolve is a
// failed connect, and a close while the lookup runs leaves nothing behind.
TEST(LinkEndToEnd, AHostNameResolvesInTheBackgroundWhileTheLoopGoesOn) {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    LoggedSimulator simulator(o);
    for (const bool resolves : {true, false}) {
        SCOPED_TRACE(resolves ? "resolves" : "no such name");
        LoopbackClient client;
        HeldLookup lookup;
        client.socket.setBackgroundLookup(true);
        client.socket.setResolver(lookup.resolver());
        const size_t connectsBefore = simulator.countLogged(R"("event":"connect")");
        ASSERT_TRUE(client.driver.connect("recorder.test", simulator.port()));
        EXPECT_TRUE(client.socket.lookupPending());
        EXPECT_EQ(client.poller.fd(), client.socket.lookupFd());
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(client.poller.pollOnce(10));
        EXPECT_FALSE(client.session.connected());
        EXPECT_EQ(simulator.countLogged(R"("event":"connect")"), connectsBefore);

        lookup.release(resolves);
        if (resolves) {
            ASSERT_TRUE(client.runUntil([&] { return client.session.live().frameCounter() >= 1; }));
            EXPECT_TRUE(client.host.disconnects.empty());
        } else {
            ASSERT_TRUE(client.runUntil([&] { return !client.host.disconnects.empty(); }));
            EXPECT_EQ(client.host.disconnects,
                      std::vector<DisconnectReason>{DisconnectReason::ConnectFailed});
            EXPECT_FALSE(client.socket.isOpen());
        }
    }
    LoopbackClient client;
    HeldLookup lookup;
    client.socket.setBackgroundLookup(true);
    client.socket.setResolver(lookup.resolver());
    ASSERT_TRUE(client.driver.connect("recorder.test", simulator.port()));
    client.session.disconnect();
    EXPECT_FALSE(client.socket.isOpen());
    EXPECT_EQ(client.poller.fd(), -1);
    // The lookup ends on its own thread after the socket gave it up.
    lookup.release(true);
}

TEST(LinkEndToEnd, HostNamesResolve) {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    LoggedSimulator simulator(o);
    {
        LoopbackClient client;
        ASSERT_TRUE(client.driver.connect("localhost", simulator.port()));
        ASSERT_TRUE(client.runUntil([&] { return client.session.live().frameCounter() >= 1; }));
        EXPECT_TRUE(client.host.disconnects.empty());
    }
    {
        auto options = clientOptions(simulator.port());
        options.host = "no-such-recorder.invalid";
        std::ostringstream out, err;
        EXPECT_EQ(ctl::runInfo(options, out, err), 1);
        EXPECT_EQ(err.str(), "vistrelctl: cannot resolve no-such-recorder.invalid\n");
    }
}

TEST(LinkEndToEnd, EventsListAsJson) {
    struct Case {
        int events;
        const char* json;
    };
    const Case cases[] = {
        {3, R"({"events":[{"channel":0,"type":128,"text":" ALARM EVENT ON","time":"2006-01-02 03:04:05"},)"
            R"({"channel":1,"type":134,"text":" NO EVENT","time":"2006-01-02 03:24:05"},)"
            R"({"channel":2,"type":130,"text":" LOSS EVENT ON","time":"2006-01-02 03:44:05"}]})"
            "\n"},
        // A recorder without events answers with no body; the list is printed at once.
        {0, "{\"events\":[]}\n"},
    };
    for (const Case& c : cases) {
        sim::SimOptions options;
        options.events = sim::makeEvents(c.events, options);
        if (c.events > 1)
            options.events[1].type = 0x86;
        LoggedSimulator simulator(options);
        ctl::ClientOptions client = clientOptions(simulator.port());
        client.timeoutSeconds = 10;
        std::ostringstream out, err;
        ASSERT_EQ(ctl::runEvents(client, out, err), 0) << c.events << " events: " << err.str();
        EXPECT_EQ(out.str(), c.json) << c.events << " events";
    }
}

TEST(LinkEndToEnd, RemotePlaybackRunsToTheEndOfTheRecording) {
    sim::SimOptions options;
    options.rangeEnd = DateTime{2006, 1, 2, 3, 4, 12};
    options.codestreamBytes = 6000;
    options.pictures = sim::PictureMix::Pair;
    options.playError = true;
    LoggedSimulator simulator(options);
    LoopbackClient client;
    ASSERT_TRUE(client.connect(simulator.port()));
    ASSERT_TRUE(client.runUntil([&] { return client.host.ranges.size() >= 2; }));
    client.host.playbackOn = true;
    client.host.playingFlag = true;
    client.session.setPlayRequest(packDateWord({2006, 1, 2}), packTimeWord({0, 0, 0, 3, 4, 8}), 0x00010100);
    client.session.setPendingRequest(RequestKind::NextPlaybackPicture);
    ASSERT_TRUE(client.session.request(RequestKind::PlaySearch));
    ASSERT_TRUE(client.runUntil([&] { return !client.host.statuses.empty(); }));
    EXPECT_EQ(client.host.statuses[0], playstatus::EndOfPlay);
    ASSERT_EQ(client.host.pictureTimes.size(), 5u);  // 03:04:08 .. 03:04:12
    EXPECT_EQ(unpackPictureTime(client.host.pictureTimes[4].first, client.host.pictureTimes[4].second),
              (DateTime{2006, 1, 2, 3, 4, 12}));
    // The playback window's own rule decides; this host accepts every picture.
    EXPECT_EQ(client.host.playbackPictures.size(), 5u);
    for (const auto& p : client.host.playbackPictures)
        EXPECT_EQ(p.channel % 2, 0);

    ASSERT_TRUE(client.session.request(RequestKind::StopPlayback));
    ASSERT_TRUE(client.runUntil([&] { return client.host.statuses.size() >= 2; }));
    EXPECT_EQ(client.host.statuses[1], 2u);
    EXPECT_EQ(client.host.messages, std::vector<std::string>{"MSG_026"});

    client.session.setPlayRequest(packDateWord({2007, 1, 2}), packTimeWord({0, 0, 0, 3, 4, 8}), 0x00010100);
    ASSERT_TRUE(client.session.request(RequestKind::PlaySearch));
    ASSERT_TRUE(client.runUntil([&] { return client.host.statuses.size() >= 3; }));
    EXPECT_EQ(client.host.statuses[2], playstatus::NoSearchImage);
}

// Numbers vistrelctl cannot use are refused before it connects anywhere (every run names loopback all
// the same): not a number, a fraction, infinity, past the type's range.
TEST(LinkEndToEnd, VistrelctlRefusesNumbersItCannotUse) {
    const char* env = std::getenv("DVR_BIN_DIR");
    const std::string vistrelctl = std::string(env ? env : DVR_BIN_DIR_DEFAULT) + "/vistrelctl";
    ASSERT_TRUE(std::filesystem::exists(vistrelctl));
    struct Case {
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"info --port nan", "bad value for --port: nan (1 to 65535)"},
        {"info --port 80.9", "bad value for --port: 80.9 (1 to 65535)"},
        {"info --port 65536", "bad value for --port: 65536 (1 to 65535)"},
        {"live --frames 1e12", "bad value for --frames: 1e12 (0 to 2147483647)"},
        {"live --frames 99999999999", "bad value for --frames: 99999999999 (0 to 2147483647)"},
        {"live --seconds nan", "bad value for --seconds: nan (0 to 604800 seconds)"},
        {"live --seconds inf", "bad value for --seconds: inf (0 to 604800 seconds)"},
        {"info --timeout -1", "bad value for --timeout: -1 (0 to 604800 seconds)"},
        {"live --speed 11", "bad value for --speed: 11 (1 to 10)"},
    };
    for (const Case& c : cases) {
        std::string output;
        int status = -1;
        const std::string command = vistrelctl + " " + c.args + " --host 127.0.0.1 2>&1";
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, pipe))
                output += buffer;
            status = ::pclose(pipe);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.args;
        EXPECT_EQ(output, "vistrelctl: " + c.message + " (see --help)\n") << c.args;
    }
}

// The programs themselves: dvrsim as a child process ended by its PID.
TEST(LinkEndToEnd, ProgramsTalkOverLoopback) {
    // The programs lie in DVR_BIN_DIR, or in bin/ beside the tests folder.
    std::filesystem::path binDir;
    if (const char* env = std::getenv("DVR_BIN_DIR"))
        binDir = env;
    else
        binDir = DVR_BIN_DIR_DEFAULT;
    // A missing program is a broken build, not a reason to pass.
    ASSERT_TRUE(std::filesystem::exists(binDir / "dvrsim")) << "dvrsim not built in " << binDir;
    ASSERT_TRUE(std::filesystem::exists(binDir / "vistrelctl")) << "vistrelctl not built in " << binDir;
    const std::string bin = binDir.string();
    const auto dir = scratchDir("programs");
    const std::string log = (dir / "sim.log").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl((bin + "/dvrsim").c_str(), "dvrsim", "--port", "0", "--log", log.c_str(), "--events", "2",
                "--version-text", "DVRJ PACKET1.42", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    uint16_t port = 0;
    for (int i = 0; i < 200 && port == 0; ++i) {
        std::ifstream in(log);
        std::string line;
        if (std::getline(in, line)) {
            const auto at = line.find("\"port\":");
            if (at != std::string::npos)
                port = static_cast<uint16_t>(std::stoi(line.substr(at + 7)));
        }
        if (port == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_NE(port, 0);
    const std::string command =
        bin + "/vistrelctl info --host 127.0.0.1 --port " + std::to_string(port) + " --json --timeout 20";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        EXPECT_EQ(::pclose(pipe), 0);
    }
    // Let the simulator log the stop request before it is ended.
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text.find(R"("event":"close")") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_NE(output.find(R"("version":"DVRJ PACKET1.42","protocolLevel":2)"), std::string::npos) << output;
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find(R"("command":"0x1001","type":2,"length":300)"), std::string::npos);
    EXPECT_NE(all.find(R"("command":"0x1061")"), std::string::npos);
    EXPECT_NE(all.find(R"("command":"0x1013")"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dvr::link
