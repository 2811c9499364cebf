#include "bridge/RecorderLink.h"

#include "common/frame/SourceRect.h"
#include "viewer/link/LiveStream.h"

#include <algorithm>
#include <bit>
#include <chrono>

namespace dvr::bridge {

namespace {

// The panes a viewer would show for this many channels: the request speed follows them.
int panesFor(int channels) {
    if (channels <= 1)
        return 1;
    if (channels <= 4)
        return 4;
    if (channels <= 9)
        return 9;
    return 16;
}

std::string channelList(uint32_t mask) {
    std::string text;
    for (int c = 0; c < kChannels; ++c)
        if ((mask >> c) & 1u)
            text += (text.empty() ? "" : " ") + std::to_string(c + 1);
    return text;
}

}  // namespace

bool RecorderLink::TimedDecoder::decode(std::span<const uint8_t> codestream, frame::DecodedPicture& out) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = inner->decode(codestream, out);
    lastSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    seconds += lastSeconds;
    return ok;
}

RecorderLink::RecorderLink(RecorderConfig config, std::string password, link::RecorderTransport& transport,
                           const BridgeSettings& settings, LogSink log, frame::PictureDecoder* decoder)
    : m_config(std::move(config)),
      m_password(std::move(password)),
      m_settings(settings),
      m_log(std::move(log)),
      m_session(*this),
      m_driver(m_session, transport, m_clock) {
    m_session.setWatchdogPeriod(std::chrono::milliseconds(m_settings.watchdogMs));
    m_timedDecoder.inner = decoder ? decoder : &m_j2k;
    m_frames.setPictureDecoder(&m_timedDecoder);
    m_session.setCredentials(m_config.user, m_password);
}

RecorderLink::~RecorderLink() {
    m_stopped = true;
    m_session.disconnect();
}

void RecorderLink::start() {
    m_started = true;
    connect();
}

void RecorderLink::stop() {
    m_stopped = true;
    m_reconnectAtMs = -1;
    m_session.disconnect();
    m_up = false;
    for (ChannelFeed& f : m_feeds)
        f.shutdown();
}

void RecorderLink::connect() {
    m_reconnectAtMs = -1;
    // Until a reply tells which channels this user may see, the first live
    // request asks for the watched channels, or all when nobody watches.
    applyWatchedMask();
    if (m_session.live().displayedChannelMask() == 0)
        m_session.live().setDisplayedChannelMask(0xFFFF);
    if (!m_driver.connect(m_config.host, m_config.port)) {
        linkDown("connection refused: " + m_config.host + " port " + std::to_string(m_config.port));
        return;
    }
}

void RecorderLink::linkDown(const std::string& reason) {
    if (m_session.hasSocket())
        m_session.disconnect();
    const bool wasUp = m_up;
    m_up = false;
    if (m_stopped)
        return;
    // One line per change of state: the first failure after being up (or
    // starting), not every failed retry.
    if (wasUp || !m_downLogged) {
        m_log(m_config.name + ": link down: " + reason + "; retrying from " +
              std::to_string(m_retryDelayMs / 1000) + " s on, at most every " +
              std::to_string(kLastRetryMs / 1000) + " s");
        m_downLogged = true;
    }
    m_reconnectAtMs = m_nowMs + m_retryDelayMs;
    m_retryDelayMs = std::min(m_retryDelayMs * 2, kLastRetryMs);
}

void RecorderLink::runViewDisconnect(link::DisconnectReason reason) {
    linkDown(link::disconnectReasonText(reason));
}

void RecorderLink::recordingRange(const link::RecordingRange&) {
    // Called for the login reply that accepted us (and for each range reply).
    if (m_up || !m_session.loggedIn())
        return;
    m_up = true;
    m_downLogged = false;
    m_retryDelayMs = kFirstRetryMs;
    m_channelCount = m_session.channelCount();
    m_lastTrafficMs = m_nowMs;
    m_log(m_config.name + ": link up, " + std::to_string(m_channelCount) + " channels");
}

bool RecorderLink::served(int c) const {
    const int known = m_channelCount > 0 ? m_channelCount : kChannels;
    return c >= 0 && c < known && ((m_forbidden >> c) & 1u) == 0;
}

uint32_t RecorderLink::servedMask() const {
    uint32_t mask = 0;
    for (int c = 0; c < kChannels; ++c)
        if (served(c))
            mask |= 1u << c;
    return mask;
}

uint32_t RecorderLink::watchedMask() const {
    uint32_t mask = 0;
    for (int c = 0; c < kChannels; ++c)
        if (m_feeds[static_cast<size_t>(c)].watched(m_nowMs))
            mask |= 1u << c;
    return mask & servedMask();
}

void RecorderLink::applyWatchedMask() {
    const uint32_t mask = watchedMask();
    if (mask == 0)
        return;
    m_session.live().setDisplayedChannelMask(mask);
    m_session.live().setRequestSpeed(m_config.requestSpeed > 0
                                         ? m_config.requestSpeed
                                         : link::defaultRequestSpeed(panesFor(std::popcount(mask))));
}

