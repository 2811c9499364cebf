#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/frame/DecodeSize.h"
#include "common/frame/Rect.h"
#include "common/frame/SourceRect.h"

namespace dvr::live {

// A pane rectangle in window coordinates. An all-zero rectangle means "no pane".
using PaneRect = dvr::Rect;

// Split codes: high byte the pane count, low byte the index of the mode button that selects it.
inline constexpr uint16_t kSplitOne = 0x0100;
inline constexpr uint16_t kSplitFour = 0x0401;
inline constexpr uint16_t kSplitSeven = 0x0702;
inline constexpr uint16_t kSplitNine = 0x0903;
inline constexpr uint16_t kSplitTen = 0x0A04;
inline constexpr uint16_t kSplitThirteen = 0x0D05;
inline constexpr uint16_t kSplitSixteen = 0x1006;

inline constexpr int kChannelCount = 16;
inline constexpr int kModeButtonCount = 7;
inline constexpr uint16_t kNoSingleChannel = 0x100;
inline constexpr uint32_t kInitialUnavailableMask = 0xFFFF0000;
inline constexpr int kInitialPictureHeight = 240;
inline constexpr int kFullPictureWidth = 720;
inline constexpr int kHalfPictureWidth = 360;

// The hidden area of the view whose double-click opens the About dialog.
inline constexpr PaneRect kAboutArea{0, 564, 144, 600};

// Split code selected by mode button `index` (0..6: 1, 4, 7, 9, 10, 13, 16 panes).
uint16_t splitForModeIndex(int index);

// Mode button index (0..6) that returns to a split code after a zoom; 16 panes for anything unknown.
int modeIndexForSplit(uint16_t split);

// What a handler asks the window to do besides updating buttons and panes from the layout state.
struct LayoutResult {
    bool beep = false;           // sound the default beep
    bool openAbout = false;      // open the About dialog
    bool layoutApplied = false;  // panes changed: repaint the picture area
};

// One stretch of a picture buffer into a pane: `source` is already cropped for the layout code;
// `hasSource` is false for an unknown layout code (the pane is filled with a blank surface).
struct PaneDraw {
    int paneChannel = 0;
    int bufferChannel = 0;
    PaneRect pane;
    frame::PixelRect source;
    bool hasSource = false;
};

// The stretches one live picture causes, at most four (a quad picture in a multi-pane layout).
struct DrawPlan {
    std::array<PaneDraw, 4> draws{};
    int count = 0;
};

// Trims the recorder's picture border from `source` by layout code; false (nothing to stretch) for an
// unknown code.
bool cropForLayoutCode(uint32_t layoutCode, frame::PixelRect& source);

// The layout state of the live view: pane count and channels, channel masks, pane rectangles, the
// derived checked states of the mode, channel and rotate buttons, channel rotation, the filled state of
// the sixteen picture buffers and which buffer and part of it a live picture is drawn from.
class LiveLayout {
public:
    LiveLayout();

    // The picture area; panes are recomputed by the next applyLayout.
    void setOverlay(PaneRect overlay) { m_overlay = overlay; }
    PaneRect overlay() const { return m_overlay; }

    uint16_t splitCode() const { return m_split; }
    uint16_t previousSplitCode() const { return m_previousSplit; }
    int paneCount() const { return m_split >> 8; }
    int firstChannel() const { return m_firstChannel; }
    uint16_t singleChannel() const { return m_singleChannel; }
    uint32_t displayedMask() const { return m_displayedMask; }
    uint32_t unavailableMask() const { return m_unavailableMask; }
    uint32_t layoutCode() const { return m_layoutCode; }
    uint32_t pictureFlags() const { return m_pictureFlags; }
    int pictureHeight() const { return m_pictureHeight; }
    const PaneRect& paneRect(int channel) const { return m_panes[size_t(channel)]; }
    bool isUnavailable(int channel) const;

    bool rotating() const { return m_rotating; }
    int rotationInterval() const { return m_rotationInterval; }
    int rotationCounter() const { return m_rotationCounter; }

