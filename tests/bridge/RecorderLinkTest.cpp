// The bridge's core over a fake recorder connection: the live loop asks only
// for watched channels, idles with keep-alives, reconnects with back-off, and
// the request core answers streams, snapshots, status, metrics and health.
#include "bridge/BridgeCore.h"
#include "bridge/RecorderLink.h"
#include "tests/viewer/link/FakeLink.h"
#include "tools/synth/Synth.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <crypt.h>

namespace dvr::bridge {
namespace {

using link::testing::FakeTransport;
using link::testing::params;
using link::testing::reply;
namespace command = link::command;

synth::CodestreamCache& codestreams() {
    static synth::CodestreamCache cache;
    return cache;
}

std::vector<uint8_t> liveRecord(int channel) {
    synth::PictureShape shape;
    shape.kind = frame::PictureKind::Single;
    shape.channel = channel;
    shape.channelCount = 16;
    shape.height = 240;
    const auto codestream = codestreams().get(shape, 8000);
    synth::RecordHeaderFields record;
    record.layoutCode = 0x10016;
    record.pictureFlags = synth::pictureFlagsFor(frame::PictureKind::Single, 3);
    record.channel = static_cast<uint32_t>(channel);
    return synth::buildWireRecord(synth::makeHeader(record, codestream->size()), *codestream);
}

class CountingTransport : public FakeTransport {
public:
    ConnectStart open(std::string_view address, uint16_t port) override {
        attempts.push_back(now ? *now : 0);
        return FakeTransport::open(address, port);
    }
    const int64_t* now = nullptr;
    std::vector<int64_t> attempts;
};

constexpr std::string_view kPassword = "s3cret-word";

class BridgeLinkTest : public ::testing::Test {
protected:
    BridgeLinkTest() {
        transport.now = &nowMs;
        settings.maxClients = 3;
    }

    void setTime(int64_t t) {
        nowMs = t;
        link.setTime(nowMs, 1700000000000 + nowMs);
    }
    // Advances the clock second by second, ticking the link and the core.
    void runUntil(int64_t t) {
        while (nowMs < t) {
            setTime(std::min(t, nowMs + 1000));
            link.tick();
            core.tick(nowMs);
        }
    }
    void deliver(std::span<const uint8_t> bytes) {
        transport.arrive(bytes);
        for (int i = 0; i < 10000 && !transport.incoming.empty() && link.session().wantsRead(); ++i)
            dvr::link::readOnce(transport, link.session());
    }
    // Connects and logs in; the range reply sends the first live request.
    void login() {
        if (!link.session().hasSocket())
            link.start();
        link.session().onConnectResult(0);
        deliver(reply(command::LoginReply, params({1, 16})));
        deliver(reply(command::RecordingRangeReply, params({0, 0, 0, 0, 0, 0})));
    }
    void livePicture(int channel, uint32_t visibility = 0xFFFF0000) {
        deliver(reply(command::LivePictureReply, params({0, 0, 0, 0, 0, visibility}), liveRecord(channel)));
    }
    // The settle rule drops the first four pictures of a new format: the fifth is shown.
    void settle(int channel) {
        for (int i = 0; i < 5; ++i)
            livePicture(channel);
    }
    std::vector<link::ParamBlock> sentLiveRequests() const {
        std::vector<link::ParamBlock> out;
        for (size_t i = 0; i < transport.sent.size(); ++i)
            if (transport.sentCommand(i) == command::LivePicture)
                out.push_back(transport.sentParams(i));
        return out;
    }
    size_t countSent(uint32_t code) const {
        const auto commands = transport.sentCommands();
        return static_cast<size_t>(std::count(commands.begin(), commands.end(), code));
    }
    HttpReply get(const std::string& path, bool woken = false, int64_t startedMs = -1) {
        HttpRequest request;
        request.method = "GET";
        const size_t q = path.find("?fps=");
        request.path = path.substr(0, q);
        if (q != std::string::npos)
            request.fps = path.substr(q + 5);
        request.startedMs = startedMs < 0 ? nowMs : startedMs;
        request.woken = woken;
        request.ifNoneMatch = ifNoneMatch;
        return core.handle(request, nowMs, 1700000000000 + nowMs, [this] { ++wakes; });
    }

