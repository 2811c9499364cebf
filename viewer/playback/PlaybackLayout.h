// The pane layout of the playback window: split codes, the mode and channel
// buttons, the double-click zoom, the check of arriving pictures (the format
// must settle), which pane shows which part of which picture buffer, and the
// picture-format text.
#pragma once

#include "common/frame/DecodeSize.h"
#include "common/frame/FormatText.h"
#include "common/frame/FrameHeader.h"
#include "common/frame/Rect.h"
#include "common/frame/SourceRect.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace dvr::playback {

// Split codes: high byte the number of panes.
inline constexpr uint16_t kSplitOne = 256;
inline constexpr uint16_t kSplitFour = 1025;
inline constexpr uint16_t kSplitNine = 2307;
inline constexpr uint16_t kSplitSixteen = 4102;
inline constexpr int kPaneCount = 16;
// The selected channel while several panes show.
inline constexpr int kNoSelectedChannel = 255;
// Pictures dropped after the picture flags change before one is drawn again.
inline constexpr int kSettlePictures = 3;

// The split code the window opens with for the layout code of the last live
// picture: 1025 for capacity 4, 2307 for 8, 4102 for 16 (1025 otherwise).
uint16_t openingSplitCode(uint32_t layoutCode);

// A rectangle in window coordinates; right and bottom exclusive. Empty hides a pane.
using Rect = dvr::Rect;

// Which picture a pane shows: the buffer (a base channel) and the kind and
// field height of the picture that was stored there for this pane.
struct PaneSource {
    int buffer = -1;  // -1: nothing to show
    uint32_t pictureFlags = 0;
    int fieldHeight = 240;
    int reduction = 0;  // halvings below full size the buffer's picture was decoded at
};

// One stretch of a buffer into a pane. `source` is already cropped;
// `hasSource` is false for a layout code whose pictures are not stretched.
struct PaneDraw {
    int channel = 0;  // the pane's channel
    int buffer = 0;   // the picture buffer (base channel)
    Rect pane;
    frame::PixelRect source;
    bool hasSource = false;
};

// The stretches of one picture or of a whole repaint.
struct PaneDrawList {
    std::array<PaneDraw, kPaneCount> draws{};
    int count = 0;
};

class PlaybackLayout {
public:
    PlaybackLayout();

    void setArea(Rect area) { m_area = area; }
    Rect area() const { return m_area; }

    // Back to the opening state with this split code: first channel 0,
    // selected channel 0, previous split code 1025, no remembered picture
    // format, every pane empty. Recomputes the panes.
    void open(uint16_t splitCode, uint32_t layoutCode);

    uint16_t splitCode() const { return m_split; }
    uint16_t previousSplitCode() const { return m_previousSplit; }
    int columns() const { return m_columns; }
    int firstChannel() const { return m_first; }
    int selectedChannel() const { return m_selected; }
    const Rect& paneRect(int channel) const { return m_panes[size_t(channel)]; }
    bool isVisible(int channel) const { return !m_panes[size_t(channel)].isEmpty(); }
    bool channelButtonChecked(int channel) const { return isVisible(channel); }
    bool modeOneChecked() const { return m_modeOneChecked; }
    bool modeFourChecked() const { return m_modeFourChecked; }
    // The layout code of the pictures (capacity and family).
    uint32_t layoutCode() const { return m_layoutCode; }
    void setLayoutCode(uint32_t layoutCode) { m_layoutCode = layoutCode; }
    // The protocol level decides which channel mask of the picture applies.
    void setProtocolLevel(int level) { m_protocolLevel = level; }

    // Recomputes the pane rectangles and the button states for a split code.
    void applyLayout(uint16_t splitCode);

    // Buttons; each returns true when the layout changed. `busy` makes them do
    // nothing. A channel button that returns false has its click undone (its
    // checked state follows channelButtonChecked()).
    bool onModeOne(bool busy);
    bool onModeFour(bool busy);
    bool onModePlus(bool busy);
    bool onModeMinus(bool busy);
    bool onChannelButton(int channel, bool busy);
    // Left double-click at a window point; only while playing.
    bool onDoubleClick(int x, int y, bool playing);

    // Whether a picture with this header is drawn: keeps its flags, standard
    // and masks, rebuilds the format text when they changed, and drops
    // pictures until the format settled (the fifth picture after a change of
    // flags is the first drawn). Quad pictures are drawn only for layout
    // family 2 or with the quad signal word. A picture's layout code
    // replaces the window's (which came from the last live picture, if any).
    bool acceptPicture(const frame::FrameHeader& header);
    // Whether a change of picture format recomputed the panes since the last
    // call (the picture area is then repainted whole); clears the mark.
    bool takeFormatRelayout() { return std::exchange(m_formatRelayout, false); }

    // The decoded picture of `channel` was stored in its base channel's buffer:
    // records which panes it feeds and returns the stretches that show it.
    // `reduction`: the halvings below full size it was decoded at (the sources lie in that smaller
    // picture).
    PaneDrawList pictureStored(int channel, uint32_t pictureFlags, int reduction = 0);
    // The buffer `buffer` was decoded again at `reduction` from the same record: the stretches of the
    // panes it feeds.
    PaneDrawList bufferRedecoded(int buffer, int reduction);
    // Whether a visible pane shows buffer `buffer`.
    bool bufferShown(int buffer) const;
    // The size a picture is drawn at in the current panes: full size for one pane, else the largest pane.
    frame::ShownSize shownSize() const;
    // The stretches that repaint every pane from the buffers.
    PaneDrawList repaintAll() const;

    // Every pane empty (the buffers count as cleared).
    void clearPanes();
    bool anyPaneFilled() const;
    const PaneSource& paneSource(int channel) const { return m_sources[size_t(channel)]; }

    uint32_t pictureFlags() const { return m_flags; }
    uint32_t channelMaskA() const { return m_maskA; }
    uint32_t channelMaskB() const { return m_maskB; }
    int fieldHeight() const { return m_fieldHeight; }
    uint32_t videoStandard() const { return m_standard; }
    // Quality and size, e.g. "FINE@720*240            \n".
    const std::string& formatText() const { return m_formatText.text(); }
    // Whether the channel may be shown and zoomed (bit 16 + channel of the
    // mask that applies).
    bool channelAllowed(int channel) const;
    // Flips with every picture drawn.
    bool wheelUp() const { return m_wheel; }

private:
    void addDraw(PaneDrawList& list, int channel) const;
    int channelCountLimit() const;

    Rect m_area{0, 0, 720, 480};
    uint16_t m_split = kSplitFour;
    uint16_t m_previousSplit = kSplitFour;
    int m_columns = 2;
    int m_first = 0;
    int m_selected = 0;
    bool m_modeOneChecked = false;
    bool m_modeFourChecked = true;
    std::array<Rect, kPaneCount> m_panes{};
    std::array<PaneSource, kPaneCount> m_sources{};
    uint32_t m_layoutCode = 0;
    int m_protocolLevel = 0;

    uint32_t m_flags = 0;
    uint32_t m_previousFlags = 0;
    int m_settle = 0;
    uint32_t m_standard = 0;
    uint32_t m_maskA = 0xFFFF0000;
    uint32_t m_maskB = 0xFFFF0000;
    int m_fieldHeight = 240;
    frame::FormatText m_formatText{frame::FormatTextStyle::Playback};
    bool m_wheel = false;
    bool m_formatRelayout = false;
};

}  // namespace dvr::playback