void RecorderLink::watchChanged() {
    applyWatchedMask();
    if (m_session.liveRequestHeld() && watchedMask() != 0) {
        m_session.releaseLiveRequest();
        m_lastTrafficMs = m_nowMs;
    }
}

void RecorderLink::noteForbidden() {
    const uint32_t forbidden = m_session.live().unavailableMask() & 0xFFFFu;
    if (m_forbiddenKnown && forbidden == m_forbidden)
        return;
    m_forbiddenKnown = true;
    m_forbidden = forbidden;
    const uint32_t shown = forbidden & ((m_channelCount >= 32 ? 0 : (1u << m_channelCount)) - 1u);
    if (shown != 0)
        m_log(m_config.name + ": channels forbidden to this user: " + channelList(shown));
    // Streams of a channel that became forbidden end.
    for (int c = 0; c < kChannels; ++c)
        if (!served(c))
            m_feeds[static_cast<size_t>(c)].shutdown();
}

void RecorderLink::livePicture(const frame::PictureRecord& record) {
    const frame::DecodedFrame decoded = m_frames.decode(record);
    if (!decoded.ok())
        return;
    const int channel = decoded.channel;
    const frame::FrameHeader& header = decoded.header;
    const frame::DecodedPicture& picture = *decoded.picture;
    noteForbidden();
    const uint32_t flags = header.pictureFlags;
    const int base = frame::baseChannel(channel, flags);
    const int carried = frame::channelsPerPicture(flags);
    double pictureSeconds = m_timedDecoder.lastSeconds;
    for (int c = base; c < base + carried && c < kChannels; ++c) {
        ChannelFeed& feed = m_feeds[static_cast<size_t>(c)];
        // Encoded only while somebody watches the channel.
        if (!served(c) || !feed.watched(m_nowMs))
            continue;
        const frame::PixelRect rect = frame::channelSourceRect(flags, c, picture.width, picture.height);
        if (rect.width <= 0 || rect.height <= 0)
            continue;
        const auto start = std::chrono::steady_clock::now();
        const std::span<const uint8_t> jpeg = m_encoder.encode(picture, rect, m_settings.jpegQuality);
        const double encodeSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        feed.encodeSeconds += encodeSeconds;
        pictureSeconds += encodeSeconds;
        if (jpeg.empty())
            continue;
        feed.publish(makePicture(std::vector<uint8_t>(jpeg.begin(), jpeg.end()), rect.width, rect.height,
                                 m_wallMs, feed.nextSequence()),
                     m_nowMs);
    }
    if (m_pictureTimed)
        m_pictureTimed(pictureSeconds);
}

void RecorderLink::afterLivePicture() {
    noteForbidden();
    m_lastTrafficMs = m_nowMs;
    applyWatchedMask();
}

bool RecorderLink::holdLiveRequest() {
    // Nobody watches: no pictures are asked for; keep-alives hold the session.
    return watchedMask() == 0;
}

void RecorderLink::tick() {
    if (!m_started || m_stopped)
        return;
    if (m_reconnectAtMs >= 0 && m_nowMs >= m_reconnectAtMs) {
        ++m_reconnects;
        connect();
        return;
    }
    const std::optional<link::TimePoint> wake = m_session.nextWakeUp();
    if (wake && m_clock.steadyNow() >= *wake) {
        m_driver.onTime();
        if (!m_session.hasSocket())
            return;
    }
    if (!m_up)
        return;
    if (m_session.liveRequestHeld()) {
        if (watchedMask() != 0) {
            watchChanged();
        } else if (m_nowMs - m_lastTrafficMs >= keepAliveMs()) {
            m_session.request(link::RequestKind::KeepAlive);
            m_lastTrafficMs = m_nowMs;
        }
    }
}

int64_t RecorderLink::keepAliveMs() const {
    // Well within the session's watchdog period (the usual 20 s of the usual 30 s), or a watchdog shorter
    // than the usual keep-alive period would drop an idle link that is perfectly well.
    return std::max<int64_t>(1, std::min<int64_t>(kKeepAliveMs, int64_t(m_settings.watchdogMs) * 2 / 3));
}

int64_t RecorderLink::nextDueMs() const {
    if (!m_started || m_stopped)
        return -1;
    int64_t next = -1;
    auto consider = [&](int64_t t) {
        if (t >= 0 && (next < 0 || t < next))
            next = t;
    };
    consider(m_reconnectAtMs);
    if (const std::optional<link::TimePoint> wake = m_session.nextWakeUp())
        consider(std::chrono::duration_cast<std::chrono::milliseconds>(wake->time_since_epoch()).count());
    if (m_up && m_session.liveRequestHeld())
        consider(m_lastTrafficMs + keepAliveMs());
    // Snapshot interest runs out without any event: look again within a second.
    if (m_up)
        consider(m_nowMs + 1000);
    return next;
}

}  // namespace dvr::bridge
