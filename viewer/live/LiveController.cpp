#include "viewer/live/LiveController.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "common/fs/AtomicFile.h"
#include "common/skin/ProgramFiles.h"
#include "common/skin/ProgramFolder.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/playback/EventList.h"

namespace dvr::live {

namespace {

constexpr const char* kEventFile = "AlarmEvent.am";

}  // namespace

// The PTZ control's way out: commands go to the recorder through the session, the pause after a send
// runs on the window's PtzPause timer, and its messages reach the window's message box.
class LiveController::PtzBridge : public ptz::PtzHost {
public:
    explicit PtzBridge(LiveController& live) : m_live(live) {}

    void sendPtz(int /*code*/, std::span<const uint8_t> bytes, uint32_t baudRateCode) override {
        if (m_live.m_session) {
            m_live.m_session->sendPtz(bytes, baudRateCode);
        }
    }
    void startPauseTimer(int milliseconds) override {
        m_live.m_timers.start(LiveTimer::PtzPause, milliseconds);
    }
    void resumeLiveLoop() override { m_live.releaseLiveRequest(); }
    void showMessage(const ptz::PtzMessage& message) override {
        const std::string text =
            message.text.empty()
                ? m_live.m_language.text(ptz::kMessageSection, message.key, message.defaultText)
                : message.text;
        m_live.m_screen.showMessage(text, std::string(ptz::kMessageCaption));
    }

private:
    LiveController& m_live;
};

DateTime SystemClock::now() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

LiveController::LiveController(LiveControllerOptions options, LiveScreen& screen, LiveTimers& timers,
                               const LiveClock& clock)
    : m_options(std::move(options)),
      m_screen(screen),
      m_timers(timers),
      m_clock(clock),
      m_language(m_options.programFolder),
      m_settings(m_options.settingsFilePath, m_options.programFolder),
      m_buffers(kChannelCount) {
    // No protocol until the settings are read: the table starts empty.
    m_ptzBridge = std::make_unique<PtzBridge>(*this);
    m_ptz = std::make_unique<ptz::PtzController>(
        *m_ptzBridge, ptz::PtzFolders{m_options.programFolder, ptz::defaultUserDataFolder()},
        ptz::PtzSettings{-1, 1, ptz::kDefaultMaxStopCount});
}

LiveController::~LiveController() {
    m_timers.stop(LiveTimer::Clock);
    m_timers.stop(LiveTimer::DragRearm);
    m_timers.stop(LiveTimer::Watchdog);
    m_timers.stop(LiveTimer::PtzPause);
    m_lifetime.reset();
    destroySession();
}

void LiveController::createSession(link::RecorderTransport& transport) {
    if (m_session) {
        return;
    }
    m_session = std::make_unique<link::RecorderSession>(
        *this, m_playback != nullptr ? &m_playback->sessionHost() : nullptr);
    m_driver = std::make_unique<link::SessionDriver>(*m_session, transport, m_clock);
    m_screen.sessionChanged(m_session.get());
}

void LiveController::setPlaybackHost(PlaybackPeer* playback) {
    m_playback = playback;
    if (m_session) {
        m_session->setPlaybackHost(playback != nullptr ? &playback->sessionHost() : nullptr);
    }
}

void LiveController::destroySession() {
    if (m_session) {
        m_screen.sessionChanged(nullptr);
        m_driver.reset();
        m_session.reset();
    }
}

void LiveController::loadSettings() {
    m_settings.loadSettings();
    syncPtzSettings();
}

void LiveController::start(PaneRect overlay) {
    if (m_started) {
        return;
    }
    m_started = true;
    m_layout.setOverlay(overlay);
    m_layout.applyLayout(m_layout.splitCode());
    layoutChanged();
    m_screen.buttonsChanged();
    m_screen.repaint(area::kStatus);
    updateClockTexts();
    if (fullScreenSetting()) {
        m_screen.setFullScreen(true);
    }
    m_timers.start(LiveTimer::Clock, kClockPeriodMs);
    m_timers.start(LiveTimer::DragRearm, kDragPeriodMs);
}

// --- input -----------------------------------------------------------------------------------------------

void LiveController::onCommand(int commandId) {
    if (m_exiting) {
        return;
    }
    if (commandId >= command::kModeFirst && commandId < command::kModeFirst + kModeButtonCount) {
        applyResult(m_layout.onModeButton(commandId - command::kModeFirst));
        return;
    }
    if (commandId >= command::kChannelFirst && commandId < command::kChannelFirst + kChannelCount) {
        applyResult(m_layout.onChannelButton(commandId - command::kChannelFirst));
        return;
    }
    switch (commandId) {
        case command::kExit:
            exitProgram();
            break;
        case command::kConnect:
            pressConnect();
            break;
        case command::kDisconnect:
            pressDisconnect();
            break;
        case command::kRotate:
            applyResult(m_layout.onRotateButton(m_state == link::ConnectionState::Established,
                                                m_settings.settings().rotationIntervalIndex));
            break;
        case command::kSetting:
            m_screen.settingsRequested();
            break;
        case command::kPlayback:
            if (m_keyLock) {
                setConnectionState(link::ConnectionState::KeyLock);
            } else if (m_state != link::ConnectionState::Waiting) {
                m_screen.playbackRequested();
            }
            break;
        default:
            break;
    }
}

void LiveController::onHold(uint32_t value, int state) {
    if (m_exiting) {
        return;
    }
    // The speed buttons act on release: plus up to 10, minus down to 1, sent with the next live request.
    if (state == 0 && (value == command::kSpeedPlus || value == command::kSpeedMinus)) {
        config::ViewerOptions& options = m_settings.options();
        const int speed = options.networkSpeed(m_layout.splitCode());
        options.setNetworkSpeed(m_layout.splitCode(), value == command::kSpeedPlus ? speedAfterPlus(speed)
                                                                                   : speedAfterMinus(speed));
        pushRequestValues();
        m_screen.repaint(area::kSpeedValue);
        return;
    }
    // The PTZ channel buttons act on press, and not while channels rotate; the table follows the camera.
    if (value == kPtzChannelPlusValue || value == kPtzChannelMinusValue) {
        if (state == 1 && (value == kPtzChannelPlusValue ? m_ptz->cameraUp(m_layout.rotating())
                                                         : m_ptz->cameraDown(m_layout.rotating()))) {
            m_screen.repaint(area::kPtzChannel);
        }
        return;
    }
    // A PTZ move button holds its move while pressed; any release starts the stop phase.
    if (ptz::ptzCodeForButton(int(value))) {
        if (state == 1) {
            m_ptz->pressButton(int(value));
        } else {
            m_ptz->release();
        }
    }
}

void LiveController::onTimer(LiveTimer timer) {
    switch (timer) {
        case LiveTimer::Clock:
            if (m_exiting) {
                return;
            }
            updateClockTexts();
            if (m_session) {
                m_session->live().takeFrameCount();
            }
            if (m_layout.onRotationTick()) {
                layoutChanged();
                m_screen.buttonsChanged();
            }
            break;
        case LiveTimer::DragRearm:
            m_dragArmed = true;
            break;
        case LiveTimer::Watchdog:
            if (m_driver) {
                m_driver->onTime();
                rearmWatchdog();
            }
            break;
        case LiveTimer::PtzPause:
            m_timers.stop(LiveTimer::PtzPause);
            m_ptz->onPauseElapsed();
            break;
    }
}

void LiveController::onLeftPress() {
    if (!fullScreenSetting() && m_dragArmed) {
        m_dragArmed = false;
        m_screen.startDrag();
    }
}

void LiveController::onDoubleClick(int x, int y) {
    if (m_exiting) {
        return;
    }
    applyResult(m_layout.onDoubleClick(x, y, m_state == link::ConnectionState::Established));
}

void LiveController::pressConnect() {
    if (!m_session || m_exiting) {
        return;
    }
    if (m_state == link::ConnectionState::Connecting || m_session->connected() || m_session->hasSocket()) {
        // Already under way: the button stays down.
        m_connectChecked = true;
        m_screen.buttonsChanged();
        return;
    }
    resetLiveState();
    // An event list left by a run that ended without a disconnect (an exit while connected, a crash)
    // is not this recorder's.
    removeEventFile();
    m_state = link::ConnectionState::Waiting;
    m_keyLockNotice = KeyLockNotice::None;
    m_connectChecked = true;
    m_session->setCredentials(m_settings.settings().userId, m_settings.settings().password);
    const std::string host = m_options.hostOverride.value_or(m_settings.settings().recorderAddress);
    const uint16_t port = m_options.portOverride.value_or(uint16_t(m_settings.settings().recorderPort));
    // The recorder this connection goes to, with the log-in just set: what the pictures come from,
    // whatever the settings say after a later change.
    m_dialledHost = host;
    m_dialledPort = port;
    if (m_driver->connect(host, port)) {
        setConnectionState(link::ConnectionState::Connecting);
    } else {
        m_connectChecked = false;
        m_screen.repaint(area::kStatus);
    }
    m_screen.buttonsChanged();
}

void LiveController::pressDisconnect() {
    if (m_state != link::ConnectionState::Waiting || m_keyLockNotice != KeyLockNotice::None) {
        setConnectionState(link::ConnectionState::Waiting);
    }
    if (m_session) {
        m_session->disconnect();
    }
    m_connectChecked = false;
    stopPtzPause();
    if (m_options.arpTable != nullptr) {
        link::clearArpCache(*m_options.arpTable, connectedHost());
    }
    resetLiveState();
    removeEventFile();
    clearPictureBuffers();
    m_screen.buttonsChanged();
    m_screen.repaint(area::kSkin);
}

void LiveController::exitProgram() {
    if (m_exiting) {
        return;
    }
    m_exiting = true;
    forgetDecodes();
    m_timers.stop(LiveTimer::Clock);
    m_timers.stop(LiveTimer::DragRearm);
    // Setup's changes reach the disk here only: a save that failed is said before the window goes, or
    // the next start would bring back the old recorder, password and folders without a word.
    const fs::FileResult saved = m_settings.saveSettings();
    if (m_session && m_session->connected()) {
        m_session->disconnect();
    }
    // The recorder's event list goes with its connection, as on a disconnect.
    removeEventFile();
    m_timers.stop(LiveTimer::Watchdog);
    stopPtzPause();
    destroySession();
    if (!saved.ok) {
        m_screen.showMessage("The settings were not saved: " + saved.describe(), "Vistrel");
    }
    m_screen.closeWindow();
}

void LiveController::applySettings() {
    if (m_exiting) {
        return;
    }
    m_screen.setFullScreen(fullScreenSetting());
    m_settings.readNetworkSpeed();
    pushRequestValues();
    m_screen.repaint(area::kSpeedValue);
    syncPtzSettings();
}

void LiveController::setupFinished(bool accepted, bool connectionChanged) {
    if (m_exiting) {
        return;
    }
    setPtzBaudRate(m_settings.settings().ptzBaudRateIndex);
    if (!accepted) {
        return;
    }
    if (connectionChanged) {
        m_options.hostOverride.reset();
        m_options.portOverride.reset();
    }
    applySettings();
}

// --- remote playback --------------------------------------------------------------------------------------

void LiveController::pauseLive() {
    m_livePaused = true;
    // The playback window has the session now: a live picture still decoding is not drawn, and its held
    // request does not go out.
    forgetDecodes();
}

void LiveController::resumeLive() {
    if (!m_livePaused) {
        return;
    }
    m_livePaused = false;
    forgetDecodes();
    if (m_session && m_session->connected()) {
        pushRequestValues();
        m_session->request(link::RequestKind::LivePicture);
    }
}

// --- PTZ --------------------------------------------------------------------------------------------------

void LiveController::ptzKeyPressed(int code) {
    if (m_exiting || code == m_ptzKey || code < ptz::kLeft || code >= ptz::kPtzMoveCodes) {
        return;
    }
    m_ptzKey = code;
    m_ptz->pressCode(code);
}

void LiveController::ptzKeyReleased(int code) {
    if (code == 0 || code != m_ptzKey) {
        return;
    }
    m_ptzKey = 0;
    m_ptz->release();
}

void LiveController::ptzKeysLost() {
    ptzKeyReleased(m_ptzKey);
}

void LiveController::setPtzType(int ptzType) {
    if (ptzType != m_ptz->settings().ptzType) {
        m_ptz->setPtzType(ptzType);
        // The file the new table was read from is the current command file (the editor opens on it).
        if (ptz::ptzSourceForType(ptzType).kind == ptz::PtzSourceKind::File &&
            !m_ptz->lastFile().path.empty()) {
            setPtzCommandFilePath(m_ptz->lastFile().path);
        }
    }
}

void LiveController::setPtzBaudRate(uint32_t code) {
    m_ptz->setBaudRateCode(code);
}

bool LiveController::operatePtz(const ptz::PtzCommand& command) {
    if (m_exiting || m_livePaused || !m_session || !m_session->connected() || command.empty()) {
        return false;
    }
    m_ptz->operateOnce(command);
    return true;
}

// The protocol, baud-rate code and stop repeats of the stored settings; the table is rebuilt only when
// the protocol changed.
void LiveController::syncPtzSettings() {
    const config::ViewerSettings& settings = m_settings.settings();
    m_ptz->setBaudRateCode(settings.ptzBaudRateIndex);
    m_ptz->setMaxStopCount(m_settings.options().maxStopCount);
    setPtzType(settings.ptzProtocolIndex);
}

// The live loop stopped: a running pause is forgotten, so no held live request goes out later.
void LiveController::stopPtzPause() {
    m_timers.stop(LiveTimer::PtzPause);
    m_ptz->cancelPause();
}

std::string LiveController::recorderHost() const {
    return m_options.hostOverride.value_or(m_settings.settings().recorderAddress);
}

uint16_t LiveController::recorderPort() const {
    return m_options.portOverride.value_or(uint16_t(m_settings.settings().recorderPort));
}

std::string LiveController::connectedHost() const {
    return m_dialledHost.empty() ? recorderHost() : m_dialledHost;
}

uint16_t LiveController::connectedPort() const {
    return m_dialledHost.empty() ? recorderPort() : m_dialledPort;
}

// --- helpers ----------------------------------------------------------------------------------------------

void LiveController::applyResult(const LayoutResult& result) {
    if (result.beep) {
        m_screen.beep();
    }
    if (result.layoutApplied) {
        layoutChanged();
    }
    m_screen.buttonsChanged();
    if (result.openAbout) {
        m_screen.openAbout();
    }
}

void LiveController::layoutChanged() {
    m_screen.clearPanes();
    pushRequestValues();
    m_screen.repaint(area::kPanes | area::kSpeedValue);
    redecodeKept();
}

void LiveController::redecodeKept() {
    if (m_exiting || m_livePaused) {
        return;
    }
    const frame::ShownSize shown = m_layout.shownSize();
    std::array<int, kChannelCount> channels{};
    int count = 0;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const KeptRecord& kept = m_kept[size_t(channel)];
        const frame::DecodedPicture& buffer = m_buffers[size_t(channel)];
        if (kept.bytes.empty() || buffer.reduction == 0 || !m_layout.bufferFilled(channel) ||
            !m_layout.bufferDrawn(channel)) {
            continue;
        }
        const int needed =
            frame::reductionFor(kept.header.pictureFlags, buffer.fullWidth, buffer.fullHeight, shown);
        if (needed < buffer.reduction) {
            channels[size_t(count++)] = channel;
        }
    }
    // In arrival order: where several buffers draw into one pane, the latest picture stays on top.
    std::sort(channels.begin(), channels.begin() + count,
              [this](int a, int b) { return m_kept[size_t(a)].order < m_kept[size_t(b)].order; });
    for (int i = 0; i < count; ++i) {
        KeptRecord& kept = m_kept[size_t(channels[size_t(i)])];
        frame::PictureRecord record{kept.bytes, kept.header, kept.options};
        record.options.shown = shown;
        const frame::DecodedFrame result = m_decoder.decode(record);
        // Kept under the channel it was stored for: the decode must not move the picture elsewhere.
        if (result.ok() && result.channel == channels[size_t(i)]) {
            showLivePicture(result.channel, result.header, *result.picture);
        }
    }
}