    int64_t nowMs = 0;
    BridgeSettings settings;
    CountingTransport transport;
    std::vector<std::string> logs;
    RecorderLink link{RecorderConfig{"dvr", "127.0.0.1", 50000, "admin", "", "", 0}, std::string(kPassword),
                      transport, settings, [this](const std::string& line) { logs.push_back(line); }};
    BridgeCore core{settings, {&link}, std::nullopt};
    int wakes = 0;
    std::string ifNoneMatch;
};

TEST_F(BridgeLinkTest, IdleLinkAsksForNoPicturesAndKeepsTheSessionAlive) {
    setTime(0);
    login();
    ASSERT_TRUE(link.up());
    // One live request learns which channels this user may see; its reply is not followed by another.
    ASSERT_EQ(sentLiveRequests().size(), 1u);
    livePicture(0);
    EXPECT_EQ(sentLiveRequests().size(), 1u);
    EXPECT_TRUE(link.session().liveRequestHeld());
    runUntil(19000);
    EXPECT_EQ(countSent(0xFFFF0000), 0u);
    runUntil(20000);
    EXPECT_EQ(countSent(0xFFFF0000), 1u);
    // Keep-alives every 20 s keep both watchdogs content for minutes.
    runUntil(200000);
    EXPECT_EQ(countSent(0xFFFF0000), 10u);
    EXPECT_TRUE(link.up());
    EXPECT_EQ(sentLiveRequests().size(), 1u);
    EXPECT_EQ(link.reconnects(), 0u);
}

// A watchdog shorter than the usual keep-alive period gets keep-alives twice within each of its periods.
TEST_F(BridgeLinkTest, AShortWatchdogKeepsAnIdleLinkUp) {
    settings.watchdogMs = 10000;
    link.session().setWatchdogPeriod(std::chrono::milliseconds(settings.watchdogMs));
    setTime(0);
    login();
    livePicture(0);
    ASSERT_TRUE(link.session().liveRequestHeld());
    runUntil(120000);
    EXPECT_TRUE(link.up());
    EXPECT_EQ(link.reconnects(), 0u);
    // Every 6.7 s, on the loop's next whole second here: 7, 14, ... 119 s.
    EXPECT_EQ(countSent(0xFFFF0000), 17u);
}

TEST_F(BridgeLinkTest, LiveRequestAsksOnlyForWatchedChannelsAtTheirSpeed) {
    setTime(0);
    login();
    livePicture(0);
    const HttpReply first = get("/stream/dvr/3.mjpeg");
    ASSERT_EQ(first.status, 200);
    ASSERT_TRUE(first.stream);
    EXPECT_EQ(first.contentType, "multipart/x-mixed-replace;boundary=vistrelframe");
    auto requests = sentLiveRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].p[2], 0x4u);
    EXPECT_EQ(requests[1].p[3], 9u);  // one channel: speed 2
    const HttpReply second = get("/stream/dvr/6.mjpeg");
    ASSERT_TRUE(second.stream);
    settle(2);
    requests = sentLiveRequests();
    EXPECT_EQ(requests.back().p[2], 0x24u);
    EXPECT_EQ(requests.back().p[3], 7u);  // two channels: the four-pane speed 4
    // The settled picture of channel 3 reached its client as one JPEG part.
    std::vector<uint8_t> buffer(256 * 1024);
    const size_t n = first.stream->read(buffer);
    const std::string text(reinterpret_cast<const char*>(buffer.data()), n);
    ASSERT_EQ(text.rfind("--vistrelframe\r\nContent-Type: image/jpeg\r\nContent-Length: ", 0), 0u);
    const size_t body = text.find("\r\n\r\n") + 4;
    EXPECT_EQ(static_cast<uint8_t>(text[body]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(text[body + 1]), 0xD8);
    EXPECT_EQ(second.stream->read(buffer), 0u);  // nothing of channel 6 yet
    EXPECT_EQ(link.feed(2).picturesIn, 2u);
    EXPECT_EQ(link.feed(0).picturesIn, 0u);  // nobody watched channel 1: never encoded
    // Both clients gone: the loop stops after the picture in flight.
    const size_t before = sentLiveRequests().size();
    link.feed(2).detach(*first.stream);
    link.feed(5).detach(*second.stream);
    livePicture(2);
    EXPECT_EQ(sentLiveRequests().size(), before);
    EXPECT_TRUE(link.session().liveRequestHeld());
}

TEST_F(BridgeLinkTest, PerRecorderSpeedOverridesTheDefault) {
    CountingTransport t;
    RecorderLink fixed{RecorderConfig{"fixed", "127.0.0.1", 50000, "admin", "", "", 10}, "", t, settings,
                       [](const std::string&) {}};
    fixed.setTime(0, 0);
    fixed.start();
    StreamClient client;
    fixed.feed(0).attach(client, 0);
    fixed.watchChanged();
    EXPECT_EQ(fixed.session().live().requestSpeed(), 10);
    EXPECT_EQ(fixed.session().live().displayedChannelMask(), 0x1u);
}

TEST_F(BridgeLinkTest, ForbiddenChannelsAreNotServedNorListed) {
    setTime(0);
    login();
    // Channels 3 and 4 (0-based 2 and 3) are forbidden to this user.
    livePicture(0, 0xFFF30000);
    EXPECT_EQ(get("/stream/dvr/3.mjpeg").status, 404);
    EXPECT_EQ(get("/snapshot/dvr/4.jpg").body, "no channel 4 on dvr\n");
    EXPECT_EQ(get("/stream/dvr/5.mjpeg").status, 200);
    const std::string status = get("/api/status").body;
    EXPECT_NE(status.find("{\"channel\":2,"), std::string::npos);
    EXPECT_EQ(status.find("{\"channel\":3,"), std::string::npos);
    EXPECT_EQ(status.find("{\"channel\":4,"), std::string::npos);
    EXPECT_NE(status.find("{\"channel\":16,"), std::string::npos);
    const std::string metrics = get("/metrics").body;
    EXPECT_NE(metrics.find("channel=\"5\""), std::string::npos);
    EXPECT_EQ(metrics.find("channel=\"3\""), std::string::npos);
    EXPECT_EQ(metrics.find("channel=\"4\""), std::string::npos);
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "dvr: channels forbidden to this user: 3 4"), 1);
}

