// The remote playback window's state and play state machine: the recording
// range, the request time, the five play buttons and the requests they make,
// the picture time and position, play statuses, the START/END and hour steps,
// the time slider, the idle watch and its disconnect, reconnecting from a
// play button, busy handling and leaving for the live view. No Qt, no clock
// of its own: the local time comes from an injected function and the two
// timers (the 100 ms range timer and the 20-second idle watch) are run by the
// owner, which asks rangeTimerPending() / idleWatchRunning() and calls
// onRangeTimer() / onIdleTick().
#pragma once

#include "viewer/link/SessionHost.h"
#include "viewer/playback/PlaybackLayout.h"
#include "viewer/playback/PlaybackRequests.h"
#include "viewer/playback/PlaybackTime.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace dvr::playback {

enum class PlayButton : int { FastReverse = 0, Reverse = 1, Pause = 2, Forward = 3, FastForward = 4 };

// Play state: its low byte is the search mode the session reads.
inline constexpr uint16_t kPlayStopped = 0;
inline constexpr uint16_t kPlayForward = 1;
inline constexpr uint16_t kPlayFastForward = 2;
inline constexpr uint16_t kPlayReverse = 0x0102;

inline constexpr int kIdleWatchMs = 20000;
inline constexpr int kRangeTimerMs = 100;
inline constexpr int kDefaultRequestSpeed = 3;

// What the status rectangle shows.
enum class StatusKind { None, Play, Connection, Searching };

// Play-status texts by code (0 to 4); "ERROR" for an unknown code.
std::string_view playStatusText(uint32_t code);
// The play-mode word of a play button at a request speed (pause: 0).
uint32_t playModeWord(PlayButton button, int requestSpeed);

inline constexpr link::MessageText kSocketDisconnectedMessage{"ERR_MSG", "MSG_003", "Disconnected a socket. ",
                                                              "Message"};

// What a control asks of the window beyond the controller's own state.
enum class PlaybackAction { None, SaveSnapshot, Print, ToggleRecording, ShowEventList };

// The effects of one command for the window to carry out.
struct PlaybackCommandEffects {
    PlaybackAction action = PlaybackAction::None;
    // The pane layout changed: the picture area repaints.
    bool repaintPictureArea = false;

    bool operator==(const PlaybackCommandEffects&) const = default;
};

// What the controller tells its window besides the state it keeps.
class PlaybackView {
public:
    virtual ~PlaybackView() = default;
    // All sixteen pane pictures were cleared; repaint the picture area.
    virtual void panesCleared() {}
    virtual void showMessage(const link::MessageText&) {}
    // The window closes and the live view takes over again.
    virtual void windowClosed() {}
    // Playing pauses (PAUSE, exit while playing, the jump to an event, the connection lost or dropped by
    // the idle watch): an AVI recording stops.
    virtual void pausing() {}
    // The panes were laid out anew for another picture format: repaint the whole picture area.
    virtual void pictureAreaChanged() {}
};

class PlaybackController {
public:
    using LocalTime = std::function<DateTime()>;

    PlaybackController(PlaybackRequests& link, LocalTime localTime, PlaybackView* view = nullptr);
    // The window that shows this controller (may be null).
    void setView(PlaybackView* view) { m_view = view; }

    // --- operations of the main view and the session ---------------------
    // Opens the window with a split code (see openingSplitCode) for the
    // layout code of the last live picture.
    void open(uint16_t splitCode, uint32_t layoutCode);
    bool isOpen() const { return m_open; }
    // Range date and time words of start and end (packed recorder time).
    void setRecordingRange(const link::RecordingRange& range);
    // Picture date word ((year - 1996) << 8 | month) and picture time word.
    void pictureTime(uint32_t dateWord, uint32_t timeWord);
    void positionPercent(uint32_t millionths, uint32_t recordMillionths);
    void playStatus(uint32_t code);
    // The session sent the queued stop request: no more pictures follow.
    void playingStopped() { m_playing = false; }
    // Connection status code: 0 "DISCONNECT", 5 "CONNECTION FAIL", others clear.
    void connectionStatus(int code);
    // The session asks before decoding a playback picture.
    bool acceptPicture(const frame::FrameHeader& header);
    // A decoded picture of `channel` was stored in its base channel's buffer.
    // `reduction`: the halvings below full size the picture was decoded at.
    PaneDrawList pictureArrived(int channel, const frame::FrameHeader& header, int reduction = 0);
    // The window applied a new pane layout (a button or a double-click): the listener (the host keeping
    // the pictures' records) decodes again what the larger panes need.
    void layoutApplied() {
        if (m_layoutListener)
            m_layoutListener();
    }
    void setLayoutListener(std::function<void()> listener) { m_layoutListener = std::move(listener); }

