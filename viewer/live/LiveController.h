// The live window's logic without a toolkit: the connect and disconnect sequences, the connection state
// and the status line, the sixteen picture buffers and the layout they are drawn through, the on-screen
// texts, the network-speed and PTZ-channel buttons, window dragging and the exit sequence. It is the
// recorder session's host. The clock and the timers are injected; the window forwards its events here
// and paints what the controller holds.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/frame/DateTime.h"
#include "common/frame/DecodeWorker.h"
#include "common/frame/DecodedPicture.h"
#include "common/frame/FormatText.h"
#include "common/frame/FrameDecoder.h"
#include "common/skin/LanguageFile.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/link/ArpCache.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionDriver.h"
#include "viewer/link/SessionHost.h"
#include "viewer/live/LiveLayout.h"
#include "viewer/live/LiveTexts.h"
#include "viewer/ptz/PtzController.h"

namespace dvr::live {

// The timers of the live window.
enum class LiveTimer : uint8_t {
    Clock,      // every second: clock texts, frame rate, rotation
    DragRearm,  // every second: allows the next window drag
    Watchdog,   // while the session asks for it: the session's traffic check
    PtzPause,   // single shot after a PTZ send: the held live request goes out when it expires
};

// Where the controller reads the time of day, and the monotonic time the session's watchdog runs on.
class LiveClock : public link::MonotonicClock {
public:
    // Local wall-clock time, as the clock texts show it.
    virtual DateTime now() const = 0;
};

// The system's local time and steady clock.
class SystemClock : public LiveClock {
public:
    DateTime now() const override;
    link::TimePoint steadyNow() const override { return std::chrono::steady_clock::now(); }
};

// Starts and stops the window's periodic timers; each expiry is reported through
// LiveController::onTimer(). Starting a running timer restarts it.
class LiveTimers {
public:
    virtual ~LiveTimers() = default;
    virtual void start(LiveTimer timer, int periodMs) = 0;
    virtual void stop(LiveTimer timer) = 0;
};

// Areas of the window to repaint, as bits.
namespace area {
inline constexpr uint32_t kPanes = 1u << 0;       // the picture area
inline constexpr uint32_t kStatus = 1u << 1;      // the connection status line
inline constexpr uint32_t kQuality = 1u << 2;     // quality and picture size
inline constexpr uint32_t kClock = 1u << 3;       // date and time
inline constexpr uint32_t kFrameRate = 1u << 4;   // pictures per second
inline constexpr uint32_t kPositions = 1u << 5;   // R-POS and P-POS
inline constexpr uint32_t kPtzChannel = 1u << 6;  // the PTZ channel number
inline constexpr uint32_t kSpeedValue = 1u << 7;  // the network-speed value
inline constexpr uint32_t kSkin = 1u << 8;        // the whole live skin
}  // namespace area

// What the controller asks of the window showing it.
class LiveScreen {
public:
    virtual ~LiveScreen() = default;
    // Repaints the areas (bits of `area`) from the controller's state.
    virtual void repaint(uint32_t areas) = 0;
    // Shows part of a channel's picture buffer in a pane until clearPanes(). The buffer stays where it
    // is; before it takes another picture, bufferChanging() says so.
    virtual void drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) = 0;
    // The buffer of `bufferChannel` takes a new picture next, drawn into the panes of `redrawnPanes` (a
    // bit per pane channel): the other panes showing its old picture must take what they need of it now.
    virtual void bufferChanging(int /*bufferChannel*/, uint32_t /*redrawnPanes*/) {}
    // The layout changed: every pane drops its picture.
    virtual void clearPanes() = 0;
    // Checked, enabled and shown states of the buttons or the wheel image changed: read them again.
    virtual void buttonsChanged() = 0;
    virtual void beep() {}
    virtual void openAbout() {}
    virtual void showMessage(const std::string& /*text*/, const std::string& /*caption*/) {}
    // Full screen for the live view on or off.
    virtual void setFullScreen(bool /*on*/) {}
    // The window follows the mouse until the button is released.
    virtual void startDrag() {}
    // The user asked for remote playback while connected and unlocked.
    virtual void playbackRequested() {}
    // The user asked for the setup dialog.
    virtual void settingsRequested() {}
    // The exit sequence finished; the window closes now.
    virtual void closeWindow() {}
    // The session was created (or destroyed: nullptr); whoever watches its socket reports to it.
    virtual void sessionChanged(link::RecorderSession* /*session*/) {}
};

