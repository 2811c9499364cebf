#include "bridge/ChannelFeed.h"

#include <gtest/gtest.h>

#include <string>

namespace dvr::bridge {
namespace {

PictureRef picture(uint64_t sequence, size_t bytes = 100, int64_t wallMs = 1700000000123) {
    std::vector<uint8_t> jpeg(bytes, static_cast<uint8_t>(sequence));
    return makePicture(std::move(jpeg), 720, 240, wallMs, sequence);
}

std::string drain(StreamClient& client, size_t chunk = 7) {
    std::string out;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        const size_t n = client.read(buffer);
        if (n == 0)
            break;
        out.append(reinterpret_cast<const char*>(buffer.data()), n);
    }
    return out;
}

std::string part(const Picture& p) {
    return p.partHeader + std::string(p.jpeg.begin(), p.jpeg.end()) + "\r\n";
}

TEST(ChannelFeed, PartsCarryLengthAndTimestamp) {
    const PictureRef p = picture(3, 5, 1700000000123);
    EXPECT_EQ(p->partHeader,
              "--vistrelframe\r\nContent-Type: image/jpeg\r\nContent-Length: 5\r\n"
              "X-Timestamp: 1700000000.123\r\n\r\n");
    EXPECT_EQ(timestampText(1700000000007), "1700000000.007");
}

TEST(ChannelFeed, EveryClientGetsTheSameBytesInAnySplit) {
    ChannelFeed feed;
    StreamClient a, b;
    feed.attach(a, 0);
    feed.attach(b, 0);
    EXPECT_EQ(feed.clientCount(), 2u);
    const PictureRef p = picture(1, 3000);
    feed.publish(p, 10);
    // Both hold the one shared picture.
    EXPECT_EQ(p.use_count(), 4);  // p, the feed's latest, a and b
    EXPECT_EQ(drain(a, 1), part(*p));
    EXPECT_EQ(drain(b, 4096), part(*p));
    EXPECT_EQ(a.bytesOut(), part(*p).size());
    EXPECT_EQ(feed.bytesOut(), 2 * part(*p).size());
}

TEST(ChannelFeed, SlowClientSkipsToTheNewestPicture) {
    ChannelFeed feed;
    StreamClient fast, slow;
    feed.attach(fast, 0);
    feed.attach(slow, 0);
    const PictureRef p1 = picture(1), p2 = picture(2), p3 = picture(3), p4 = picture(4);
    feed.publish(p1, 0);
    // The slow client begins p1 and then reads nothing while p2, p3, p4 arrive.
    std::vector<uint8_t> some(10);
    ASSERT_EQ(slow.read(some), 10u);
    EXPECT_EQ(drain(fast), part(*p1));
    feed.publish(p2, 100);
    EXPECT_EQ(drain(fast), part(*p2));
    feed.publish(p3, 200);
    EXPECT_EQ(drain(fast), part(*p3));
    feed.publish(p4, 300);
    EXPECT_EQ(drain(fast), part(*p4));
    // The slow client finishes p1, then gets p4 only: p2 and p3 were replaced.
    EXPECT_EQ(drain(slow), part(*p1).substr(10) + part(*p4));
    EXPECT_EQ(slow.dropped(), 2u);
    EXPECT_EQ(fast.dropped(), 0u);
    EXPECT_EQ(feed.droppedForSlowClients(), 2u);
    // A client that leaves keeps its count in the feed.
    feed.detach(slow);
    EXPECT_EQ(feed.droppedForSlowClients(), 2u);
}

TEST(ChannelFeed, NewClientStartsWithTheLatestPictureAndIsWokenOnce) {
    ChannelFeed feed;
    const PictureRef p1 = picture(1);
    feed.publish(p1, 0);
    StreamClient client;
    int wakes = 0;
    client.setWake([&] { ++wakes; });
    feed.attach(client, 5);
    EXPECT_EQ(drain(client), part(*p1));
    EXPECT_TRUE(client.idle());
    const PictureRef p2 = picture(2), p3 = picture(3);
    feed.publish(p2, 10);
    feed.publish(p3, 20);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(drain(client), part(*p3));
    EXPECT_EQ(client.dropped(), 1u);
}

TEST(ChannelFeed, FpsCapSkipsPicturesWithoutCountingThemDropped) {
    ChannelFeed feed;
    StreamClient capped(250);  // 4 pictures a second
    feed.attach(capped, 0);
    int sent = 0;
    for (int i = 0; i < 20; ++i) {  // 10 pictures a second for 2 s
        feed.publish(picture(static_cast<uint64_t>(i + 1)), i * 100);
        if (!drain(capped).empty())
            ++sent;
    }
    EXPECT_GE(sent, 7);
    EXPECT_LE(sent, 9);
    EXPECT_EQ(capped.dropped(), 0u);
}

TEST(ChannelFeed, WatchedWhileClientsOrRecentSnapshots) {
    ChannelFeed feed;
    EXPECT_FALSE(feed.watched(0));
    feed.noteSnapshotInterest(1000);
    EXPECT_TRUE(feed.watched(10999));
    EXPECT_FALSE(feed.watched(11000));
    {
        StreamClient c;
        feed.attach(c, 20000);
        EXPECT_TRUE(feed.watched(20000));
    }
    // The client's end detached it.
    EXPECT_EQ(feed.clientCount(), 0u);
    EXPECT_FALSE(feed.watched(20000));
}

TEST(ChannelFeed, WaitersWakeOnPictureOrDeadline) {
    ChannelFeed feed;
    int a = 0, b = 0;
    feed.addWaiter(5000, [&] { ++a; });
    feed.addWaiter(3000, [&] { ++b; });
    EXPECT_EQ(feed.nextWaiterDeadline(), 3000);
    feed.expireWaiters(2999);
    EXPECT_EQ(a + b, 0);
    feed.expireWaiters(3000);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(a, 0);
    feed.publish(picture(1), 3500);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(feed.nextWaiterDeadline(), -1);
    EXPECT_EQ(feed.lastPublishMs(), 3500);
}

TEST(ChannelFeed, ShutdownEndsStreamsAfterTheBegunPart) {
    ChannelFeed feed;
    StreamClient client;
    feed.attach(client, 0);
    const PictureRef p1 = picture(1);
    feed.publish(p1, 0);
    std::vector<uint8_t> some(10);
    ASSERT_EQ(client.read(some), 10u);
    feed.publish(picture(2), 1);
    feed.shutdown();
    EXPECT_FALSE(client.ended());
    EXPECT_EQ(drain(client), part(*p1).substr(10));
    EXPECT_TRUE(client.ended());
}

TEST(ChannelFeed, PicturesPerSecondOverTheLastSeconds) {
    ChannelFeed feed;
    for (int i = 0; i < 30; ++i)
        feed.publish(picture(static_cast<uint64_t>(i + 1)), 10000 + i * 200);  // 5 a second
    EXPECT_NEAR(feed.picturesPerSecond(10000 + 29 * 200), 5.0, 0.4);
    EXPECT_EQ(feed.picturesPerSecond(60000), 0.0);
}

}  // namespace
}  // namespace dvr::bridge