    // --- the window's controls -------------------------------------------
    // A control's command (ids of PlaybackCommandIds.h): the controller and its layout act on it; what
    // only the window can do (export, the event list dialog, repainting) comes back as effects.
    // Unknown ids do nothing.
    PlaybackCommandEffects onCommand(int commandId);
    void onPlayButton(PlayButton button);
    void onStart();
    void onEnd();
    void onHourForward();
    void onHourBack();
    // The user scrolled the time slider to a second of the day (0 to 86399).
    void onSliderScrolled(int secondsOfDay);
    // The calendar chose a date of the request time.
    void onCalendarDate(int year, int month, int day);
    // Exit button: pause first while playing; otherwise back to the live view.
    void onExit();
    // Mouse move, key press: the user is there.
    void onUserActivity() { m_idle = false; }
    // The event list dialog opened or closed.
    void setBusy(bool busy) { m_busy = busy; }
    bool busy() const { return m_busy; }
    // The event button: false (nothing done) while busy or not paused; else
    // asks the recorder for its event list without waiting for the answer
    // and marks the window busy until closeEventList().
    bool openEventList();
    void closeEventList() { m_busy = false; }
    // Plays forwards from an event time word: pauses, sets the request time,
    // calendar and position to the event and starts forward play. A word
    // that names no valid date does nothing. Clears the busy mark first.
    void jumpTo(uint32_t eventTimeWord);
    // The request speed setting for the fast buttons.
    void setRequestSpeed(int speed) { m_requestSpeed = speed; }

    // --- timers and link outcomes ----------------------------------------
    bool rangeTimerPending() const { return m_rangeTimer; }
    void onRangeTimer();
    bool idleWatchRunning() const { return m_idleWatch; }
    void onIdleTick();
    // A connect started by a play button finished. Call once the session
    // has finished reporting the connection (it sends its own log-in first),
    // not from inside the session's callbacks. Nothing starts when the window
    // closed or the connection ended again meanwhile.
    void onConnectionEstablished();
    void onConnectFailed();
    // The open window's connection broke: paused, "DISCONNECT", and the message box unless the recorder
    // already said why; the idle watch stops and the next play button reconnects. A play button's
    // reconnect that broke so ends without playing.
    void onConnectionLost(bool showMessage);
    bool reconnecting() const { return m_reconnecting; }

    // --- what the window shows -------------------------------------------
    bool playing() const { return m_playing; }
    uint16_t playState() const { return m_playState; }
    uint32_t playMode() const { return m_playModeWord; }
    bool rangeValid() const { return m_rangeValid; }
    bool endKnown() const { return m_endKnown; }
    const DateTime& rangeStart() const { return m_rangeStart; }
    const DateTime& rangeEnd() const { return m_rangeEnd; }
    const DateTime& requestTime() const { return m_requestTime; }
    const DateTime& pictureTimeValue() const { return m_pictureTime; }
    const DateTime& lastJumpReference() const { return m_lastJump; }
    uint32_t position() const { return m_position; }
    int sliderValue() const { return positionSecondsOfDay(m_position); }
    int calendarYear() const { return m_calendar.year; }
    int calendarMonth() const { return m_calendar.month; }
    int calendarDay() const { return m_calendar.day; }
    bool checkJump() const { return m_checkJump; }
    bool idle() const { return m_idle; }
    // The play button shown checked (exactly one).
    PlayButton checkedButton() const { return m_checked; }
    bool eventButtonEnabled() const { return m_eventEnabled; }
    bool sliderEnabled() const { return m_controlsEnabled; }
    bool calendarEnabled() const { return m_controlsEnabled; }
    // The status rectangle's text (language key, blanks included) and kind.
    const std::string& statusText() const { return m_status; }
    StatusKind statusKind() const { return m_statusKind; }
    uint32_t playPercent() const { return m_playMillionths; }
    uint32_t recordPercent() const { return m_recordMillionths; }
    // Texts of the time fields.
    std::string startText() const;
    std::string endText() const;
    std::string requestText() const;
    std::string clockText() const { return formatClock(m_position); }
    // How many times all panes were cleared (for the window and tests).
    int paneClears() const { return m_paneClears; }

    PlaybackLayout& layout() { return m_layout; }
    const PlaybackLayout& layout() const { return m_layout; }

private:
    void clearAllPanes();
    void setStatus(std::string text, StatusKind kind);
    void setPosition(int hour, int minute, int second, bool force);
    void setPositionStep(const DateTime& t);
    void resetToRangeStart();
    void pause();
    void startPlay(PlayButton button);
    void sendPlayWords();
    DateTime now() const;

    PlaybackRequests& m_link;
    LocalTime m_localTime;
    PlaybackView* m_view;
    std::function<void()> m_layoutListener;
    PlaybackLayout m_layout;

    bool m_open = false;
    DateTime m_rangeStart;
    DateTime m_rangeEnd;
    bool m_endKnown = false;
    bool m_rangeValid = false;
    DateTime m_requestTime;
    DateTime m_lastJump;
    DateTime m_pictureTime;
    DateTime m_calendar{2000, 1, 1};
    uint32_t m_position = 0;
    uint32_t m_playMillionths = 0;
    uint32_t m_recordMillionths = 0;

    bool m_playing = false;
    uint16_t m_playState = kPlayStopped;
    uint32_t m_playModeWord = 0;
    bool m_checkJump = false;
    bool m_busy = false;
    bool m_jumping = false;             // a jump to an event presses Forward
    bool m_reconnectKeepsTime = false;  // the reconnect under way plays from the time asked for
    bool m_idle = false;
    int m_requestSpeed = kDefaultRequestSpeed;
    PlayButton m_checked = PlayButton::Pause;
    bool m_eventEnabled = true;
    bool m_controlsEnabled = true;
    std::string m_status;
    StatusKind m_statusKind = StatusKind::None;

    bool m_rangeTimer = false;
    bool m_idleWatch = false;
    bool m_reconnecting = false;
    // The range request went out and its reply has not come: a play request waits for it.
    bool m_rangeAsked = false;
    PlayButton m_reconnectButton = PlayButton::Forward;
    int m_paneClears = 0;
};

}  // namespace dvr::playback