// The remote playback beside the live view: the host the session hands its playback replies to, told
// besides of the live view's own connection state and of each event list the controller stored.
class PlaybackPeer {
public:
    virtual ~PlaybackPeer() = default;
    virtual link::PlaybackHost& sessionHost() = 0;
    // The live view's connection state changed (the playback window shows it too).
    virtual void connectionStateChanged(link::ConnectionState) {}
    // A new event list was stored in the event file.
    virtual void eventFileStored() {}
};

// Where the controller finds its files and which recorder it talks to.
struct LiveControllerOptions {
    std::string programFolder;
    std::string settingsFilePath;             // the per-user settings file
    std::optional<std::string> hostOverride;  // recorder address for this run only
    std::optional<uint16_t> portOverride;     // recorder port for this run only
    link::ArpTable* arpTable = nullptr;       // ARP clean-up on every disconnect; none: skipped
};

class LiveController : public link::LiveHost {
public:
    LiveController(LiveControllerOptions options, LiveScreen& screen, LiveTimers& timers,
                   const LiveClock& clock);
    ~LiveController() override;
    LiveController(const LiveController&) = delete;
    LiveController& operator=(const LiveController&) = delete;

    // --- start-up, in this order ---------------------------------------------------------------------
    // Creates the recorder session over `transport` (kept for the controller's life).
    void createSession(link::RecorderTransport& transport);
    // Reads opt.ini and the stored settings.
    void loadSettings();
    // Applies the 16-pane layout in `overlay`, shows the clock, asks for full screen when set and starts
    // the clock and drag timers. Runs once.
    void start(PaneRect overlay);

    // --- input, forwarded by the window --------------------------------------------------------------
    // A button's command (command ids of LiveCommandIds.h).
    void onCommand(int commandId);
    // A hold button's press (state 1) or release (state 0) with its notification value.
    void onHold(uint32_t value, int state);
    void onTimer(LiveTimer timer);
    // Left button pressed on the window background.
    void onLeftPress();
    // Left double-click at a window point.
    void onDoubleClick(int x, int y);
    void pressConnect();
    void pressDisconnect();
    // Timers stopped, settings saved, session disconnected and destroyed, then closeWindow(). Runs once.
    void exitProgram();
    // The setup dialog was confirmed: full screen follows the setting and the network-speed values are
    // read again.
    void applySettings();
    // The setup dialog closed. The baud rate chosen in it is stored even when cancelled and is used from
    // the next send; an OK applies the settings, and a changed address, port or log-in replaces the
    // recorder given for this run, so the next connection goes where the user just set.
    void setupFinished(bool accepted, bool connectionChanged);

    // --- remote playback ----------------------------------------------------------------------------
    // The playback window beside the live view; its session host receives the session's playback
    // replies. nullptr: none.
    void setPlaybackHost(PlaybackPeer* playback);
    // The playback window took the session over: live pictures are no longer drawn.
    void pauseLive();
    // The playback window closed: live pictures are drawn again and, when connected, one live request
    // restarts the live loop.
    void resumeLive();
    bool livePaused() const { return m_livePaused; }
    // The recorder a reconnect from the playback window goes to: this run's override, else the settings.
    std::string recorderHost() const;
    uint16_t recorderPort() const;
    // The recorder the last Connect went to (the session holds its log-in); before any Connect, the
    // one the next goes to. Pictures, exports and the playback window's reconnect are that recorder's,
    // even after the setup dialog changed the settings.
    std::string connectedHost() const;
    uint16_t connectedPort() const;

    // --- PTZ ----------------------------------------------------------------------------------------
    // A move key (command code 1..12) went down or up; the window passes the first key-down only. A
    // key-up of another key than the one held changes nothing.
    void ptzKeyPressed(int code);
    void ptzKeyReleased(int code);
    // The window lost the keyboard: a key-held move is released.
    void ptzKeysLost();
    // The code of the move key held down, 0 for none.
    int ptzKeyHeld() const { return m_ptzKey; }
    // "Ptz Type" chosen in the setup dialog: sending switches to it at once (the table is rebuilt).
    void setPtzType(int ptzType);
    // "Ptz Baudrate" chosen in the setup dialog: used from the next send.
    void setPtzBaudRate(uint32_t code);
    // Sends `command` once after the next live picture; false (nothing queued) while not streaming.
    bool operatePtz(const ptz::PtzCommand& command);
    // The current PTZ command file path (written to the settings at exit).
    const std::string& ptzCommandFilePath() const { return m_settings.settings().ptzCommandFilePath; }
    void setPtzCommandFilePath(std::string path) {
        m_settings.settings().ptzCommandFilePath = std::move(path);
    }
    const ptz::PtzController& ptz() const { return *m_ptz; }

