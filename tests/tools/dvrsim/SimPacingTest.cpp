#include "tools/dvrsim/RecorderSimulator.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dvr;
using namespace dvr::sim;

namespace {

class ManualSimClock final : public SimClock {
public:
    int64_t nowNs() override { return now; }
    int64_t now = 5'000'000'000;
};

constexpr int64_t kSecondNs = 1'000'000'000;

std::vector<uint8_t> request(link::RequestKind kind, int speed = 8) {
    link::RequestValues values;
    values.requestSpeed = speed;
    const link::RequestBytes bytes =
        link::buildRequest(kind, link::makeVersionText("DVRJ PACKET1.44"), values, {});
    return {bytes.view().begin(), bytes.view().end()};
}

SimOptions smallPictures(int fps) {
    SimOptions options;
    options.fps = fps;
    options.channelCode = 4;
    options.codestreamBytes = 600;
    return options;
}

}  // namespace

TEST(PicturePacer, RateFollowsTheRequestsPacingValue) {
    const PicturePacer pacer(30);
    EXPECT_EQ(kSecondNs / 30, pacer.intervalNs(1));
    EXPECT_EQ(kSecondNs * 10 / (30 * 8), pacer.intervalNs(3)) << "the viewer's 16-pane default";
    EXPECT_EQ(kSecondNs * 10 / 30, pacer.intervalNs(10));
    for (uint32_t outside : {0u, 11u, 0xFFFFFFFFu})
        EXPECT_EQ(pacer.intervalNs(1), pacer.intervalNs(outside)) << outside;
    EXPECT_EQ(0, PicturePacer(0).intervalNs(5));
}

TEST(PicturePacer, SpacesPicturesWithoutCatchingUp) {
    PicturePacer pacer(10);
    const int64_t t0 = 7 * kSecondNs;
    EXPECT_EQ(t0, pacer.schedule(t0, 1)) << "the first picture goes at once";
    EXPECT_EQ(t0 + kSecondNs / 10, pacer.schedule(t0 + 1000, 1));
    EXPECT_EQ(t0 + 2 * kSecondNs / 10, pacer.schedule(t0 + 2000, 1)) << "early requests queue up";
    // Asked for long after: at once, and the next one an interval later, not a burst.
    EXPECT_EQ(t0 + 9 * kSecondNs, pacer.schedule(t0 + 9 * kSecondNs, 1));
    EXPECT_EQ(t0 + 9 * kSecondNs + kSecondNs / 10, pacer.schedule(t0 + 9 * kSecondNs, 1));

    PicturePacer unpaced(0);
    EXPECT_EQ(t0, unpaced.schedule(t0, 1));
    EXPECT_EQ(t0, unpaced.schedule(t0, 1));
}

TEST(SimConnection, PicturesAreStampedWithTheTimeTheyMayGo) {
    const SimOptions options = smallPictures(30);
    RecordSource records(options);
    ManualSimClock clock;
    SimConnection connection(options, records, {}, 1, clock);
    auto& out = connection.outgoing();

    connection.receive(request(link::RequestKind::LivePicture, 8));  // pacing 3: 24 pictures a second
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(clock.now, out.back().dueNs);
    connection.receive(request(link::RequestKind::LivePicture, 8));
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(clock.now + kSecondNs * 10 / 240, out.back().dueNs);

    // A reply that needs no pacing still waits behind the held picture (the queue keeps its order).
    connection.receive(request(link::RequestKind::Stop));
    ASSERT_EQ(3u, out.size());
    EXPECT_EQ(0, out.back().dueNs);
    out.clear();

    // The viewer asked late: at once. The slowest pacing then spaces the next one 1/3 s on.
    clock.now += kSecondNs;
    connection.receive(request(link::RequestKind::LivePicture, 1));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(clock.now, out.back().dueNs);
    connection.receive(request(link::RequestKind::LivePicture, 1));
    EXPECT_EQ(clock.now + kSecondNs * 10 / 30, out.back().dueNs);
    EXPECT_EQ(4, connection.picturesSent());
}

TEST(SimConnection, UnpacedWithoutAPictureRate) {
    const SimOptions options = smallPictures(0);
    RecordSource records(options);
    ManualSimClock clock;
    SimConnection connection(options, records, {}, 1, clock);
    for (int i = 0; i < 3; ++i)
        connection.receive(request(link::RequestKind::LivePicture, 8));
    ASSERT_EQ(3u, connection.outgoing().size());
    for (const SimConnection::Reply& reply : connection.outgoing())
        EXPECT_EQ(0, reply.dueNs);
}
