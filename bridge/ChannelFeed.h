// One recorder channel as the bridge serves it: the newest JPEG picture (one
// immutable buffer shared by every client), the stream clients watching it,
// the snapshot requests waiting for its first picture, and its counters.
// Single-threaded: the bridge's one loop drives the recorder links and the
// HTTP server alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dvr::bridge {

inline constexpr std::string_view kPartBoundary = "vistrelframe";

// An encoded picture of one channel. Built once, then only read.
struct Picture {
    std::vector<uint8_t> jpeg;
    int width = 0;
    int height = 0;
    int64_t wallMs = 0;     // when the picture arrived (Unix milliseconds)
    uint64_t sequence = 0;  // per channel, from 1
    // The multipart part's boundary line and headers, built once for every client.
    std::string partHeader;
};
using PictureRef = std::shared_ptr<const Picture>;

// Builds a picture with its part header (Content-Type, Content-Length, X-Timestamp).
PictureRef makePicture(std::vector<uint8_t> jpeg, int width, int height, int64_t wallMs, uint64_t sequence);

// "1712345678.123": Unix seconds with milliseconds.
std::string timestampText(int64_t wallMs);

class ChannelFeed;

// One client of a Motion-JPEG stream. It sends the part it has begun, then at
// most one waiting picture, always the newest: a picture that arrives while
// another still waits replaces it and counts as dropped.
class StreamClient {
public:
    // minIntervalMs: the client's rate cap (?fps=); 0 takes every picture.
    explicit StreamClient(int minIntervalMs = 0);
    ~StreamClient();
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    // Copies the next bytes of the stream into `out`; 0 when nothing waits
    // (the server then waits for wake()).
    size_t read(std::span<uint8_t> out);
    // Offered every new picture of the channel.
    void offer(const PictureRef& picture, int64_t nowMs);
    // Called once when a picture arrives after read() found nothing.
    void setWake(std::function<void()> wake) { m_wake = std::move(wake); }
    // The bridge stops: read() returns what is begun, then the stream ends.
    void end();
    bool ended() const { return m_ended && !m_current; }

    uint64_t dropped() const { return m_dropped; }
    uint64_t bytesOut() const { return m_bytesOut; }
    bool idle() const { return m_idle; }

private:
    friend class ChannelFeed;
    void wakeIfIdle();

    ChannelFeed* m_feed = nullptr;
    int m_minIntervalMs;
    int64_t m_nextDueMs = 0;
    PictureRef m_current;  // the part being sent
    size_t m_offset = 0;   // bytes of the current part sent
    PictureRef m_waiting;  // the newest picture not begun
    bool m_idle = false;   // read() found nothing and wake() is owed
    bool m_ended = false;
    uint64_t m_dropped = 0;
    uint64_t m_bytesOut = 0;
    std::function<void()> m_wake;
};

class ChannelFeed {
public:
    ChannelFeed() = default;
    ~ChannelFeed();
    ChannelFeed(const ChannelFeed&) = delete;
    ChannelFeed& operator=(const ChannelFeed&) = delete;

    // A new picture: kept as the latest, offered to every client, waking the
    // snapshot requests that wait.
    void publish(const PictureRef& picture, int64_t nowMs);
    const PictureRef& latest() const { return m_latest; }
    // The sequence number of the next picture.
    uint64_t nextSequence() { return ++m_sequence; }

    void attach(StreamClient& client, int64_t nowMs);
    void detach(StreamClient& client);
    size_t clientCount() const { return m_clients.size(); }

    // A snapshot asked for this channel: it stays watched for 10 s.
    void noteSnapshotInterest(int64_t nowMs) { m_snapshotInterestUntilMs = nowMs + kSnapshotInterestMs; }
    bool watched(int64_t nowMs) const { return !m_clients.empty() || nowMs < m_snapshotInterestUntilMs; }
    static constexpr int64_t kSnapshotInterestMs = 10000;

    // A snapshot request waits for the next picture, at most until deadlineMs.
    void addWaiter(int64_t deadlineMs, std::function<void()> wake);
    // Wakes the waiters whose deadline passed.
    void expireWaiters(int64_t nowMs);
    // The earliest waiter's deadline, or -1.
    int64_t nextWaiterDeadline() const;
    // Wakes every waiter and ends every stream (the bridge stops).
    void shutdown();

    // Counters for /metrics.
    uint64_t picturesIn = 0;
    double encodeSeconds = 0;
    uint64_t droppedForSlowClients() const;
    uint64_t bytesOut() const;
    uint64_t snapshotBytesOut = 0;
    // When the latest picture was published (monotonic ms), -1 before the first.
    int64_t lastPublishMs() const { return m_lastPublishMs; }

    // Pictures a second over the last few seconds, from the arrival times.
    double picturesPerSecond(int64_t nowMs) const;

private:
    struct Waiter {
        int64_t deadlineMs;
        std::function<void()> wake;
    };

    PictureRef m_latest;
    int64_t m_lastPublishMs = -1;
    uint64_t m_sequence = 0;
    std::vector<StreamClient*> m_clients;
    std::vector<Waiter> m_waiters;
    int64_t m_snapshotInterestUntilMs = -1;
    // Counts of clients that left.
    uint64_t m_droppedGone = 0;
    uint64_t m_bytesGone = 0;
    // Arrival times of the recent pictures (monotonic ms), oldest first.
    std::vector<int64_t> m_recentArrivals;
};

}  // namespace dvr::bridge