    // --- state --------------------------------------------------------------------------------------
    link::RecorderSession* session() { return m_session.get(); }
    const link::RecorderSession* session() const { return m_session.get(); }
    // Binds the session to its transport: whoever watches the socket reports to it.
    link::SessionDriver* sessionDriver() { return m_driver.get(); }
    config::SettingsStore& settingsStore() { return m_settings; }
    const config::SettingsStore& settingsStore() const { return m_settings; }
    const skin::LanguageFile& language() const { return m_language; }
    const LiveLayout& layout() const { return m_layout; }
    uint16_t splitCode() const { return m_layout.splitCode(); }
    uint32_t layoutCode() const { return m_layout.layoutCode(); }
    link::ConnectionState connectionState() const { return m_state; }
    bool keyLocked() const { return m_keyLock; }
    bool fullScreenSetting() const { return m_settings.settings().fullScreen != 0; }
    bool started() const { return m_started; }
    bool exiting() const { return m_exiting; }
    bool dragArmed() const { return m_dragArmed; }
    // The picture buffer of a channel (its latest live picture).
    const frame::DecodedPicture& pictureBuffer(int channel) const { return m_buffers[size_t(channel)]; }
    uint64_t picturesShown() const { return m_picturesShown; }

    // The status the line shows now: the connection state, or KeyLock while that notice is up.
    link::ConnectionState statusShown() const;
    // For the painter of the status line: the status to draw. A key-lock notice is drawn once; the next
    // repaint of the line shows the connection state again.
    link::ConnectionState takeStatusToPaint();
    std::string statusText(link::ConnectionState status) const;

    // On-screen texts.
    const std::string& dateText() const { return m_dateText; }
    const std::string& timeText() const { return m_timeText; }
    bool frameRateShown() const { return m_settings.options().showFrameRate != 0; }
    const std::string& frameRateText() const { return m_frameText; }
    const std::string& qualityText() const { return m_qualityText; }
    const std::string& recordPositionText() const { return m_recordText; }
    const std::string& playPositionText() const { return m_playText; }
    int ptzChannel() const { return m_ptz->camera(); }
    // The network-speed value of the current pane count.
    int networkSpeed() const { return m_settings.options().networkSpeed(m_layout.splitCode()); }

    // Button states.
    bool connectChecked() const { return m_connectChecked; }
    bool disconnectChecked() const { return !m_connectChecked; }
    bool speedControlsShown() const { return m_speedControlsShown; }
    // The wheel's image: 3 idle, else 0 and 1 alternately with the traffic.
    int wheelImage() const { return m_wheelImage; }

    // --- link::LiveHost --------------------------------------------------------------------------
    void setConnectionState(link::ConnectionState state) override;
    void setKeyLock(bool locked) override { m_keyLock = locked; }
    void toggleActivity(link::ActivityTarget target) override;
    void activityOff() override;
    void runViewDisconnect(link::DisconnectReason reason) override;
    void setWatchdogRunning(bool running) override;
    void livePositions(uint32_t playMillionths, uint32_t recordMillionths) override;
    void liveFormatChanged(uint32_t pictureFlags, uint32_t videoStandard) override;
    // Decodes the record at the size of the panes it lands in and copies the picture into its channel's
    // buffer; the record is kept, so a layout that grows decodes it again at the larger size at once.
    // With a decode worker the record is copied to it, the next live request is held until the picture
    // comes back and was handed to the panes, and the result of a connection or live turn gone since is
    // dropped.
    void livePicture(const frame::PictureRecord& record) override;
    // A decoded live picture of `channel`: copied into the channel's buffer and drawn into its panes.
    void showLivePicture(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture);
    void afterLivePicture() override;
    // While a PTZ pause runs or a live picture is out on the decode worker.
    bool holdLiveRequest() override;
    void showMessage(const link::MessageText& message) override;

    void eventList(std::span<const uint8_t> records) override;
    void eventListAnnounced(uint32_t records) override;
    void eventListDropped(uint32_t records) override;
    // Where the session keeps the event list: the program folder, or the per-user folder when the
    // program may not write there.
    std::string eventFilePath() const;

