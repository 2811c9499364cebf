#include "viewer/playback/PlaybackController.h"

#include "viewer/playback/EventList.h"
#include "viewer/playback/PlaybackCommandIds.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace dvr::playback {

namespace {

constexpr const char* kSearchingPadding = "                      ";  // 22 blanks after "SEARCHING"
// Play starts further apart than this clear the old pictures first.
constexpr int64_t kJumpSeconds = 60;

bool isReverse(uint32_t playModeWord) {
    return playModeWord >= 0x01000000u;
}

}  // namespace

std::string_view playStatusText(uint32_t code) {
    switch (code) {
        case link::playstatus::StopPlayImage:
            return "STOP PLAY IMAGE";
        case link::playstatus::NoSearchImage:
            return "NO SEARCH IMAGE";
        case link::playstatus::EndOfPlay:
            return "END OF PLAY";
        case link::playstatus::InvalidDate:
            return "INVALID DATE";
        default:
            return "ERROR";
    }
}

uint32_t playModeWord(PlayButton button, int requestSpeed) {
    const uint32_t fast = uint32_t(requestSpeed & 0xFF) << 16;
    switch (button) {
        case PlayButton::FastReverse:
            return 0x01000200u | fast;
        case PlayButton::Reverse:
            return 0x01000200u | 1u << 16;
        case PlayButton::Forward:
            return 1u << 16 | 0x100u;
        case PlayButton::FastForward:
            return fast | 0x200u;
        case PlayButton::Pause:
            break;
    }
    return 0;
}

PlaybackController::PlaybackController(PlaybackRequests& link, LocalTime localTime, PlaybackView* view)
    : m_link(link), m_localTime(std::move(localTime)), m_view(view) {}

DateTime PlaybackController::now() const {
    return m_localTime ? m_localTime() : DateTime{2000, 1, 1};
}

void PlaybackController::open(uint16_t splitCode, uint32_t layoutCode) {
    m_layout.open(splitCode, layoutCode);
    m_layout.setProtocolLevel(m_link.protocolLevel());
    m_busy = false;
    m_idle = false;
    m_controlsEnabled = true;
    m_checked = PlayButton::Pause;
    if (m_link.protocolLevel() > 1 && !m_endKnown)
        m_rangeEnd = now();
    m_idleWatch = true;
    m_open = true;
    m_rangeAsked = false;
    // Nothing of an earlier opening carries over: not a play button's reconnect, not its playing.
    m_reconnecting = false;
    m_playing = false;
    if (m_rangeValid)
        resetToRangeStart();
    clearAllPanes();
    m_lastJump = DateTime{};
    m_rangeTimer = true;
}

void PlaybackController::onRangeTimer() {
    if (!m_rangeTimer)
        return;
    m_rangeTimer = false;
    m_rangeAsked = m_link.request(RequestKind::RecordingRange);
}

void PlaybackController::setRecordingRange(const link::RecordingRange& range) {
    const DateTime start = link::unpackRecorderTime(range.startDate, range.startTime);
    const DateTime end = link::unpackRecorderTime(range.endDate, range.endTime);
    // The range reply: the session sends a play request held for it.
    m_rangeAsked = false;
    m_rangeStart = acceptableRangeTime(start) ? start : now();
    m_endKnown = acceptableRangeTime(end);
    m_rangeEnd = m_endKnown ? end : now();
    m_rangeValid = m_rangeStart.year >= 1996 && m_rangeEnd.year >= 1996;
    // A window that had no range yet starts at the recording start.
    if (m_open && m_rangeValid && m_requestTime.year == 0)
        resetToRangeStart();
}

void PlaybackController::resetToRangeStart() {
    m_requestTime = m_rangeStart;
    m_calendar = DateTime{m_rangeStart.year, m_rangeStart.month, m_rangeStart.day};
    setPosition(m_rangeStart.hour, m_rangeStart.minute, m_rangeStart.second, true);
}

void PlaybackController::setPosition(int hour, int minute, int second, bool force) {
    const uint32_t position = packPosition(hour, minute, second);
    if (!force && (hour > 23 || minute > 59 || position == m_position))
        return;
    m_position = position;
}

void PlaybackController::setPositionStep(const DateTime& t) {
    if (!acceptableDate(t))
        return;
    m_requestTime = t;
    m_calendar = DateTime{t.year, t.month, t.day};
    m_pictureTime = t;
    setPosition(t.hour, t.minute, t.second, true);
}

void PlaybackController::clearAllPanes() {
    m_layout.clearPanes();
    ++m_paneClears;
    if (m_view)
        m_view->panesCleared();
}

