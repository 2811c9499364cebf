// The one object that owns the conversation with a recorder: logs in,
// frames every request, splits received bytes into packets, dispatches them
// by command code and hands completed payloads to their consumers (live
// pictures, playback pictures, the event list).
//
// Sans-I/O: it holds no socket, never waits and never reads a clock. Bytes
// come in through receive(), the connect's outcome through
// onConnectResult(), the time through onTime(); what it wants done comes out
// as state: the bytes to send (outgoing(), with onSent() telling what the
// socket took), whether the connection must close now (closeWanted()), the
// receive buffer wanted once connected, and when it next wants the time
// (nextWakeUp()). Its events go to the live and playback hosts. A registered
// SessionOutput hears at once when bytes or a close wait, so a driver
// (SessionDriver) hands them over during the same call and a failed send
// drops the link there; with none registered, the caller reads outgoing().
#pragma once

#include "viewer/link/LiveStream.h"
#include "viewer/link/Packet.h"
#include "viewer/link/PacketFramer.h"
#include "viewer/link/SendQueue.h"
#include "viewer/link/SessionHost.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::link {

// The request state byte.
enum class RequestState : uint8_t {
    None = 0,
    Login = 1,
    LivePicture = 2,
    EventList = 4,
    SetupQuery = 10,
    RecordingRange = 102,
    PlaybackPicture = 103,
    PlaybackSearch = 104,
    PlaybackStop = 105,
};

inline constexpr int kReceiveBufferBytes = 64512;
inline constexpr size_t kReadBytes = 4096;
inline constexpr size_t kSetupReplyBytes = 1024;
inline constexpr int kWatchdogPeriodMs = 30000;
// The monotonic time the session is given (it never reads a clock itself).
using TimePoint = std::chrono::steady_clock::time_point;
// The largest payload accepted: a whole frame record of the largest picture.
inline constexpr uint64_t kMaxPayloadBytes = frame::kMaxFrameRecordBytes;
// Playback replies counted after a play request whose mode byte is zero: the
// first 20 are processed, the next is discarded and counting stops.
inline constexpr int kCountedPlaybackReplies = 20;

// Told by the session, during the call that caused it, that bytes to send or
// a close wait: the driver hands them over before the call returns.
class SessionOutput {
public:
    virtual ~SessionOutput() = default;
    virtual void outputWaiting() = 0;
};

class RecorderSession {
public:
    // `playback`: the remote playback window's host, or nullptr while there is none.
    explicit RecorderSession(LiveHost& live, PlaybackHost* playback = nullptr);
    RecorderSession(const RecorderSession&) = delete;
    RecorderSession& operator=(const RecorderSession&) = delete;

    // --- offered to the view, the playback window and the PTZ code --------
    // Stops the watchdog, sends the stop request, asks for the close. Always safe.
    void disconnect();
    // Builds the request of a kind, queues it to be sent (a registered
    // output hands it to the socket before this returns) and moves the
    // request state. False without sending when there is no socket, or when
    // the send failed or overflowed and the link was dropped.
    bool request(RequestKind kind);
    // Sends PTZ bytes to the camera line (0x1037). False without a socket.
    bool sendPtz(std::span<const uint8_t> bytes, uint32_t baudRateCode);
    // Sends the set-up query (0x1057); the next received block is its reply.
    bool sendSetupQuery();
    // Sends the live request the host held back after a live picture (see
    // LiveHost::holdLiveRequest()); nothing when none is held, the
    // session is gone or remote playback took over. True when it was sent.
    bool releaseLiveRequest();
    bool liveRequestHeld() const { return m_liveRequestHeld; }
    // Sends the follow-up playback request the host held back after a playback picture (see
    // PlaybackHost::holdPlaybackRequest()), judged now as it would have been at the picture: nothing when
    // none is held, the connection changed since, the window stopped playing or a stop is unanswered.
    // True when it was sent.
    bool releasePlaybackRequest();
    bool playbackRequestHeld() const { return m_playbackRequestHeld; }

