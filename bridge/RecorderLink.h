// One recorder as the bridge keeps it: the recorder session over a transport,
// the live loop asking only for the watched channels, keep-alive while nobody
// watches, reconnects with back-off, and the channel feeds that every decoded
// picture is encoded into once. Sans-I/O like the session: whoever watches
// the socket reports readiness to driver() and calls tick() with the time.
#pragma once

#include "bridge/BridgeConfig.h"
#include "bridge/ChannelFeed.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/J2kDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionDriver.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace dvr::bridge {

inline constexpr int kChannels = 16;
inline constexpr int64_t kFirstRetryMs = 1000;
inline constexpr int64_t kLastRetryMs = 30000;
inline constexpr int64_t kKeepAliveMs = 20000;

using LogSink = std::function<void(const std::string&)>;

class RecorderLink final : public link::LiveHost {
public:
    // `decoder`: decodes pictures instead of the built-in JPEG 2000 decoder (tests).
    RecorderLink(RecorderConfig config, std::string password, link::RecorderTransport& transport,
                 const BridgeSettings& settings, LogSink log, frame::PictureDecoder* decoder = nullptr);
    ~RecorderLink() override;
    RecorderLink(const RecorderLink&) = delete;
    RecorderLink& operator=(const RecorderLink&) = delete;

    // The time the next calls run at: monotonic and wall-clock milliseconds.
    void setTime(int64_t nowMs, int64_t wallMs) {
        m_nowMs = nowMs;
        m_wallMs = wallMs;
    }
    // Starts the first connect.
    void start();
    // Runs what is due: a reconnect, the watchdog, a keep-alive, the live
    // request held while nobody watched.
    void tick();
    // The earliest time tick() has something to do.
    int64_t nextDueMs() const;
    // The watched channels may have changed: the next live request asks for them.
    void watchChanged();
    // Ends the session (the bridge stops).
    void stop();

    const std::string& name() const { return m_config.name; }
    link::RecorderSession& session() { return m_session; }
    // Binds the session to the transport: the socket's readiness goes here.
    link::SessionDriver& driver() { return m_driver; }
    // Logged in and connected.
    bool up() const { return m_up; }
    // Channels the recorder has (0 before the first log-in).
    int channelCount() const { return m_channelCount; }
    // Whether channel c (0-based) exists and this user may see it.
    bool served(int c) const;
    // Bit n: channel n is watched now (and served).
    uint32_t watchedMask() const;
    ChannelFeed& feed(int c) { return m_feeds[static_cast<size_t>(c)]; }
    const ChannelFeed& feed(int c) const { return m_feeds[static_cast<size_t>(c)]; }
    uint64_t reconnects() const { return m_reconnects; }
    double decodeSeconds() const { return m_timedDecoder.seconds; }
    // Called on the loop thread after each live picture with the seconds its
    // decode and encodes took (benchmarks judge the bridge's own delay by it).
    void onPictureTimed(std::function<void(double seconds)> sink) { m_pictureTimed = std::move(sink); }
    int64_t retryDelayMs() const { return m_retryDelayMs; }
    int64_t nowMs() const { return m_nowMs; }
    int64_t wallMs() const { return m_wallMs; }

    // --- LiveHost ------------------------------------------------------
    void runViewDisconnect(link::DisconnectReason reason) override;
    void recordingRange(const link::RecordingRange&) override;
    // Decodes the record once and encodes it into the feeds of the channels it carries.
    void livePicture(const frame::PictureRecord& record) override;
    void afterLivePicture() override;
    bool holdLiveRequest() override;

private:
    // How long an idle link goes without traffic before a keep-alive goes out.
    int64_t keepAliveMs() const;
    // Times the decoder, for /metrics.
    struct TimedDecoder final : frame::PictureDecoder {
        frame::PictureDecoder* inner = nullptr;
        double seconds = 0;
        double lastSeconds = 0;  // the latest picture's
        bool decode(std::span<const uint8_t> codestream, frame::DecodedPicture& out) override;
    };

    // The loop's monotonic time, as the driver gives it to the session.
    struct LoopClock final : link::MonotonicClock {
        explicit LoopClock(const int64_t& nowMs) : nowMs(nowMs) {}
        link::TimePoint steadyNow() const override {
            return link::TimePoint(std::chrono::milliseconds(nowMs));
        }
        const int64_t& nowMs;
    };

    void connect();
    void linkDown(const std::string& reason);
    void applyWatchedMask();
    void noteForbidden();
    uint32_t servedMask() const;

    RecorderConfig m_config;
    std::string m_password;
    const BridgeSettings& m_settings;
    LogSink m_log;
    std::function<void(double)> m_pictureTimed;
    frame::J2kDecoder m_j2k;
    TimedDecoder m_timedDecoder;
    frame::FrameDecoder m_frames;
    frame::JpegEncoder m_encoder;
    int64_t m_nowMs = 0;
    LoopClock m_clock{m_nowMs};
    link::RecorderSession m_session;
    link::SessionDriver m_driver;
    std::array<ChannelFeed, kChannels> m_feeds;

    int64_t m_wallMs = 0;
    bool m_started = false;
    bool m_stopped = false;
    bool m_up = false;
    bool m_downLogged = false;
    int m_channelCount = 0;
    uint32_t m_forbidden = 0;  // bit n: the recorder forbids channel n to this user
    bool m_forbiddenKnown = false;
    int64_t m_reconnectAtMs = -1;  // -1: no reconnect scheduled
    int64_t m_retryDelayMs = kFirstRetryMs;
    int64_t m_lastTrafficMs = 0;
    uint64_t m_reconnects = 0;
};

}  // namespace dvr::bridge