void LiveController::dropKept() {
    for (KeptRecord& kept : m_kept) {
        kept.bytes.clear();
    }
}

void LiveController::pushRequestValues() {
    if (!m_session) {
        return;
    }
    m_session->live().setDisplayedChannelMask(m_layout.displayedMask());
    m_session->live().setRequestSpeed(networkSpeed());
}

void LiveController::resetLiveState() {
    forgetDecodes();
    dropKept();
    m_layout.resetForConnection();
    m_quality.clear();
    m_qualityText.clear();
    m_keyLock = false;
    if (m_session) {
        m_session->live().resetPictureState();
        m_session->live().takeFrameCount();
    }
    layoutChanged();
    m_screen.buttonsChanged();
    m_screen.repaint(area::kQuality);
}

void LiveController::clearPictureBuffers() {
    for (int channel = 0; channel < kChannelCount; ++channel) {
        m_screen.bufferChanging(channel, 0);
    }
    for (frame::DecodedPicture& buffer : m_buffers) {
        std::memset(buffer.pixels.data(), 0, buffer.pixels.size());
    }
    dropKept();
    m_layout.clearBuffers();
}

void LiveController::updateClockTexts() {
    const DateTime now = m_clock.now();
    m_dateText = live::dateText(now.year, now.month, now.day);
    m_timeText = live::timeText(now.hour, now.minute, now.second);
    uint32_t areas = area::kClock;
    if (frameRateShown() && m_session) {
        m_frameText = live::frameRateText(m_session->live().frameCounter());
        areas |= area::kFrameRate;
    }
    m_screen.repaint(areas);
}