    // --- the driver's side ------------------------------------------------
    // Who hears at once when bytes or a close wait (nullptr: nobody).
    void setOutput(SessionOutput* output) { m_output = output; }
    // A connect was started at `now` (the socket is being opened): a fresh
    // conversation, the watchdog due one period later. False, changing
    // nothing, while a connection exists.
    bool connectStarted(TimePoint now);
    // The connect finished: error 0 on success, otherwise the socket error.
    void onConnectResult(int error);
    // Bytes read from the connection (one read, at most 4096 bytes), and
    // whether that read found the connection closed by the recorder or
    // broken, which runs the view's disconnect after the bytes are handled.
    void receive(std::span<const uint8_t> bytes, bool peerClosed = false);
    // The bytes waiting to be sent, oldest first (valid until the next call).
    std::span<const uint8_t> outgoing() const { return m_sendQueue.waiting(); }
    // The socket took `bytes` from the start of outgoing(), or failed with
    // `error` (EPIPE, ECONNRESET, ...), which drops the link. After the
    // session asked for the close, a report only updates outgoing().
    void onSent(size_t bytes, int error = 0);
    // The connection must be closed now, after outgoing() was handed over
    // once more; the driver closes it and calls onClosed().
    bool closeWanted() const { return m_closeWanted; }
    // The connection is closed: what still waited to be sent is gone.
    void onClosed();
    // The receive buffer the socket gets once the connect succeeds.
    int receiveBufferBytes() const { return kReceiveBufferBytes; }
    // The time is `now`: runs the watchdog check when it is due. A call
    // before nextWakeUp() does nothing.
    void onTime(TimePoint now);
    // When the session next wants onTime() (none while the watchdog is off).
    std::optional<TimePoint> nextWakeUp() const;
    // The watchdog period (30 s; the headless programs may set another).
    void setWatchdogPeriod(std::chrono::milliseconds period) { m_watchdogPeriod = period; }

    // --- state -----------------------------------------------------------
    // A connection is started or established (not yet closed by the session).
    bool hasSocket() const { return m_open; }
    bool connected() const { return m_connected; }
    // A connect was started and its outcome is not reported yet.
    bool connectPending() const { return m_open && !m_connected && !m_connectReported; }
    bool wantsRead() const { return m_open; }
    // Bytes wait in the send queue for the socket to take them.
    bool wantsWrite() const { return m_open && !m_sendQueue.empty(); }
    const SendQueue& sendQueue() const { return m_sendQueue; }
    bool watchdogRunning() const { return m_watchdogRunning; }
    bool activity() const { return m_activity; }
    RequestState requestState() const { return m_requestState; }
    RequestState previousRequestState() const { return m_previousState; }
    const VersionText& versionText() const { return m_version; }
    int protocolLevel() const { return m_protocolLevel; }
    bool newerProtocol() const { return m_newerProtocol; }
    int channelCount() const { return m_channelCount; }
    bool keyLocked() const { return m_keyLocked; }
    bool loggedIn() const { return m_loggedIn; }
    const RecordingRange& recordingRange() const { return m_range; }
    const ParamBlock& lastParams() const { return m_lastParams; }

    LiveStream& live() { return m_live; }
    const LiveStream& live() const { return m_live; }

    // Log-in values sent by the next login request (UTF-8; converted to
    // Windows-1252 with "#" for unmappable characters).
    void setCredentials(std::string_view userId, std::string_view password);

    // Set by the playback window: the follow-up request (103, 104 or 105)
    // sent after each processed playback picture, and the words the play
    // request carries.
    void setPendingRequest(RequestKind kind) { m_pendingRequest = kind; }
    RequestKind pendingRequest() const { return m_pendingRequest; }
    void setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord);
    uint32_t requestDateWord() const { return m_values.requestDateWord; }
    uint32_t requestTimeWord() const { return m_values.requestTimeWord; }
    uint32_t playModeWord() const { return m_values.playModeWord; }

    const PacketFramer& framer() const { return m_framer; }

    // The playback window's host from now on (nullptr: none).
    void setPlaybackHost(PlaybackHost* playback) { m_playback = playback; }
    PlaybackHost* playbackHost() const { return m_playback; }
    // Remote playback replaces the live loop now.
    bool playbackActive() const { return m_playback != nullptr && m_playback->playbackActive(); }