TEST_F(BridgeLinkTest, ReconnectsBackOffFromOneToThirtySeconds) {
    transport.refuse = true;
    setTime(0);
    link.start();
    runUntil(130000);
    EXPECT_EQ(transport.attempts,
              (std::vector<int64_t>{0, 1000, 3000, 7000, 15000, 31000, 61000, 91000, 121000}));
    EXPECT_EQ(link.reconnects(), 8u);
    // One line for the change of state, not one per failed retry.
    EXPECT_EQ(logs.size(), 1u);
    EXPECT_EQ(get("/healthz").status, 503);
    // Back: the next success resets the delay.
    transport.refuse = false;
    runUntil(151000);
    ASSERT_TRUE(link.session().hasSocket());
    login();
    EXPECT_TRUE(link.up());
    EXPECT_EQ(get("/healthz").status, 200);
    EXPECT_EQ(link.retryDelayMs(), 1000);
}

TEST_F(BridgeLinkTest, StreamsSurviveTheRecorderGoingAway) {
    setTime(0);
    login();
    const HttpReply stream = get("/stream/dvr/1.mjpeg");
    ASSERT_TRUE(stream.stream);
    settle(0);
    std::vector<uint8_t> buffer(256 * 1024);
    ASSERT_GT(stream.stream->read(buffer), 0u);
    EXPECT_EQ(get("/snapshot/dvr/1.jpg").status, 200);
    // The recorder closes the connection.
    transport.peerClosed = true;
    dvr::link::readOnce(transport, link.session());
    EXPECT_FALSE(link.up());
    EXPECT_EQ(get("/healthz").status, 503);
    EXPECT_EQ(get("/healthz").body, "a recorder link is down\n");
    // A snapshot of the watched channel does not pass its last picture off as a current one: it waits
    // for a new one and then says the recorder is gone.
    setTime(200);
    EXPECT_TRUE(get("/snapshot/dvr/1.jpg").wait);
    setTime(5300);
    const HttpReply stale = get("/snapshot/dvr/1.jpg", true, 200);
    EXPECT_EQ(stale.status, 503);
    EXPECT_EQ(stale.body, "recorder dvr is not connected\n");
    EXPECT_EQ(link.feed(0).clientCount(), 1u);
    EXPECT_FALSE(stream.stream->ended());
    // Back after a second; pictures flow to the same client again.
    transport.peerClosed = false;
    runUntil(6300);
    ASSERT_TRUE(link.session().hasSocket());
    login();
    EXPECT_EQ(sentLiveRequests().back().p[2], 0x1u);
    settle(0);
    EXPECT_GT(stream.stream->read(buffer), 0u);
    EXPECT_EQ(link.reconnects(), 1u);
}