void LiveController::syncSpeedControls() {
    const bool show = m_session && m_session->newerProtocol();
    if (show == m_speedControlsShown) {
        return;
    }
    m_speedControlsShown = show;
    m_screen.buttonsChanged();
    m_screen.repaint(area::kSpeedValue);
}

// --- status line ----------------------------------------------------------------------------------------

link::ConnectionState LiveController::statusShown() const {
    return m_keyLockNotice == KeyLockNotice::None ? m_state : link::ConnectionState::KeyLock;
}

link::ConnectionState LiveController::takeStatusToPaint() {
    switch (m_keyLockNotice) {
        case KeyLockNotice::Pending:
            m_keyLockNotice = KeyLockNotice::Drawn;
            return link::ConnectionState::KeyLock;
        case KeyLockNotice::Drawn:
            m_keyLockNotice = KeyLockNotice::None;
            break;
        case KeyLockNotice::None:
            break;
    }
    return m_state;
}

std::string LiveController::statusText(link::ConnectionState status) const {
    const auto text = live::statusText(status);
    return text ? m_language.text(text->section, text->key, text->fallback) : std::string();
}

// --- session host -----------------------------------------------------------------------------------------

void LiveController::setConnectionState(link::ConnectionState state) {
    if (state == link::ConnectionState::KeyLock) {
        // Shown, not kept: the next repaint of the line shows the connection state again.
        m_keyLockNotice = KeyLockNotice::Pending;
    } else {
        m_state = state;
        m_keyLockNotice = KeyLockNotice::None;
        if (state == link::ConnectionState::Established) {
            syncSpeedControls();
            // Connected again by the playback window's reconnect after the view's disconnect ran: the
            // buttons show the connection there is.
            if (!m_connectChecked) {
                m_connectChecked = true;
                m_screen.buttonsChanged();
            }
        }
    }
    m_screen.repaint(area::kStatus);
    // The playback window shows the same connection status while it is open.
    if (m_playback != nullptr) {
        m_playback->connectionStateChanged(state);
    }
}

