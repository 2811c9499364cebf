#include "player/view/PlayerViewModel.h"

#include <algorithm>
#include <bit>

#include "common/frame/FrameHeader.h"

namespace dvr::player {

namespace {

constexpr int kNavigationIds[] = {control::kEnd,   control::kFfPlay, control::kFPlay, control::kPause,
                                  control::kBPlay, control::kRwPlay, control::kStart};
constexpr int kLayoutIds[] = {control::kMode1, control::kMode4, control::kMode9, control::kMode16};
constexpr const char* kSpeedLabels[] = {"1/4x", "1/2x", " 1x ", " 2x ", " 4x", " 8x", "16x"};
constexpr const char* kDelayLabels[] = {"", "   1 ", "   2", "   4", "   8", "  16", "  32"};

constexpr int kMinSpeed = 0;
constexpr int kMaxSpeed = 6;
constexpr int kNormalSpeed = 2;
constexpr int kMinDelay = 1;
constexpr int kMaxDelay = 6;

}  // namespace

PlayerViewModel::PlayerViewModel() {
    m_enabled.fill(true);
    setNavigationEnabled(false);
    setEnabled(control::kBackup, false);
    setEnabled(control::kEdit, false);
    for (int id : control::kSoundChannelIds) {
        setEnabled(id, false);
    }
    setEnabled(control::kSkipList, false);
    applyLayout(4);
    updatePage();
}

// ---------------------------------------------------------------- picture area

void PlayerViewModel::setPictureOrigin(int x, int y) {
    m_originX = x;
    m_originY = y;
    layOut();
}

void PlayerViewModel::setPal(bool pal) {
    m_pal = pal;
    layOut();
}

// ---------------------------------------------------------------- file

void PlayerViewModel::beginOpen() {
    if (m_soundOn) {
        setSoundOn(false);
    }
    m_fileOpen = false;
    m_endTimeValid = true;
    m_presentMask = 0;
    m_lastPictureQuad = false;
    applyLayout(4);
    setEnabled(control::kEdit, false);
}

void PlayerViewModel::fileOpened(int channelCount, bool hasSound) {
    m_fileOpen = true;
    m_channelCount = channelCount == 4 || channelCount == 8 ? channelCount : 16;
    m_soundAvailable = hasSound;
    atStart();
    m_navState = NavigationState::Start;
    setEnabled(control::kBackup, !m_backupOpen);
    for (int id : kLayoutIds) {
        setEnabled(id, true);
    }
    for (int id = control::kChannel1; id <= control::kChannel16; ++id) {
        setEnabled(id, true);
    }
    m_presentMask = 0;
    m_pageResetPending = true;
    layoutButton(m_channelCount == 4 ? 2 : m_channelCount == 8 ? 3 : 4);

    m_soundOn = false;
    m_soundChannel = 0;
    m_soundFirstUse = true;
    setChecked(control::kSoundOn, false);
    for (int id : control::kSoundChannelIds) {
        setChecked(id, false);
        setEnabled(id, false);
    }
    setEnabled(control::kSkipList, false);
}

void PlayerViewModel::openFailed() {
    m_fileOpen = false;
    setNavigationEnabled(false);
    setEnabled(control::kBackup, false);
    setEnabled(control::kEdit, false);
}

bool PlayerViewModel::channelPresent(int channel) const {
    return channel >= 0 && channel < kMaxChannels && (m_presentMask >> channel) & 1U;
}

// ---------------------------------------------------------------- layouts and pages

void PlayerViewModel::layOut() {
    const int n = m_layout;
    const int width = kPictureWidth / n;
    const int height = pictureHeight() / n;
    m_panes.fill(PaneRect{});
    for (int i = 0; i < n * n; ++i) {
        const int column = i % n;
        const int row = i / n;
        m_panes[static_cast<size_t>(i)] = {m_originX + width * column, m_originY + height * row,
                                           m_originX + width * (column + 1), m_originY + height * (row + 1)};
    }
    if (n == 1 && (m_soundOn || m_lastPictureQuad)) {
        m_panes[0] = {m_originX + 180, m_originY + 120, m_originX + 180 + 360,
                      m_originY + 120 + pictureHeight() / 2};
    }
    const int perPage = n * n;
    for (int c = perPage; c < kMaxChannels; ++c) {
        m_panes[static_cast<size_t>(c)] = m_panes[static_cast<size_t>(c % perPage)];
    }
    if (n == 4) {
        setEnabled(control::kNextPage, false);
    }
}

void PlayerViewModel::applyLayout(int n) {
    m_layout = std::clamp(n, 1, 4);
    layOut();
}

void PlayerViewModel::layoutButton(int n) {
    applyLayout(n);
    m_buttonLayout = m_layout;
    if (m_pageResetPending) {
        m_firstChannel = 0;
        m_pageResetPending = false;
    }
    updateEdit();
    if (m_layout == 1 && !channelPresent(m_firstChannel) && m_presentMask != 0) {
        m_firstChannel = std::countr_zero(m_presentMask);
    }
    updatePage();
}

int PlayerViewModel::lastPage() const {
    return (m_channelCount - 1) / panesPerPage();
}

void PlayerViewModel::updatePage() {
    const int perPage = panesPerPage();
    if (m_layout > 1) {
        m_firstChannel -= m_firstChannel % perPage;
    }
    m_page = m_firstChannel / perPage;
    if (m_soundOn) {
        return;
    }
    setEnabled(control::kPrevPage, m_page > 0);
    const int pages = m_channelCount / perPage;
    const bool next = kMaxChannels % perPage == 0 ? m_page < pages - 1 : m_page < pages;
    setEnabled(control::kNextPage, next && m_layout != 4);
}

void PlayerViewModel::updatePageButtons() {
    if (m_soundOn) {
        return;
    }
    setEnabled(control::kPrevPage, m_page > 0);
    setEnabled(control::kNextPage, m_layout != 4 && m_page < lastPage());
}

bool PlayerViewModel::pageHasPresentChannel(int page) const {
    const int perPage = panesPerPage();
    for (int c = page * perPage; c < std::min((page + 1) * perPage, kMaxChannels); ++c) {
        if (channelPresent(c)) {
            return true;
        }
    }
    return false;
}

void PlayerViewModel::previousPage() {
    for (int p = m_page - 1; p >= 0; --p) {
        if (pageHasPresentChannel(p)) {
            m_page = p;
            break;
        }
    }
    m_firstChannel = m_page * panesPerPage();
    updatePageButtons();
}

void PlayerViewModel::nextPage() {
    for (int p = m_page + 1; p <= lastPage(); ++p) {
        if (pageHasPresentChannel(p)) {
            m_page = p;
            break;
        }
    }
    m_firstChannel = m_page * panesPerPage();
    updatePageButtons();
}

bool PlayerViewModel::channelButton(int channel) {
    if (!channelPresent(channel)) {
        return false;
    }
    showChannel(channel);
    return true;
}

void PlayerViewModel::showChannel(int channel) {
    if (channel < 0 || channel >= kMaxChannels) {
        return;
    }
    applyLayout(1);
    m_firstChannel = channel;
    m_page = channel;
    if (!m_soundOn) {
        setEnabled(control::kPrevPage, channel > 0);
        setEnabled(control::kNextPage, channel < m_channelCount - 1);
    }
    updateEdit();
}

std::string PlayerViewModel::pageText() const {
    return std::to_string(m_page + 1);
}

PaneRect PlayerViewModel::channelPane(int channel) const {
    if (channel < 0 || channel >= kMaxChannels) {
        return {};
    }
    return m_panes[static_cast<size_t>(channel)];
}

int PlayerViewModel::pageChannelCount() const {
    return std::clamp(std::min(panesPerPage(), m_channelCount - m_firstChannel), 0, panesPerPage());
}

int PlayerViewModel::pageChannel(int paneIndex) const {
    return m_firstChannel + paneIndex;
}

bool recordVisibleIn(int layout, int firstChannel, int channel, uint32_t pictureFlags) {
    const frame::PictureKind kind = frame::pictureKind(pictureFlags);
    int base = firstChannel;
    if (kind == frame::PictureKind::Pair) {
        base = firstChannel / 2 * 2;
    } else if (kind == frame::PictureKind::Quad) {
        base = firstChannel / 4 * 4;
    }
    switch (layout) {
        case 1:
            return kind == frame::PictureKind::Quad ? channel >= base && channel <= base + 3
                                                    : channel == base;
        case 2:
            return channel >= base && channel < base + 4;
        case 3:
            return channel >= base && channel < base + 9;
        default:
            return true;
    }
}

bool PlayerViewModel::recordVisible(int channel, uint32_t pictureFlags) const {
    return recordVisibleIn(m_layout, m_firstChannel, channel, pictureFlags);
}

bool PlayerViewModel::setLastPictureQuad(bool quad) {
    if (quad == m_lastPictureQuad) {
        return false;
    }
    m_lastPictureQuad = quad;
    if (m_layout != 1 || m_soundOn) {
        return false;
    }
    layOut();
    return true;
}

// ---------------------------------------------------------------- mouse

CommandEffects PlayerViewModel::onCommand(int id) {
    using Window = CommandEffects::Window;
    CommandEffects effects;
    if (id >= control::kEnd && id <= control::kStart) {
        effects.mode = navigationButton(id);
        effects.refresh = true;
    } else if (id >= control::kMode1 && id <= control::kMode16) {
        layoutButton(id - control::kMode1 + 1);
        effects.newPage = effects.refresh = true;
    } else if (id >= control::kChannel1 && id <= control::kChannel16) {
        effects.newPage = effects.refresh = channelButton(id - control::kChannel1);
    } else {
        switch (id) {
            case control::kPrevPage:
                previousPage();
                break;
            case control::kNextPage:
                nextPage();
                break;
            case control::kSpeedUp:
                speedUp();
                break;
            case control::kSpeedDown:
                speedDown();
                break;
            case control::kDelayUp:
                delayUp();
                break;
            case control::kDelayDown:
                delayDown();
                break;
            case control::kOpen:
                effects.window = Window::OpenFile;
                return effects;
            case control::kExit:
                effects.window = Window::Exit;
                return effects;
            case control::kSoundOn:
                effects.window = Window::ToggleSound;
                return effects;
            case control::kBackup:
                effects.window = Window::BackupWindow;
                return effects;
            case control::kEdit:
                effects.window = Window::EditWindow;
                return effects;
            default:
                return effects;
        }
        effects.refresh = true;
    }
    return effects;
}

PlayerViewModel::DoubleClick PlayerViewModel::doubleClick(int x, int y, bool hitLogo) {
    if (m_soundOn) {
        return DoubleClick::Ignored;
    }
    if (hitLogo) {
        return DoubleClick::About;
    }
    if (!m_fileOpen) {
        return DoubleClick::Ignored;
    }
    if (m_layout == 1) {
        if (!m_panes[0].contains(x, y) || !enabled(control::kMode1 + m_buttonLayout - 1)) {
            return DoubleClick::Ignored;
        }
        layoutButton(m_buttonLayout);
        return DoubleClick::Changed;
    }
    for (int i = 0; i < panesPerPage(); ++i) {
        if (m_panes[static_cast<size_t>(i)].contains(x, y)) {
            const int channel = pageChannel(i);
            if (channel >= m_channelCount || !enabled(control::kChannel1 + channel)) {
                return DoubleClick::Ignored;
            }
            return channelButton(channel) ? DoubleClick::Changed : DoubleClick::Ignored;
        }
    }
    return DoubleClick::Ignored;
}

// ---------------------------------------------------------------- navigation

std::optional<ModeRequest> PlayerViewModel::navigationButton(int id) {
    if (!m_fileOpen) {
        return std::nullopt;
    }
    setNavigationEnabled(true);
    ModeRequest request;
    const auto lockForSound = [this] {
        if (m_soundOn) {
            setEnabled(control::kFfPlay, false);
            setEnabled(control::kRwPlay, false);
            setEnabled(control::kBPlay, false);
        }
    };
    switch (id) {
        case control::kPause:
            request.mode = media::PlayMode::Pause;
            setEnabled(control::kSoundOn, !m_backupOpen);
            setEnabled(control::kPause, false);
            lockForSound();
            m_navState = NavigationState::Pause;
            break;
        case control::kFPlay:
            request.mode = media::PlayMode::Forward;
            setEnabled(control::kSoundOn, true);
            setEnabled(control::kFPlay, false);
            lockForSound();
            m_navState = NavigationState::Forward;
            break;
        case control::kFfPlay:
            request.mode = media::PlayMode::FastForward;
            setEnabled(control::kSoundOn, false);
            setEnabled(control::kFfPlay, false);
            m_navState = NavigationState::FastForward;
            break;
        case control::kBPlay:
            request.mode = media::PlayMode::Backward;
            setEnabled(control::kSoundOn, false);
            setEnabled(control::kBPlay, false);
            m_navState = NavigationState::Backward;
            break;
        case control::kRwPlay:
            request.mode = media::PlayMode::FastBackward;
            setEnabled(control::kSoundOn, false);
            setEnabled(control::kRwPlay, false);
            m_navState = NavigationState::FastBackward;
            break;
        case control::kStart:
            request.mode = media::PlayMode::GoToStart;
            atStart();
            m_navState = NavigationState::Start;
            break;
        case control::kEnd:
            request.mode = media::PlayMode::GoToEnd;
            atEnd();
            m_navState = NavigationState::End;
            break;
        default:
            return std::nullopt;
    }
    return request;
}

bool PlayerViewModel::playbackNews(uint32_t presentMask, bool lastPictureQuad) {
    const bool quadChanged = setLastPictureQuad(lastPictureQuad);
    const bool newChannels = (m_presentMask | presentMask) != m_presentMask;
    addPresentChannels(presentMask);
    return quadChanged || newChannels;
}

std::vector<PaneRect> PlayerViewModel::pagePanes(uint32_t channels) const {
    std::vector<PaneRect> panes;
    for (int i = 0; i < pageChannelCount(); ++i) {
        const int channel = pageChannel(i);
        if (channel >= 0 && channel < kMaxChannels && ((channels >> channel) & 1u)) {
            panes.push_back(channelPane(channel));
        }
    }
    return panes;
}

std::optional<NavigationState> PlayerViewModel::shownNavigationState(bool paused, bool delayWaiting) const {
    if (!m_fileOpen) {
        return std::nullopt;
    }
    return paused || delayWaiting ? NavigationState::Pause : m_navState;
}

std::optional<ModeRequest> PlayerViewModel::spaceKey(media::PlayMode playMode) {
    if (!m_fileOpen) {
        return std::nullopt;
    }
    switch (playMode) {
        case media::PlayMode::Pause: {
            int button = m_rememberedPlayButton ? m_rememberedPlayButton : control::kFPlay;
            if (m_soundOn) {
                button = control::kFPlay;  // sound plays forward only
            }
            return navigationButton(button);
        }
        case media::PlayMode::Backward:
        case media::PlayMode::FastBackward:
            m_rememberedPlayButton = control::kBPlay;
            return navigationButton(control::kPause);
        case media::PlayMode::Forward:
        case media::PlayMode::FastForward:
            m_rememberedPlayButton = control::kFPlay;
            return navigationButton(control::kPause);
        default:
            return std::nullopt;
    }
}

std::optional<ModeRequest> PlayerViewModel::arrowKey(bool right) {
    if (!m_fileOpen) {
        return std::nullopt;
    }
    // A step ends paused, also during play: the play buttons are pressed from there.
    enablePausedControls();
    return ModeRequest{right ? media::PlayMode::StepForward : media::PlayMode::StepBackward, false};
}

std::optional<ModeRequest> PlayerViewModel::sliderReleased(bool quadPictures) {
    if (!m_fileOpen) {
        return std::nullopt;
    }
    enablePausedControls();
    setEnabled(control::kSoundOn, !quadPictures);
    return ModeRequest{media::PlayMode::Seek, true};
}

void PlayerViewModel::enablePausedControls() {
    setNavigationEnabled(true);
    setEnabled(control::kPause, false);
    if (m_soundOn) {
        setEnabled(control::kFfPlay, false);
        setEnabled(control::kRwPlay, false);
        setEnabled(control::kBPlay, false);
    }
}

void PlayerViewModel::atStart() {
    setEnabled(control::kStart, false);
    setEnabled(control::kRwPlay, false);
    setEnabled(control::kBPlay, false);
    setEnabled(control::kPause, false);
    setEnabled(control::kFPlay, true);
    setEnabled(control::kFfPlay, !m_soundOn);
    setEnabled(control::kEnd, true);
    setEnabled(control::kSoundOn, true);
    setEnabled(control::kSlider, true);
}

bool PlayerViewModel::atEnd() {
    const bool switchedOff = m_soundOn;
    if (m_soundOn) {
        setSoundOn(false);
    }
    setEnabled(control::kStart, true);
    setEnabled(control::kRwPlay, true);
    setEnabled(control::kBPlay, true);
    setEnabled(control::kPause, false);
    setEnabled(control::kFPlay, false);
    setEnabled(control::kFfPlay, false);
    setEnabled(control::kEnd, false);
    return switchedOff;
}

// ---------------------------------------------------------------- speed and delay

void PlayerViewModel::speedUp() {
    m_speedIndex = std::min(m_speedIndex + 1, kMaxSpeed);
}
void PlayerViewModel::speedDown() {
    m_speedIndex = std::max(m_speedIndex - 1, kMinSpeed);
}
void PlayerViewModel::delayUp() {
    m_delayIndex = std::min(m_delayIndex + 1, kMaxDelay);
}
void PlayerViewModel::delayDown() {
    m_delayIndex = std::max(m_delayIndex - 1, kMinDelay);
}

const char* PlayerViewModel::speedLabel(int index) {
    return kSpeedLabels[std::clamp(index, kMinSpeed, kMaxSpeed)];
}

const char* PlayerViewModel::delayLabel(int index) {
    return kDelayLabels[std::clamp(index, kMinDelay, kMaxDelay)];
}

// ---------------------------------------------------------------- sound

void PlayerViewModel::enableSoundLockedControls(bool on) {
    setEnabled(control::kBackup, on && m_fileOpen);
    for (int id = control::kChannel1; id <= control::kChannel16; ++id) {
        setEnabled(id, on);
    }
    for (int id : kLayoutIds) {
        setEnabled(id, on);
    }
    for (int id : {control::kSpeedUp, control::kSpeedDown, control::kDelayUp, control::kDelayDown,
                   control::kFfPlay, control::kRwPlay, control::kBPlay}) {
        setEnabled(id, on);
    }
    for (int id : control::kSoundChannelIds) {
        setEnabled(id, !on);
    }
    setEnabled(control::kSkipList, !on);
}

bool PlayerViewModel::setSoundOn(bool on) {
    setChecked(control::kSoundOn, on);
    if (on) {
        m_soundOn = true;
        bool firstUse = false;
        if (m_soundFirstUse) {
            m_soundFirstUse = false;
            selectSoundChannel(1);
            firstUse = true;
        }
        applyLayout(1);
        // One pane shows the first channel of the page, or the first one present when that one is
        // not; the page follows it, so that PREV and NEXT step on from it once sound is off.
        if (!channelPresent(m_firstChannel) && m_presentMask != 0) {
            m_firstChannel = std::countr_zero(m_presentMask);
        }
        updatePage();
        m_speedIndex = kNormalSpeed;
        m_delayIndex = kMinDelay;
        enableSoundLockedControls(false);
        setEnabled(control::kEdit, false);
        setEnabled(control::kPrevPage, false);
        setEnabled(control::kNextPage, false);
        return firstUse;
    }
    m_soundOn = false;
    enableSoundLockedControls(true);
    updatePageButtons();
    updateEdit();
    layOut();
    return false;
}

void PlayerViewModel::selectSoundChannel(int channel) {
    m_soundChannel = std::clamp(channel, 0, 4);
    for (int k = 0; k < 4; ++k) {
        setChecked(control::kSoundChannelIds[k], k + 1 == m_soundChannel);
    }
}

void PlayerViewModel::setBackupWindowOpen(bool open) {
    m_backupOpen = open;
    // The file cannot change under the backup window.
    setEnabled(control::kOpen, !open);
    if (!open) {
        m_exporting = false;
    }
    updateEdit();
}

void PlayerViewModel::setExporting(bool on) {
    m_exporting = on;
}

// ---------------------------------------------------------------- controls

bool PlayerViewModel::lockedWhileExporting(int id) {
    return (id >= control::kMode1 && id <= control::kMode16) ||
           (id >= control::kChannel1 && id <= control::kChannel16) || id == control::kPrevPage ||
           id == control::kNextPage || id == control::kSpeedUp || id == control::kSpeedDown ||
           id == control::kDelayUp || id == control::kDelayDown;
}

void PlayerViewModel::updateEdit() {
    setEnabled(control::kEdit, m_fileOpen && m_layout == 1 && !m_backupOpen && !m_soundOn);
}

void PlayerViewModel::setNavigationEnabled(bool on) {
    for (int id : kNavigationIds) {
        setEnabled(id, on);
    }
    setEnabled(control::kSlider, on);
}

bool PlayerViewModel::enabled(int id) const {
    if (id < control::kFirstId || id > control::kLastId) {
        return true;
    }
    if (id == control::kEnd && !m_endTimeValid) {
        return false;
    }
    if (m_exporting && lockedWhileExporting(id)) {
        return false;
    }
    return m_enabled[static_cast<size_t>(id - control::kFirstId)];
}

bool PlayerViewModel::checked(int id) const {
    if (id < control::kFirstId || id > control::kLastId) {
        return false;
    }
    return m_checked[static_cast<size_t>(id - control::kFirstId)];
}

void PlayerViewModel::setEnabled(int id, bool on) {
    if (id >= control::kFirstId && id <= control::kLastId) {
        m_enabled[static_cast<size_t>(id - control::kFirstId)] = on;
    }
}

void PlayerViewModel::setChecked(int id, bool on) {
    if (id >= control::kFirstId && id <= control::kLastId) {
        m_checked[static_cast<size_t>(id - control::kFirstId)] = on;
    }
}

std::optional<std::string> PlayerViewModel::handOffRefusal(bool editWindowOpen) const {
    if (m_backupOpen) {
        return std::string("The backup window is open. Close it to open another file.");
    }
    if (editWindowOpen) {
        return std::string("The image edit window is open. Close it to open another file.");
    }
    return std::nullopt;
}

}  // namespace dvr::player
