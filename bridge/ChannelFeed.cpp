#include "bridge/ChannelFeed.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dvr::bridge {

namespace {
// Arrival times kept for the picture rate: the last 3 seconds.
constexpr int64_t kRateWindowMs = 3000;
constexpr std::string_view kPartEnd = "\r\n";
}  // namespace

std::string timestampText(int64_t wallMs) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(wallMs / 1000),
                  static_cast<long long>(wallMs % 1000));
    return text;
}

PictureRef makePicture(std::vector<uint8_t> jpeg, int width, int height, int64_t wallMs, uint64_t sequence) {
    auto picture = std::make_shared<Picture>();
    picture->partHeader = "--" + std::string(kPartBoundary) +
                          "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
                          "\r\nX-Timestamp: " + timestampText(wallMs) + "\r\n\r\n";
    picture->jpeg = std::move(jpeg);
    picture->width = width;
    picture->height = height;
    picture->wallMs = wallMs;
    picture->sequence = sequence;
    return picture;
}

// --- StreamClient --------------------------------------------------------

StreamClient::StreamClient(int minIntervalMs) : m_minIntervalMs(minIntervalMs) {}

StreamClient::~StreamClient() {
    if (m_feed)
        m_feed->detach(*this);
}

void StreamClient::offer(const PictureRef& picture, int64_t nowMs) {
    if (m_ended || !picture)
        return;
    if (m_minIntervalMs > 0) {
        if (nowMs < m_nextDueMs)
            return;
        // Keep the cadence without bursting after a gap.
        m_nextDueMs = std::max(m_nextDueMs + m_minIntervalMs, nowMs);
    }
    if (m_waiting)
        ++m_dropped;
    m_waiting = picture;
    wakeIfIdle();
}

void StreamClient::end() {
    m_ended = true;
    m_waiting.reset();
    wakeIfIdle();
}

void StreamClient::wakeIfIdle() {
    if (m_idle) {
        m_idle = false;
        if (m_wake)
            m_wake();
    }
}

size_t StreamClient::read(std::span<uint8_t> out) {
    size_t written = 0;
    while (written < out.size()) {
        if (!m_current) {
            if (!m_waiting)
                break;
            m_current = std::move(m_waiting);
            m_waiting.reset();
            m_offset = 0;
        }
        const Picture& p = *m_current;
        const size_t headerBytes = p.partHeader.size();
        const size_t total = headerBytes + p.jpeg.size() + kPartEnd.size();
        // Copy from whichever of the part's three pieces the offset lies in.
        while (m_offset < total && written < out.size()) {
            const uint8_t* from;
            size_t available;
            if (m_offset < headerBytes) {
                from = reinterpret_cast<const uint8_t*>(p.partHeader.data()) + m_offset;
                available = headerBytes - m_offset;
            } else if (m_offset < headerBytes + p.jpeg.size()) {
                from = p.jpeg.data() + (m_offset - headerBytes);
                available = p.jpeg.size() - (m_offset - headerBytes);
            } else {
                const size_t at = m_offset - headerBytes - p.jpeg.size();
                from = reinterpret_cast<const uint8_t*>(kPartEnd.data()) + at;
                available = kPartEnd.size() - at;
            }
            const size_t n = std::min(available, out.size() - written);
            std::memcpy(out.data() + written, from, n);
            written += n;
            m_offset += n;
        }
        if (m_offset >= total)
            m_current.reset();
    }
    m_bytesOut += written;
    if (written == 0 && !m_ended)
        m_idle = true;
    return written;
}

// --- ChannelFeed ---------------------------------------------------------

ChannelFeed::~ChannelFeed() {
    for (StreamClient* c : m_clients)
        c->m_feed = nullptr;
}

void ChannelFeed::publish(const PictureRef& picture, int64_t nowMs) {
    m_latest = picture;
    m_lastPublishMs = nowMs;
    ++picturesIn;
    m_recentArrivals.push_back(nowMs);
    const auto old = std::find_if(m_recentArrivals.begin(), m_recentArrivals.end(),
                                  [&](int64_t t) { return t > nowMs - kRateWindowMs; });
    m_recentArrivals.erase(m_recentArrivals.begin(), old);
    // A wake-up may end a client (and detach it): walk a copy.
    const std::vector<StreamClient*> clients = m_clients;
    for (StreamClient* c : clients)
        c->offer(picture, nowMs);
    std::vector<Waiter> waiters;
    waiters.swap(m_waiters);
    for (Waiter& w : waiters)
        w.wake();
}

void ChannelFeed::attach(StreamClient& client, int64_t nowMs) {
    if (client.m_feed)
        client.m_feed->detach(client);
    client.m_feed = this;
    m_clients.push_back(&client);
    // A new client starts with the newest picture at once.
    if (m_latest)
        client.offer(m_latest, nowMs);
}

void ChannelFeed::detach(StreamClient& client) {
    const auto it = std::find(m_clients.begin(), m_clients.end(), &client);
    if (it == m_clients.end())
        return;
    m_clients.erase(it);
    m_droppedGone += client.m_dropped;
    m_bytesGone += client.m_bytesOut;
    client.m_feed = nullptr;
}

uint64_t ChannelFeed::droppedForSlowClients() const {
    uint64_t n = m_droppedGone;
    for (const StreamClient* c : m_clients)
        n += c->dropped();
    return n;
}

uint64_t ChannelFeed::bytesOut() const {
    uint64_t n = m_bytesGone + snapshotBytesOut;
    for (const StreamClient* c : m_clients)
        n += c->bytesOut();
    return n;
}

double ChannelFeed::picturesPerSecond(int64_t nowMs) const {
    const auto n = std::count_if(m_recentArrivals.begin(), m_recentArrivals.end(),
                                 [&](int64_t t) { return t > nowMs - kRateWindowMs; });
    return static_cast<double>(n) * 1000.0 / static_cast<double>(kRateWindowMs);
}

void ChannelFeed::addWaiter(int64_t deadlineMs, std::function<void()> wake) {
    m_waiters.push_back(Waiter{deadlineMs, std::move(wake)});
}

void ChannelFeed::expireWaiters(int64_t nowMs) {
    std::vector<Waiter> due;
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (it->deadlineMs <= nowMs) {
            due.push_back(std::move(*it));
            it = m_waiters.erase(it);
        } else {
            ++it;
        }
    }
    for (Waiter& w : due)
        w.wake();
}

int64_t ChannelFeed::nextWaiterDeadline() const {
    int64_t next = -1;
    for (const Waiter& w : m_waiters)
        if (next < 0 || w.deadlineMs < next)
            next = w.deadlineMs;
    return next;
}

void ChannelFeed::shutdown() {
    std::vector<Waiter> waiters;
    waiters.swap(m_waiters);
    for (Waiter& w : waiters)
        w.wake();
    const std::vector<StreamClient*> clients = m_clients;
    for (StreamClient* c : clients)
        c->end();
}

}  // namespace dvr::bridge