TEST_F(BridgeLinkTest, SnapshotOfAnIdleChannelWaitsForAFreshPicture) {
    setTime(0);
    login();
    livePicture(0);
    ASSERT_TRUE(link.session().liveRequestHeld());
    const HttpReply waiting = get("/snapshot/dvr/4.jpg");
    ASSERT_TRUE(waiting.wait);
    EXPECT_EQ(sentLiveRequests().back().p[2], 0x8u);
    settle(3);
    EXPECT_EQ(wakes, 1);
    setTime(300);
    const HttpReply answer = get("/snapshot/dvr/4.jpg", true, 0);
    ASSERT_EQ(answer.status, 200);
    ASSERT_TRUE(answer.picture);
    EXPECT_EQ(answer.contentType, "image/jpeg");
    std::string etag;
    for (const auto& [name, value] : answer.headers)
        if (name == "ETag")
            etag = value;
    EXPECT_FALSE(etag.empty());
    // Asked again with its ETag: not modified.
    ifNoneMatch = etag;
    EXPECT_EQ(get("/snapshot/dvr/4.jpg").status, 304);
    ifNoneMatch.clear();
    // A channel whose picture never comes: 503 after 5 s.
    const HttpReply other = get("/snapshot/dvr/7.jpg");
    ASSERT_TRUE(other.wait);
    runUntil(5300);
    EXPECT_EQ(wakes, 2);
    const HttpReply late = get("/snapshot/dvr/7.jpg", true, 300);
    EXPECT_EQ(late.status, 503);
    EXPECT_EQ(late.body, "no picture of channel 7 within 5 s\n");
}

TEST_F(BridgeLinkTest, ClientLimitAndBadRequestsAnswerOneLine) {
    setTime(0);
    login();
    std::vector<HttpReply> streams;
    for (int i = 0; i < 3; ++i)
        streams.push_back(get("/stream/dvr/1.mjpeg"));
    const HttpReply refused = get("/stream/dvr/1.mjpeg");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.body, "too many clients (at most 3)\n");
    EXPECT_EQ(get("/stream/nvr/1.mjpeg").body, "no recorder named nvr\n");
    EXPECT_EQ(get("/stream/dvr/1.mjpeg?fps=99").status, 400);
    EXPECT_EQ(get("/nothing").status, 404);
    HttpRequest post;
    post.method = "POST";
    post.path = "/";
    EXPECT_EQ(core.handle(post, nowMs, 0, [] {}).status, 405);
}

TEST_F(BridgeLinkTest, AuthenticationGuardsEveryEndpoint) {
    crypt_data data{};
    const std::string hash = crypt_r("pw", "$6$saltsalt$", &data);
    BridgeCore guarded{settings, {&link}, parseAuthUsers("guard:" + hash + "\n")};
    HttpRequest request;
    request.method = "GET";
    for (const char* path : {"/", "/api/status", "/metrics", "/healthz", "/snapshot/dvr/1.jpg"}) {
        request.path = path;
        const HttpReply reply = guarded.handle(request, 0, 0, [] {});
        EXPECT_EQ(reply.status, 401) << path;
        EXPECT_TRUE(std::any_of(reply.headers.begin(), reply.headers.end(),
                                [](const auto& h) { return h.first == "WWW-Authenticate"; }));
    }
    request.path = "/api/status";
    request.authorization = "Basic Z3VhcmQ6cHc=";  // guard:pw
    EXPECT_EQ(guarded.handle(request, 0, 0, [] {}).status, 200);
}