void LiveController::toggleActivity(link::ActivityTarget) {
    m_activityShown = !m_activityShown;
    m_wheelImage = m_activityShown ? 1 : 0;
    m_screen.buttonsChanged();
}

void LiveController::activityOff() {
    // The session is disconnected: nothing decoded for the connection that ended is drawn.
    forgetDecodes();
    m_activityShown = false;
    m_wheelImage = 3;
    m_screen.buttonsChanged();
}

void LiveController::runViewDisconnect(link::DisconnectReason) {
    // Every reason ends the same way: back to waiting, buffers cleared.
    // The session tells the playback window next (a reconnect started there learns that it failed).
    pressDisconnect();
}

void LiveController::rearmWatchdog() {
    // A timer that fired a little early (or late) is set for what remains until the session's next check,
    // so no watchdog period is skipped or stretched.
    const std::optional<link::TimePoint> wake = m_session->nextWakeUp();
    if (!wake) {
        return;
    }
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(*wake - m_clock.steadyNow()).count();
    m_timers.start(LiveTimer::Watchdog, int(std::clamp<int64_t>(remaining, 1, link::kWatchdogPeriodMs)));
}

void LiveController::setWatchdogRunning(bool running) {
    if (running) {
        m_timers.start(LiveTimer::Watchdog, link::kWatchdogPeriodMs);
    } else {
        m_timers.stop(LiveTimer::Watchdog);
    }
}

