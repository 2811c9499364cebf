#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/frame/Rect.h"
#include "player/media/PlayMode.h"
#include "player/view/PlayerControlIds.h"

namespace dvr::player {

// Whether a record of channel a with these picture flags is drawn in a page of the given
// layout (1 to 4) that starts at firstChannel.
bool recordVisibleIn(int layout, int firstChannel, int channel, uint32_t pictureFlags);

// A pane rectangle in window pixels (right and bottom exclusive).
using PaneRect = dvr::Rect;

// The navigation state indicators, in the order of their controls (kStateStart + state).
enum class NavigationState { Start, FastBackward, Backward, Pause, Forward, FastForward, End };

// What a key press or button asks of the playback thread.
struct ModeRequest {
    media::PlayMode mode = media::PlayMode::Pause;
    bool setRequestFlag = true;
};

// What a control's command asks beyond the model's own change.
struct CommandEffects {
    // A play mode for the playback thread.
    std::optional<ModeRequest> mode;
    // The panes changed: the playback thread draws the new page at once.
    bool newPage = false;
    // The controls and the picture area show the model again.
    bool refresh = false;
    // A window the command opens, closes or asks the user through.
    enum class Window { None, OpenFile, Exit, ToggleSound, BackupWindow, EditWindow };
    Window window = Window::None;
};

// The player window's state apart from pixels: the open file's channels, the pane layout
// and channel pages, the speed and delay indices, the sound switch, and which controls
// are enabled. Runs on the window thread only; the window turns clicks into calls here
// and shows what it says.
class PlayerViewModel {
public:
    static constexpr int kMaxChannels = 16;
    static constexpr int kPictureWidth = 720;

    PlayerViewModel();

    // --- picture area and skin
    // Picture area origin (from the skin) and the skin's standard: PAL 720 x 576, NTSC 720 x 480.
    void setPictureOrigin(int x, int y);
    void setPal(bool pal);
    bool pal() const { return m_pal; }
    int pictureHeight() const { return m_pal ? 576 : 480; }
    int pictureOriginX() const { return m_originX; }
    int pictureOriginY() const { return m_originY; }

    // --- file
    // Before a file is opened: no file, 16-pane layout, EDIT disabled.
    void beginOpen();
    // The file opened and scanned: channelCount 4, 8 or 16; hasSound when its recorder
    // records sound. Applies the default layout of the channel count.
    void fileOpened(int channelCount, bool hasSound);
    // The end scan met a header without a valid date: the END button stays disabled for this file.
    void setEndTimeValid(bool valid) { m_endTimeValid = valid; }
    // The scan failed: no file, navigation disabled.
    void openFailed();
    bool fileOpen() const { return m_fileOpen; }
    int channelCount() const { return m_channelCount; }
    bool soundAvailable() const { return m_soundAvailable; }
    // Channels that occur in the file (union of the record masks seen so far).
    void addPresentChannels(uint32_t mask) { m_presentMask |= mask; }
    uint32_t presentMask() const { return m_presentMask; }
    bool channelPresent(int channel) const;

    // --- layouts and pages
    // Applies layout n (1 to 4: 1, 4, 9 or 16 panes) as a layout button does.
    void layoutButton(int n);
    // Lays the panes of the current layout out again (after sound off, a skin switch or a
    // change of the last picture's kind).
    void applyLayout(int n);
    int layout() const { return m_layout; }
    int panesPerPage() const { return m_layout * m_layout; }
    void previousPage();
    void nextPage();
    // A channel button (channel 0 to 15); false when ignored (channel not present).
    bool channelButton(int channel);
    // The channel's single pane, whether or not a picture of it has been seen (an export shows the
    // channel it exports, so that its records are decoded).
    void showChannel(int channel);
    int firstChannel() const { return m_firstChannel; }
    int page() const { return m_page; }
    // The page value text: the 1-based page.
    std::string pageText() const;
    // The rectangle of channel c's pane in the current layout (empty when not shown).
    PaneRect channelPane(int channel) const;
    // Channels of the current page in pane order.
    int pageChannelCount() const;
    int pageChannel(int paneIndex) const;
    // Whether a record of channel a with these picture flags is drawn in the current page.
    bool recordVisible(int channel, uint32_t pictureFlags) const;
    // The last picture drawn was a quad picture: the single pane then shrinks to the centred
    // half-size rectangle. Returns true when the pane rectangles changed.
    bool setLastPictureQuad(bool quad);

    // --- news from the playback thread
    // The channels seen in the file so far and the kind of the last picture. True when the channel
    // buttons or the pane rectangles changed (the controls and the picture area want repainting).
    bool playbackNews(uint32_t presentMask, bool lastPictureQuad);
    // The panes of the current page whose channel is in channels (bit c = channel c).
    std::vector<PaneRect> pagePanes(uint32_t channels) const;