TEST_F(BridgeLinkTest, PasswordAppearsNowhereButTheLogin) {
    setTime(0);
    login();
    const HttpReply stream = get("/stream/dvr/2.mjpeg");
    settle(1);
    transport.peerClosed = true;
    dvr::link::readOnce(transport, link.session());
    for (const std::string& text :
         {get("/").body, get("/api/status").body, get("/metrics").body, get("/healthz").body}) {
        EXPECT_EQ(text.find(kPassword), std::string::npos);
    }
    for (const std::string& line : logs)
        EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
    // The login request did carry it, to the recorder only.
    const std::string login(transport.sent[0].begin(), transport.sent[0].end());
    EXPECT_NE(login.find(kPassword), std::string::npos);
}

TEST_F(BridgeLinkTest, PageNeedsNothingFromElsewhere) {
    const HttpReply page = get("/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    // Works offline: no outside address, and the policy forbids loading any.
    EXPECT_EQ(page.body.find("http:"), std::string::npos);
    EXPECT_EQ(page.body.find("https:"), std::string::npos);
    EXPECT_EQ(page.body.find("src=\"//"), std::string::npos);
    EXPECT_TRUE(std::any_of(page.headers.begin(), page.headers.end(), [](const auto& h) {
        return h.first == "Content-Security-Policy" && h.second.rfind("default-src 'self';", 0) == 0;
    }));
    // Tiles carry alt texts and take the keyboard focus.
    EXPECT_NE(page.body.find("img.alt = "), std::string::npos);
    EXPECT_NE(page.body.find("fig.tabIndex = 0"), std::string::npos);
    EXPECT_NE(page.body.find("e.key === \"Enter\""), std::string::npos);
}

TEST_F(BridgeLinkTest, StatusAndMetricsDescribeEveryChannel) {
    setTime(0);
    login();
    const HttpReply stream = get("/stream/dvr/1.mjpeg");
    setTime(2000);
    settle(0);
    const std::string status = get("/api/status").body;
    EXPECT_EQ(status.rfind("{\"recorders\":[{\"name\":\"dvr\",\"link\":\"up\",\"channels\":[{\"channel\":1,"
                           "\"width\":720,\"height\":240,\"picturesPerSecond\":",
                           0),
              0u);
    EXPECT_NE(status.find("\"lastPictureTime\":\"2023-11-14T22:13:22.000Z\",\"clients\":1}"),
              std::string::npos);
    EXPECT_NE(status.find("{\"channel\":2,\"width\":0,\"height\":0,\"picturesPerSecond\":0.0,"
                          "\"lastPictureTime\":null,\"clients\":0}"),
              std::string::npos);
    const std::string metrics = get("/metrics").body;
    for (const char* line : {"vistrel_bridge_link_up{recorder=\"dvr\"} 1\n",
                             "vistrel_bridge_reconnects_total{recorder=\"dvr\"} 0\n",
                             "vistrel_bridge_pictures_in_total{recorder=\"dvr\",channel=\"1\"} 1\n",
                             "vistrel_bridge_clients{recorder=\"dvr\",channel=\"1\"} 1\n",
                             "vistrel_bridge_dropped_pictures_total{recorder=\"dvr\",channel=\"1\"} 0\n",
                             "# TYPE vistrel_bridge_decode_seconds_total counter\n",
                             "# TYPE vistrel_bridge_encode_seconds_total counter\n",
                             "# TYPE vistrel_bridge_bytes_out_total counter\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(metrics.begin(), metrics.end(), '\n'),
              2 * 8 + 3 + 5 * 16);  // 8 families, 3 recorder lines, 5 per-channel families of 16 channels
}

// Before the first log-in told how many channels there are, every channel is served: a client of one
// counts against --max-clients, and the metrics list it.
TEST_F(BridgeLinkTest, MetricsListEveryChannelBeforeTheFirstLogIn) {
    setTime(0);
    const HttpReply stream = get("/stream/dvr/3.mjpeg");
    const std::string metrics = get("/metrics").body;
    EXPECT_NE(metrics.find("vistrel_bridge_link_up{recorder=\"dvr\"} 0\n"), std::string::npos);
    EXPECT_NE(metrics.find("vistrel_bridge_clients{recorder=\"dvr\",channel=\"3\"} 1\n"), std::string::npos)
        << metrics;
    EXPECT_EQ(std::count(metrics.begin(), metrics.end(), '\n'), 2 * 8 + 3 + 5 * 16);
}

}  // namespace
}  // namespace dvr::bridge