void LiveController::livePositions(uint32_t playMillionths, uint32_t recordMillionths) {
    const std::string recordLabel = m_language.text(kRecordPositionLabel.section, kRecordPositionLabel.key,
                                                    kRecordPositionLabel.fallback);
    const std::string playLabel =
        m_language.text(kPlayPositionLabel.section, kPlayPositionLabel.key, kPlayPositionLabel.fallback);
    std::string recordText = positionText(recordLabel, recordMillionths);
    std::string playText = positionText(playLabel, playMillionths);
    // Every live reply carries the positions; the texts are drawn again only when their words changed.
    if (recordText != m_recordText || playText != m_playText) {
        m_recordText = std::move(recordText);
        m_playText = std::move(playText);
        m_screen.repaint(area::kPositions);
    }
    if (m_session) {
        m_layout.setUnavailableMask(m_session->live().unavailableMask());
    }
    if (m_state == link::ConnectionState::Established) {
        syncSpeedControls();
    }
}

void LiveController::liveFormatChanged(uint32_t pictureFlags, uint32_t videoStandard) {
    if (!m_quality.update(pictureFlags, videoStandard)) {
        return;
    }
    m_qualityText = m_quality.text();
    m_screen.repaint(area::kQuality);
    // Pictures of the former format are not decoded again into the new layout.
    dropKept();
    m_layout.setPictureFormat(pictureFlags, frame::fieldHeight(videoStandard));
    m_layout.applyLayout(m_layout.splitCode());
    layoutChanged();
    m_screen.buttonsChanged();
}