void PlaybackController::setStatus(std::string text, StatusKind kind) {
    m_status = std::move(text);
    m_statusKind = kind;
}

void PlaybackController::sendPlayWords() {
    m_link.setPlayRequest(link::packDateWord(m_requestTime), link::packTimeWord(m_requestTime),
                          m_playModeWord);
}

void PlaybackController::pause() {
    // Every pause stops an AVI recording: PAUSE, exit while playing, the jump to an event.
    if (m_view)
        m_view->pausing();
    m_link.request(RequestKind::StopPlayback);
    m_playing = false;
    m_checked = PlayButton::Pause;
    m_controlsEnabled = true;
}

void PlaybackController::startPlay(PlayButton button) {
    // While the range is asked for, the play request waits for the range reply, which sends it (as
    // after a reconnect); sent now as well, two picture chains would run. A window that has not yet
    // asked asks at once.
    if (m_rangeTimer)
        onRangeTimer();
    if (!m_rangeAsked)
        m_link.request(RequestKind::PlaySearch);
    m_link.setFollowUp(RequestKind::NextPlaybackPicture);
    setStatus(std::string("SEARCHING") + kSearchingPadding, StatusKind::Searching);
    m_playing = true;
    if (button == PlayButton::Forward)
        m_checked = PlayButton::Forward;
    m_controlsEnabled = false;
}

PlaybackCommandEffects PlaybackController::onCommand(int commandId) {
    // The layout's buttons are refused while the window is busy; the layout says whether it changed.
    const bool busy = m_busy;
    PlaybackCommandEffects effects;
    if (commandId >= command::kChannelFirst && commandId < command::kChannelFirst + kPaneCount) {
        effects.repaintPictureArea = m_layout.onChannelButton(commandId - command::kChannelFirst, busy);
        return effects;
    }
    if (commandId >= command::kPlayFirst && commandId <= command::kPlayFirst + int(PlayButton::FastForward)) {
        onPlayButton(static_cast<PlayButton>(commandId - command::kPlayFirst));
        return effects;
    }
    switch (commandId) {
        case command::kExit:
            onExit();
            break;
        case command::kModePlus:
            effects.repaintPictureArea = m_layout.onModePlus(busy);
            break;
        case command::kModeMinus:
            effects.repaintPictureArea = m_layout.onModeMinus(busy);
            break;
        case command::kModeOne:
            effects.repaintPictureArea = m_layout.onModeOne(busy);
            break;
        case command::kModeFour:
            effects.repaintPictureArea = m_layout.onModeFour(busy);
            break;
        case command::kSave:
            effects.action = PlaybackAction::SaveSnapshot;
            break;
        case command::kPrint:
            effects.action = PlaybackAction::Print;
            break;
        case command::kSaveAvi:
            effects.action = PlaybackAction::ToggleRecording;
            break;
        case command::kEvent:
            effects.action = PlaybackAction::ShowEventList;
            break;
        case command::kStart:
            onStart();
            break;
        case command::kEnd:
            onEnd();
            break;
        case command::kHourBack:
            onHourBack();
            break;
        case command::kHourForward:
            onHourForward();
            break;
        default:
            break;
    }
    return effects;
}