    // --- commands
    // A control's command (ids of PlayerControlIds.h): navigation, layout, page, channel, speed and
    // delay buttons change the model here; the sound switch, OPEN, EXIT, BACKUP and EDIT are left to the
    // window. Unknown ids and the setting button do nothing.
    CommandEffects onCommand(int id);

    // --- mouse
    // Double-click at a window point; returns true when it changed the layout or page.
    // hitLogo: the point lies on the logo (the window shows the About box then).
    enum class DoubleClick { Ignored, About, Changed };
    DoubleClick doubleClick(int x, int y, bool hitLogo);

    // --- navigation
    // A navigation button (END ... START): the mode to set, or nothing with no file open.
    std::optional<ModeRequest> navigationButton(int id);
    // Space, Left and Right while a file is open; playMode is the current mode.
    std::optional<ModeRequest> spaceKey(media::PlayMode playMode);
    std::optional<ModeRequest> arrowKey(bool right);
    // The position slider was released.
    std::optional<ModeRequest> sliderReleased(bool quadPictures);
    void atStart();
    // Returns true when reaching the end switched sound off.
    bool atEnd();
    // The state of the last navigation button.
    NavigationState navigationState() const { return m_navState; }
    // The indicator to light: none without a file; PAUSE while playback is paused or waits out
    // the delay between two groups; else the state of the last navigation button.
    std::optional<NavigationState> shownNavigationState(bool paused, bool delayWaiting) const;

    // --- speed and delay
    void speedUp();
    void speedDown();
    void delayUp();
    void delayDown();
    int speedIndex() const { return m_speedIndex; }
    int delayIndex() const { return m_delayIndex; }
    static const char* speedLabel(int index);
    static const char* delayLabel(int index);

    // --- sound
    // Sound check button. Switching on selects channel 1 on first use (returned true).
    bool setSoundOn(bool on);
    bool soundOn() const { return m_soundOn; }
    // Sound channel check buttons: 1 to 4 checks one and unchecks the others.
    void selectSoundChannel(int channel);
    int soundChannel() const { return m_soundChannel; }

    // --- backup window
    // While the backup window is open OPEN is disabled; closing it ends any export.
    void setBackupWindowOpen(bool open);
    bool backupWindowOpen() const { return m_backupOpen; }
    // Why a file handed over by a second start is not opened now (the backup or image edit window
    // is open and works on the current file); nothing when it may be opened.
    std::optional<std::string> handOffRefusal(bool editWindowOpen) const;
    // While a channel is exported its pane stays: the layout, channel, page, speed and delay controls
    // are disabled.
    void setExporting(bool on);
    bool exporting() const { return m_exporting; }

    // --- controls
    bool enabled(int id) const;
    bool checked(int id) const;
    // Sound controls are shown only for files whose recorder records sound.
    bool soundControlsVisible() const { return m_fileOpen && m_soundAvailable; }
    // The sound switch can be pressed: shown, enabled, and, to switch sound on, a sound device is
    // ready (without one nothing would hold reading back to the sound's pace and the file would
    // race through at full speed) and the backup window is closed (with sound on, playing shows only
    // the pictures that carry sound, and an export would lose the others).
    bool soundSwitchUsable(bool deviceReady) const {
        return soundControlsVisible() && enabled(control::kSoundOn) &&
               (m_soundOn || (deviceReady && !m_backupOpen));
    }

private:
    void setEnabled(int id, bool on);
    // Playing ends paused (a step, a seek): the play buttons are usable, PAUSE is not, and sound keeps
    // the fast and backward ones locked.
    void enablePausedControls();
    void setChecked(int id, bool on);
    void setNavigationEnabled(bool on);
    void updatePage();
    void updatePageButtons();
    void updateEdit();
    static bool lockedWhileExporting(int id);
    void enableSoundLockedControls(bool on);
    int lastPage() const;
    bool pageHasPresentChannel(int page) const;
    void layOut();

    int m_originX = 0;
    int m_originY = 0;
    bool m_pal = false;

    bool m_fileOpen = false;
    int m_channelCount = 16;
    bool m_soundAvailable = false;
    bool m_endTimeValid = true;
    uint32_t m_presentMask = 0;

    int m_layout = 4;
    int m_buttonLayout = 4;
    bool m_pageResetPending = false;
    int m_firstChannel = 0;
    int m_page = 0;
    bool m_lastPictureQuad = false;
    std::array<PaneRect, kMaxChannels> m_panes{};

    NavigationState m_navState = NavigationState::Start;
    int m_rememberedPlayButton = 0;
    int m_speedIndex = 2;
    int m_delayIndex = 1;

    bool m_soundOn = false;
    int m_soundChannel = 0;
    bool m_soundFirstUse = true;
    bool m_backupOpen = false;
    bool m_exporting = false;

    std::array<bool, control::kLastId - control::kFirstId + 1> m_enabled{};
    std::array<bool, control::kLastId - control::kFirstId + 1> m_checked{};
};

}  // namespace dvr::player