void LiveController::livePicture(const frame::PictureRecord& record) {
    if (m_exiting || m_livePaused) {
        return;
    }
    if (m_worker != nullptr) {
        if (m_decodeOut) {
            // A picture nobody asked for: only the newest one waits for the worker.
            m_waiting.keep(record);
            return;
        }
        submitDecode(record);
        return;
    }
    frame::PictureRecord shownRecord = record;
    shownRecord.options.shown = m_layout.shownSize();
    keepAndShow(record, m_decoder.decode(shownRecord));
}

void LiveController::submitDecode(const frame::PictureRecord& record) {
    frame::PictureRecord shownRecord = record;
    shownRecord.options.shown = m_layout.shownSize();
    m_decodeOut = true;
    const uint64_t turn = m_decodeTurn;
    m_worker->submit(shownRecord, m_lifetime,
                     [this, turn](frame::WorkerDecode& decode) { liveDecoded(turn, decode); });
}

void LiveController::liveDecoded(uint64_t turn, frame::WorkerDecode& decode) {
    if (turn != m_decodeTurn || !m_decodeOut) {
        return;
    }
    m_decodeOut = false;
    const frame::DecodedFrame& result = decode.frame;
    const frame::DecodedPicture& picture = decode.picture;
    const frame::ShownSize shown = m_layout.shownSize();
    if (result.ok() && frame::decodedTooSmall(result.header.pictureFlags, picture, shown)) {
        // The layout grew while the picture was decoded: it is decoded again at the panes' new size, and
        // the live request waits for that.
        if (m_worker != nullptr) {
            submitDecode(decode.record);
            return;
        }
        frame::PictureRecord shownRecord = decode.record;
        shownRecord.options.shown = shown;
        keepAndShow(decode.record, m_decoder.decode(shownRecord));
    } else {
        keepAndShow(decode.record, result);
    }
    if (m_waiting.waiting()) {
        // The picture that came meanwhile is decoded next, and the live request waits for it too.
        submitDecode(m_waiting.record());
        m_waiting.clear();
        return;
    }
    releaseLiveRequest();
}

void LiveController::keepAndShow(const frame::PictureRecord& record, const frame::DecodedFrame& result) {
    if (!result.ok() || result.channel < 0 || result.channel >= kChannelCount) {
        return;
    }
    KeptRecord& kept = m_kept[size_t(result.channel)];
    kept.bytes.assign(record.bytes.begin(), record.bytes.end());
    kept.header = record.header;
    kept.options = record.options;
    kept.options.shown = {};
    kept.order = ++m_keptOrder;
    showLivePicture(result.channel, result.header, *result.picture);
}

void LiveController::forgetDecodes() {
    ++m_decodeTurn;
    m_decodeOut = false;
    m_waiting.clear();
}

void LiveController::releaseLiveRequest() {
    if (m_session && !m_decodeOut && !m_ptz->pausing()) {
        m_session->releaseLiveRequest();
    }
}

