// What a recorder session calls out to, in two halves: the live host (the
// live view: connection state, activity, live pictures, the view's own
// disconnect, event list, messages) and the playback host (the remote
// playback window: its play state, range, picture time, position, status,
// pictures). Pictures leave the session still encoded: decoding belongs to
// the host that shows them.
#pragma once

#include "common/frame/FrameDecoder.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dvr::link {

// Connection state the view keeps and the status line shows.
enum class ConnectionState : int {
    Waiting = 0,      // "WAITING FOR CONNECTION"
    Established = 1,  // "CONNECTION ESTABLISHED"
    Connecting = 2,   // "CONNECTING"
    KeyLock = 8,      // "KEY LOCK" (shown, not stored)
};

// Why the session asks the view to run its own disconnect.
enum class DisconnectReason {
    ConnectFailed,  // the address did not resolve, or the connect failed
    LoginRefused,   // the login reply refused the user
    NoTraffic,      // the watchdog found no traffic for a whole period
    RecorderEnded,  // the recorder ended the session (0x1072)
    PeerClosed,     // the recorder closed the connection, or it broke while reading
    SendFailed,     // sending failed (the connection was reset or broken)
    SendStalled,    // bytes waited to be sent for a whole watchdog period
    SendOverflow,   // more bytes waited to be sent than the send queue holds
};

// The one-line reason the headless programs give for a disconnect ("connection refused", "no answer", ...).
std::string disconnectReasonText(DisconnectReason reason);

// Which activity indicators a toggle concerns.
enum class ActivityTarget { LiveView, LiveAndPlayback };

// A user-visible message: language file section and key, the built-in
// default text and the caption.
struct MessageText {
    std::string_view section;
    std::string_view key;
    std::string_view defaultText;
    std::string_view caption;
};

inline constexpr MessageText kDisconnectedMessage{"ERR_MSG", "disconnected.", "disconnected.", "Message"};
inline constexpr MessageText kPlayErrorMessage{"ERR_MSG", "MSG_026", "play error", "Message"};

// First and last recorded date/time words (packed recorder time).
struct RecordingRange {
    uint32_t startDate = 0;
    uint32_t startTime = 0;
    uint32_t endDate = 0;
    uint32_t endTime = 0;
};

// The live side of a session: the connection, the activity indicators, the live loop and its pictures,
// the event list, the set-up reply and the messages. Every call has a do-nothing default so a host
// implements only what it shows.
class LiveHost {
public:
    virtual ~LiveHost() = default;

    virtual void setConnectionState(ConnectionState) {}
    virtual void setKeyLock(bool) {}
    virtual void toggleActivity(ActivityTarget) {}
    // Both activity indicators off.
    virtual void activityOff() {}
    // The view runs its own disconnect (state 0, session disconnect, ARP
    // clean-up, picture buffers cleared). It may call the session back.
    virtual void runViewDisconnect(DisconnectReason) {}
    // Start or stop the host's watchdog timer: while it runs, the host gives
    // the session the time (RecorderSession::onTime()) at nextWakeUp().
    virtual void setWatchdogRunning(bool) {}
    // The recorded range of a log-in or range reply.
    virtual void recordingRange(const RecordingRange&) {}
    // Positions of a live reply, in millionths (shown as value / 10000 %).
    virtual void livePositions(uint32_t /*playMillionths*/, uint32_t /*recordMillionths*/) {}
    // The picture flags or the video standard changed: rebuild the format text.
    virtual void liveFormatChanged(uint32_t /*pictureFlags*/, uint32_t /*videoStandard*/) {}
    // A live picture record the settle rule lets through, still encoded; the host decodes it (valid during
    // the call only).
    virtual void livePicture(const frame::PictureRecord&) {}
    // Called after every completed live payload, before the next live request:
    // the point where a pending PTZ command goes out.
    virtual void afterLivePicture() {}
    // Asked right after afterLivePicture(): true holds the next live request
    // back until the host calls RecorderSession::releaseLiveRequest() (the
    // pause after a PTZ send, kept by a timer).
    virtual bool holdLiveRequest() { return false; }
    // The event-list reply's body (16-byte records): the host stores it as the
    // event file and tells the event list to reload.
    virtual void eventList(std::span<const uint8_t> /*records*/) {}
    // An event-list reply arrived announcing this many records. A list of no
    // records completes no body, so eventList() is not called for it.
    virtual void eventListAnnounced(uint32_t /*records*/) {}
    // An event-list reply announcing this many records was too large to keep and was dropped unread:
    // the list stored before is not the recorder's current one, and no eventList() follows.
    virtual void eventListDropped(uint32_t /*records*/) {}
    // The unread reply to the set-up query (at most 1024 bytes).
    virtual void setupReply(std::span<const uint8_t> /*bytes*/) {}
    virtual void showMessage(const MessageText&) {}
};

// The remote playback side of a session: the playback window's state the request cycle reads, and the
// replies of that cycle. Each call reaches it after the live host's call for the same reply.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    // Whether remote playback replaces the live loop now.
    virtual bool playbackActive() const { return false; }
    // Play state of the window (1 = forward play).
    virtual int playState() const { return 0; }
    // The window's playing flag (pictures flowing; the follow-up request acts).
    virtual bool playing() const { return false; }
    virtual void setPlaying(bool) {}
    virtual void recordingRange(const RecordingRange&) {}
    // The recording position of every live reply, in millionths.
    virtual void recordPosition(uint32_t /*millionths*/) {}
    virtual void playbackPictureTime(uint32_t /*dateWord*/, uint32_t /*timeWord*/) {}
    virtual void playbackPosition(uint32_t /*millionths*/) {}
    virtual void playbackStatus(uint32_t /*code*/) {}
    // A playback picture record, still encoded; the host decides whether to decode it (valid during the
    // call only).
    virtual void playbackPicture(const frame::PictureRecord&) {}
    // Asked right after playbackPicture(): true holds the follow-up request back until the host calls
    // RecorderSession::releasePlaybackRequest() (the picture is still being decoded for the window).
    virtual bool holdPlaybackRequest() { return false; }
    // The connection ended, after the live host ran its disconnect for the same reason.
    virtual void connectionLost(DisconnectReason) {}
};

}  // namespace dvr::link