void PlaybackController::onPlayButton(PlayButton button) {
    if (m_busy)
        return;
    m_eventEnabled = button == PlayButton::Pause;
    int speed = m_requestSpeed;
    if (button == PlayButton::Reverse || button == PlayButton::Forward)
        speed = 1;
    switch (button) {
        case PlayButton::FastReverse:
        case PlayButton::Reverse:
            m_playModeWord = playModeWord(button, speed);
            m_playState = kPlayReverse;
            break;
        case PlayButton::Forward:
            m_playModeWord = playModeWord(button, speed);
            m_playState = kPlayForward;
            break;
        case PlayButton::FastForward:
            m_playModeWord = playModeWord(button, speed);
            m_playState = kPlayFastForward;
            break;
        case PlayButton::Pause:
            pause();
            break;
    }
    if (button == PlayButton::Reverse || button == PlayButton::Pause || button == PlayButton::FastForward)
        m_checkJump = true;

    bool started = true;
    if (button != PlayButton::Pause) {
        m_requestTime =
            DateTime{m_calendar.year,          m_calendar.month,           m_calendar.day,
                     positionHour(m_position), positionMinute(m_position), positionSecond(m_position)};
        sendPlayWords();
        if (m_checkJump) {
            const bool far = m_lastJump.year == 0 || std::llabs(toEpochSeconds(m_lastJump) -
                                                                toEpochSeconds(m_requestTime)) > kJumpSeconds;
            if (far)
                clearAllPanes();
            m_lastJump = m_requestTime;
            m_checkJump = false;
        }
        if (m_rangeValid) {
            if (m_reconnecting) {
                // The socket is still connecting: the play starts once it is established, in the
                // direction pressed last.
                m_reconnectButton = button;
                m_reconnectKeepsTime = m_jumping;
            } else if (!m_link.connected()) {
                if (m_link.connect()) {
                    // Log-in and play request go out once the connection is
                    // established; a socket still connecting carries nothing.
                    m_reconnecting = true;
                    m_reconnectButton = button;
                    m_reconnectKeepsTime = m_jumping;
                } else {
                    setStatus("CONNECTION FAIL", StatusKind::Connection);
                    m_idleWatch = false;
                    started = false;
                }
            } else if (m_playing) {
                // A play request held for the range reply carries the new words itself.
                if (!m_rangeAsked)
                    m_link.setFollowUp(RequestKind::PlaySearch);
            } else {
                startPlay(button);
            }
        }
    }
    m_checked = started ? button : PlayButton::Pause;
    if (m_playState == kPlayStopped)
        m_checked = PlayButton::Pause;
}

void PlaybackController::onConnectionEstablished() {
    if (!m_reconnecting)
        return;
    // The connection may have ended again before this report came: as a failed connect.
    if (m_open && !m_link.connected()) {
        onConnectFailed();
        return;
    }
    m_reconnecting = false;
    if (!m_open)
        return;
    m_link.request(RequestKind::Login);
    setStatus({}, StatusKind::Connection);
    m_idleWatch = true;
    m_idle = false;
    // A play button's reconnect starts from the recording's start; a jump to an event plays from the
    // event's moment, which the user chose.
    if (m_rangeValid && !std::exchange(m_reconnectKeepsTime, false))
        resetToRangeStart();
    sendPlayWords();
    m_playing = false;
    startPlay(m_reconnectButton);
}

void PlaybackController::onConnectFailed() {
    if (!m_reconnecting)
        return;
    m_reconnecting = false;
    setStatus("CONNECTION FAIL", StatusKind::Connection);
    m_idleWatch = false;
    m_checked = PlayButton::Pause;
}

void PlaybackController::onConnectionLost(bool showMessage) {
    if (!m_open)
        return;
    // A connection a play button made that ended before playing could start: playing never starts.
    m_reconnecting = false;
    // An AVI recording stops with the pictures that fed it.
    if (m_view)
        m_view->pausing();
    m_rangeAsked = false;
    m_idleWatch = false;
    m_playing = false;
    m_controlsEnabled = true;
    m_checked = PlayButton::Pause;
    setStatus("DISCONNECT", StatusKind::Connection);
    if (showMessage && m_view)
        m_view->showMessage(kSocketDisconnectedMessage);
}

void PlaybackController::connectionStatus(int code) {
    if (code == 0)
        setStatus("DISCONNECT", StatusKind::Connection);
    else if (code == 5)
        setStatus("CONNECTION FAIL", StatusKind::Connection);
    else
        setStatus({}, StatusKind::Connection);
}

void PlaybackController::pictureTime(uint32_t dateWord, uint32_t timeWord) {
    const DateTime t = link::unpackPictureTime(dateWord, timeWord);
    if (!acceptableDate(t))
        return;
    // A reply with a picture shows the recorder is answering, whether or not
    // the picture is drawn.
    m_idle = false;
    m_pictureTime = t;
    m_calendar = DateTime{t.year, t.month, t.day};
    setPosition(t.hour, t.minute, t.second, false);
    // Stop after this picture at the end of the recording (the whole date
    // counts, so a recording longer than a year plays to its real end).
    const DateTime& edge = isReverse(m_playModeWord) ? m_rangeStart : m_rangeEnd;
    if (t == edge)
        m_link.setFollowUp(RequestKind::StopPlayback);
}

void PlaybackController::positionPercent(uint32_t millionths, uint32_t recordMillionths) {
    m_playMillionths = millionths;
    m_recordMillionths = recordMillionths;
}

void PlaybackController::playStatus(uint32_t code) {
    setStatus(std::string(playStatusText(code)), StatusKind::Play);
    m_playState = kPlayStopped;
    // No picture follows a status: the window is paused and a play button
    // starts a new search.
    m_playing = false;
    m_controlsEnabled = true;
    m_checked = PlayButton::Pause;
    m_eventEnabled = true;
}