void LiveController::showLivePicture(int channel, const frame::FrameHeader& header,
                                     const frame::DecodedPicture& picture) {
    if (channel < 0 || channel >= kChannelCount || picture.empty() || m_exiting || m_livePaused) {
        return;
    }
    const int fullHeight = picture.reduction > 0 ? picture.fullHeight : picture.height;
    m_layout.setLayoutCode(header.layoutCode);
    m_layout.setPictureFormat(header.pictureFlags, fullHeight);
    m_layout.markBufferFilled(channel);
    const DrawPlan plan = m_layout.planDraw(channel, picture.reduction);

    // Panes still showing the buffer's old picture keep it before the new one is copied over it.
    uint32_t redrawn = 0;
    for (int i = 0; i < plan.count; ++i) {
        redrawn |= 1u << plan.draws[size_t(i)].paneChannel;
    }
    m_screen.bufferChanging(channel, redrawn);
    frame::DecodedPicture& buffer = m_buffers[size_t(channel)];
    const size_t bytes = std::min(picture.imageBytes(), buffer.pixels.size());
    std::memcpy(buffer.pixels.data(), picture.pixels.data(), bytes);
    buffer.width = picture.width;
    buffer.height = picture.height;
    buffer.bitmapInfo = picture.bitmapInfo;
    buffer.reduction = picture.reduction;
    buffer.fullWidth = picture.reduction > 0 ? picture.fullWidth : picture.width;
    buffer.fullHeight = fullHeight;
    for (int i = 0; i < plan.count; ++i) {
        const PaneDraw& draw = plan.draws[size_t(i)];
        m_screen.drawPane(draw, m_buffers[size_t(draw.bufferChannel)]);
    }
    if (plan.count > 0) {
        ++m_picturesShown;
    }
}

void LiveController::afterLivePicture() {
    if (!m_session) {
        return;
    }
    m_layout.setLayoutCode(m_session->live().layoutCode());
    m_session->live().setDisplayedChannelMask(m_layout.displayedMask());
    // A pending PTZ command goes out here, between a whole reply and the next live request; nothing
    // while the live loop is stopped (remote playback has the session).
    if (!m_exiting && !m_livePaused && !playbackActive()) {
        m_ptz->afterLivePicture();
    }
}

bool LiveController::holdLiveRequest() {
    return m_decodeOut || m_ptz->pausing();
}

void LiveController::showMessage(const link::MessageText& message) {
    m_screen.showMessage(m_language.text(message.section, message.key, message.defaultText),
                         std::string(message.caption));
}

std::string LiveController::eventFilePath() const {
    // Chosen once: which of the two folders is chosen depends on whether a file is there, and the
    // playback window reads the file the controller writes for the whole run.
    if (m_eventFile.empty()) {
        const skin::ProgramFiles files(m_options.programFolder, skin::ProgramFiles::defaultUserFolder(
                                                                    skin::ProgramFolder::kViewer.userName));
        m_eventFile = files.writePath(kEventFile);
    }
    return m_eventFile;
}

void LiveController::removeEventFile() const {
    std::error_code ignored;
    std::filesystem::remove(eventFilePath(), ignored);
}

// The reply is stored whole before the event list is told to reload it.
void LiveController::eventList(std::span<const uint8_t> records) {
    // The list is always replaced whole: a per-user file needs no copy of a program-folder one first
    // (one left there that this user cannot read would stop every list being stored).
    const std::string path = eventFilePath();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const bool stored =
        (folder.empty() || fs::makeFolders(folder, 0700).ok) && playback::writeEventFile(path, records);
    if (!stored) {
        // Not stored (a full disk, a folder that cannot be written): the list stored before is not the
        // recorder's current one, so it goes, and the event list shows none rather than an old one.
        removeEventFile();
    }
    if (m_playback != nullptr) {
        m_playback->eventFileStored();
    }
}

void LiveController::eventListDropped(uint32_t) {
    // Too large to keep: the list stored before is not the recorder's current one, and the event list
    // shows none rather than an old one.
    removeEventFile();
    if (m_playback != nullptr) {
        m_playback->eventFileStored();
    }
}

void LiveController::eventListAnnounced(uint32_t records) {
    // A list of no records brings no body: the stored list is emptied all the same, so an old list is
    // never shown as the recorder's current one.
    if (records == 0) {
        eventList({});
    }
}

}  // namespace dvr::live