private:
    void handleBlock(std::span<const uint8_t> block);
    // What to do with the payload that follows a header.
    enum class Payload { Skip, Collect, Stop };

    void dispatchBlock(std::span<const uint8_t> block);
    Payload handleHeader(const PacketHeader& header, const ParamBlock& params);
    void handlePayload(std::span<const uint8_t> payload);
    void handleLoginReply(const PacketHeader& header, const ParamBlock& params);
    void handleRangeReply(const ParamBlock& params);
    void handleLivePicture(std::span<const uint8_t> record);
    // After a live payload, kept or not: the pending PTZ command, then the
    // next live request unless remote playback replaced the loop.
    void continueLiveLoop();
    // A live reply's header came: one live request fewer is on its way.
    void liveReplyCame();
    void handlePlaybackPicture(std::span<const uint8_t> record);
    // After a processed playback picture: the follow-up request of a chain that still plays; true when
    // it was sent.
    bool continuePlayback();
    // A stop request is still unanswered: playback replies now come from a stopped chain.
    bool stopUnanswered() const { return m_stopsAnswered != m_stopsSent; }
    // A play request went out after a stop that is still unanswered.
    bool playBehindStop() const { return m_stopsBeforePlay > m_stopsAnswered; }
    void resetStopCounts() { m_stopsSent = m_stopsAnswered = m_stopsBeforePlay = 0; }
    // False when the bytes could not be sent and the link was dropped.
    bool sendBytes(std::span<const uint8_t> bytes);
    void afterSend(SendQueue::Outcome outcome);
    // Tells the output, if any, that bytes or a close wait.
    void outputWaiting();
    // The connection is unusable: close it without the stop request and let
    // the view run its disconnect.
    void dropLink(DisconnectReason reason);
    // The live host runs its disconnect, then the playback host learns the connection is gone.
    void reportDisconnect(DisconnectReason reason);
    // The decode settings of this recorder's pictures.
    frame::FrameDecodeOptions decodeOptions() const;

    LiveHost& m_host;
    SessionOutput* m_output = nullptr;
    PlaybackHost* m_playback = nullptr;

    VersionText m_version = makeVersionText(kLoginVersionText);
    int m_protocolLevel = 0;
    bool m_newerProtocol = false;
    int m_channelCount = 4;
    bool m_keyLocked = false;
    bool m_loggedIn = false;
    RecordingRange m_range;

    RequestState m_requestState = RequestState::None;
    RequestState m_previousState = RequestState::None;
    // A connection is started or established.
    bool m_open = false;
    // The session ended the connection: the driver closes it.
    bool m_closeWanted = false;
    bool m_connected = false;
    bool m_connectReported = false;
    bool m_activity = false;
    bool m_watchdogRunning = false;
    std::chrono::milliseconds m_watchdogPeriod{kWatchdogPeriodMs};
    TimePoint m_watchdogDue{};
    // Set while disconnecting: a failing stop request drops nothing more.
    bool m_disconnecting = false;
    // Set when the connection is unusable: no stop request is sent.
    bool m_linkDead = false;
    // Set while the host holds the next live request (the pause after a PTZ send).
    bool m_liveRequestHeld = false;
    // Live requests sent on this connection and not answered yet: while one is on its way, it carries
    // the live loop on, and no other is added (the window closed while one was in flight).
    int m_liveRequestsOut = 0;
    // A playback follow-up held back by the host, and the connection it belongs to.
    bool m_playbackRequestHeld = false;
    uint64_t m_playbackHeldGeneration = 0;
    uint32_t m_playbackHeldStops = 0;  // m_stopsSent when the follow-up was held
    // Counts connections and disconnections, so that a handler that
    // disconnected the session ends the handling of the current block.
    uint64_t m_generation = 0;

    // Stop-playback requests sent and answered on this connection. The recorder answers in order, so
    // while a stop is unanswered every playback reply belongs to a chain that stop ended.
    uint32_t m_stopsSent = 0;
    uint32_t m_stopsAnswered = 0;
    // m_stopsSent when the last play request went out: the stops up to it were sent before that play,
    // and their replies must not stop it.
    uint32_t m_stopsBeforePlay = 0;

    RequestKind m_pendingRequest = RequestKind::NextPlaybackPicture;
    RequestValues m_values;
    bool m_playbackCounting = false;
    uint8_t m_playbackCount = 0;

    std::array<uint8_t, kLoginBlockBytes> m_loginBlock{};
    ParamBlock m_lastParams;
    uint32_t m_payloadCommand = 0;
    bool m_payloadWanted = false;
    // The play-error message waits until the received block is handled: a
    // message box may read the socket again while it is open.
    bool m_playErrorPending = false;

    std::vector<uint8_t> m_sendBuffer;
    SendQueue m_sendQueue;
    PacketFramer m_framer{kMaxPayloadBytes};
    LiveStream m_live;
};

}  // namespace dvr::link