    // Decodes live pictures with `decoder` instead of the built-in JPEG 2000 decoder (nullptr: back to it).
    void setPictureDecoder(frame::PictureDecoder* decoder) { m_decoder.setPictureDecoder(decoder); }
    // Decodes live pictures on `worker` from the next picture on (nullptr: on the calling thread, as the
    // session hands them over). The worker must outlive its use here.
    void setDecodeWorker(frame::DecodeWorker* worker) { m_worker = worker; }
    frame::DecodeWorker* decodeWorker() const { return m_worker; }
    // A live picture is out on the decode worker.
    bool decodeOut() const { return m_decodeOut; }

private:
    void applyResult(const LayoutResult& result);
    void layoutChanged();
    void pushRequestValues();
    void resetLiveState();
    void clearPictureBuffers();
    void updateClockTexts();
    void syncSpeedControls();
    void destroySession();
    // Sets the watchdog timer for the session's next check.
    void rearmWatchdog();
    void syncPtzSettings();
    void stopPtzPause();
    // Decodes the kept records again whose buffers are drawn smaller than the current panes need.
    void redecodeKept();
    void dropKept();
    bool playbackActive() const { return m_session && m_session->playbackActive(); }
    // Sends the held live request once neither the PTZ pause nor a decode on the worker holds it.
    void releaseLiveRequest();
    // Removes the stored event list of the recorder (gone with its connection).
    void removeEventFile() const;
    // Hands a record to the decode worker at the panes' current size.
    void submitDecode(const frame::PictureRecord& record);
    // A record came back from the decode worker.
    void liveDecoded(uint64_t turn, frame::WorkerDecode& decode);
    // Keeps the decoded record for its channel and draws the picture.
    void keepAndShow(const frame::PictureRecord& record, const frame::DecodedFrame& result);
    // Results of decodes handed out before now are dropped (a connection or live turn ended).
    void forgetDecodes();

    LiveControllerOptions m_options;
    LiveScreen& m_screen;
    LiveTimers& m_timers;
    const LiveClock& m_clock;
    skin::LanguageFile m_language;
    config::SettingsStore m_settings;
    std::unique_ptr<link::RecorderSession> m_session;
    std::unique_ptr<link::SessionDriver> m_driver;
    PlaybackPeer* m_playback = nullptr;
    frame::FrameDecoder m_decoder;
    frame::DecodeWorker* m_worker = nullptr;
    std::string m_dialledHost;
    uint16_t m_dialledPort = 0;
    mutable std::string m_eventFile;  // where the event list is kept, chosen at its first use
    bool m_decodeOut = false;
    frame::WaitingRecord m_waiting;  // a picture that came while one was out with the worker
    // Counts connections and live turns: a decode result of an older one is dropped.
    uint64_t m_decodeTurn = 0;
    // The worker hands results only to a controller that still exists.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    class PtzBridge;
    std::unique_ptr<PtzBridge> m_ptzBridge;
    std::unique_ptr<ptz::PtzController> m_ptz;
    int m_ptzKey = 0;  // the code of the move key held down, 0 for none

    LiveLayout m_layout;
    frame::FormatText m_quality{frame::FormatTextStyle::Live};
    std::vector<frame::DecodedPicture> m_buffers;
    // The last picture record of each buffer, in arrival order (`order`), to decode again at full size.
    struct KeptRecord {
        std::vector<uint8_t> bytes;
        frame::FrameHeader header;
        frame::FrameDecodeOptions options;
        uint64_t order = 0;
    };
    std::array<KeptRecord, kChannelCount> m_kept{};
    uint64_t m_keptOrder = 0;

    link::ConnectionState m_state = link::ConnectionState::Waiting;
    // A key-lock notice over the status line: none, not yet drawn, drawn once.
    enum class KeyLockNotice : uint8_t { None, Pending, Drawn };
    KeyLockNotice m_keyLockNotice = KeyLockNotice::None;
    bool m_keyLock = false;
    bool m_started = false;
    bool m_exiting = false;
    bool m_livePaused = false;
    bool m_dragArmed = true;
    bool m_connectChecked = false;
    bool m_activityShown = false;
    int m_wheelImage = 3;
    bool m_speedControlsShown = true;
    uint64_t m_picturesShown = 0;

    std::string m_dateText, m_timeText, m_frameText, m_qualityText, m_recordText, m_playText;
};

}  // namespace dvr::live