bool PlaybackController::acceptPicture(const frame::FrameHeader& header) {
    const bool draw = m_layout.acceptPicture(header);
    if (m_layout.takeFormatRelayout() && m_view)
        m_view->pictureAreaChanged();
    return draw;
}

PaneDrawList PlaybackController::pictureArrived(int channel, const frame::FrameHeader& header,
                                                int reduction) {
    m_idle = false;
    return m_layout.pictureStored(channel, header.pictureFlags, reduction);
}

void PlaybackController::onStart() {
    if (!m_busy)
        setPositionStep(m_rangeStart);
}

void PlaybackController::onEnd() {
    if (!m_busy)
        setPositionStep(m_rangeEnd);
}

void PlaybackController::onHourForward() {
    if (m_busy)
        return;
    setPositionStep(hourStepForward(
        DateTime{m_calendar.year, m_calendar.month, m_calendar.day, positionHour(m_position)}));
}

void PlaybackController::onHourBack() {
    if (m_busy)
        return;
    setPositionStep(
        hourStepBack(DateTime{m_calendar.year, m_calendar.month, m_calendar.day, positionHour(m_position)}));
}

void PlaybackController::onSliderScrolled(int secondsOfDay) {
    const int s = std::clamp(secondsOfDay, 0, 86399);
    m_position = packPosition(s / 3600, s / 60 % 60, s % 60);
    m_idle = false;
    clearAllPanes();
}

void PlaybackController::onCalendarDate(int year, int month, int day) {
    const DateTime t{year, month, day};
    if (acceptableDate(t))
        m_calendar = t;
}

bool PlaybackController::openEventList() {
    if (m_busy || !m_open || !m_eventEnabled || m_playing)
        return false;
    m_link.request(RequestKind::EventList);
    m_busy = true;
    return true;
}

void PlaybackController::jumpTo(uint32_t eventTimeWord) {
    m_busy = false;
    const DateTime t = unpackEventTime(eventTimeWord);
    if (!acceptableDate(t) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return;
    if (m_playing) {
        if (m_playState == kPlayForward)
            m_link.setFollowUp(RequestKind::StopPlayback);
        onPlayButton(PlayButton::Pause);
    } else {
        // Already paused: no second stop request, but the jump pauses an AVI recording as PAUSE does.
        if (m_view)
            m_view->pausing();
        m_checked = PlayButton::Pause;
        m_checkJump = true;
    }
    m_requestTime = t;
    m_calendar = DateTime{t.year, t.month, t.day};
    setPosition(t.hour, t.minute, t.second, true);
    m_jumping = true;
    onPlayButton(PlayButton::Forward);
    m_jumping = false;
}

void PlaybackController::onExit() {
    if (m_busy)
        return;
    m_link.setFollowUp(RequestKind::StopPlayback);
    if (m_playing) {
        onPlayButton(PlayButton::Pause);
        return;
    }
    m_idleWatch = false;
    m_rangeTimer = false;
    m_open = false;
    // A play button's reconnect still under way belongs to the window: its connection stays the live
    // view's, and playing does not start on it.
    m_reconnecting = false;
    m_link.request(RequestKind::LivePicture);
    if (m_view)
        m_view->windowClosed();
}

void PlaybackController::onIdleTick() {
    if (!m_idleWatch)
        return;
    // A dialog of the window is open (the event list): the user is at work in it, though the window
    // itself sees no input.
    if (m_busy)
        m_idle = false;
    if (m_idle) {
        m_idleWatch = false;
        m_rangeAsked = false;
        if (m_view)
            m_view->pausing();
        m_link.request(RequestKind::StopPlayback);
        m_link.disconnect();
        m_playing = false;
        m_controlsEnabled = true;
        m_checked = PlayButton::Pause;
        setStatus("DISCONNECT", StatusKind::Connection);
        if (m_view)
            m_view->showMessage(kSocketDisconnectedMessage);
        return;
    }
    if (!m_playing)
        m_link.request(RequestKind::KeepAlive);
    m_idle = true;
}

std::string PlaybackController::startText() const {
    return m_rangeValid ? formatDateTime(m_rangeStart) : kUnknownDateTime;
}

std::string PlaybackController::endText() const {
    return m_rangeValid ? formatDateTime(m_rangeEnd) : kUnknownDateTime;
}

std::string PlaybackController::requestText() const {
    return m_rangeValid ? formatDateTime(m_requestTime) : kUnknownDateTime;
}

}  // namespace dvr::playback