    // Checked and enabled states the window's buttons show; they follow the layout state.
    bool channelButtonChecked(int channel) const;
    bool modeButtonChecked(int index) const { return index == (m_split & 0xFF); }
    bool rotateButtonEnabled() const { return m_split == kSplitOne; }
    bool rotateButtonChecked() const { return m_rotating; }

    // Makes `split` current and recomputes the panes; a multi-pane code stops rotation.
    void applyLayout(uint16_t split);

    // Mode buttons 0..6. Modes 7, 10 and 13 are not available and only beep.
    LayoutResult onModeButton(int index);

    // Channel buttons 0..15, after the toggle has flipped itself; a click that cannot be honoured leaves the
    // layout unchanged (the button returns to its layout state).
    LayoutResult onChannelButton(int channel);

    // Left double-click at a client point.
    LayoutResult onDoubleClick(int x, int y, bool connected);

    // Rotate button; `rotateIntervalSetting` is the stored rotation interval index.
    LayoutResult onRotateButton(bool connected, int rotateIntervalSetting);

    // One tick of the one-second view timer; true when a rotation step was taken.
    bool onRotationTick();

    // Whether a picture of the channel is drawn now.
    bool isVisible(int channel) const;

    // Live picture input: the layout code (limits the displayed mask to the recorder's capacity), the
    // reply's channel word p5 (bit 16 + i set: channel i exists), and the picture's flags and height in rows.
    void setLayoutCode(uint32_t layoutCode);
    void setChannelWord(uint32_t channelWord);
    void setUnavailableMask(uint32_t mask) { m_unavailableMask = mask; }
    void setPictureFormat(uint32_t pictureFlags, int pictureHeight);

    // Back to the start-up layout (16 panes from channel 0, all channels wanted, no picture format yet,
    // rotation off); the unavailable mask keeps its value. Applies the layout.
    void resetForConnection();

    // Picture buffers: a buffer counts as filled from a decoded picture until it is cleared.
    void markBufferFilled(int channel);
    void clearBuffer(int channel);
    void clearBuffers();
    bool bufferFilled(int channel) const { return m_filled[size_t(channel)]; }

    // The size a picture is drawn at in the current panes: full size for one pane, else the largest pane.
    frame::ShownSize shownSize() const;

    // Whether the buffer of `channel` is drawn into a visible pane by the current layout and picture
    // format, and drawn at once when it next arrives (the single-pane layout's first full picture after a
    // switch is not).
    bool bufferDrawn(int channel) const;

    // The stretches that show the picture just decoded into the buffer of `channel`, `reduction` halvings
    // below full size: the sources (the recorder's border trimmed) lie in that smaller picture. Only panes
    // whose channel is visible and buffers that are filled are listed. The single-pane layout clears the
    // shown channel's buffer when it switches from another layout or channel, so no stale picture appears.
    DrawPlan planDraw(int channel, int reduction = 0);

private:
    void addDraw(DrawPlan& plan, int paneChannel, int bufferChannel, frame::PixelRect source,
                 int reduction) const;
    void selectSingle(int channel);
    void stopRotation();
    LayoutResult rotationStep();

    PaneRect m_overlay;
    uint16_t m_split = kSplitSixteen;
    uint16_t m_previousSplit = kSplitSixteen;
    int m_firstChannel = 0;
    uint16_t m_singleChannel = kNoSingleChannel;
    uint32_t m_displayedMask = 0xFFFF;
    uint32_t m_unavailableMask = kInitialUnavailableMask;
    uint32_t m_layoutCode = 0;
    uint32_t m_pictureFlags = 0;
    int m_pictureHeight = kInitialPictureHeight;
    std::array<PaneRect, kChannelCount> m_panes{};
    std::array<bool, kChannelCount> m_filled{};

    bool m_rotating = false;
    int m_rotationInterval = 0;
    int m_rotationCounter = 0;
    int m_rotationCandidate = 0;

    bool m_multiPaneDrawn = false;
    int m_lastSingleDraw = -1;
};

}  // namespace dvr::live
