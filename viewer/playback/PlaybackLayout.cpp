#include "viewer/playback/PlaybackLayout.h"

#include <algorithm>

namespace dvr::playback {

namespace {

constexpr uint32_t kPairBit = 0x1;
constexpr uint32_t kQuadBit = 0x2;

int columnsOf(uint16_t split) {
    switch (split >> 8) {
        case 1:
            return 1;
        case 4:
            return 2;
        case 9:
            return 3;
        case 16:
            return 4;
        default:
            return 0;
    }
}

// The part of a decoded picture (720 wide, field height F) that shows `channel`.
frame::PixelRect sourceFor(uint32_t flags, int channel, int fieldHeight) {
    if (flags & kPairBit)
        return {(channel & 1) * 360, 0, 360, fieldHeight};
    if (flags & kQuadBit) {
        const int q = channel & 3;
        return {(q & 1) * 360, (q >> 1) * (fieldHeight / 2), 360, fieldHeight / 2};
    }
    return {0, 0, 720, fieldHeight};
}

// Trims the recorder's border: origin moved by (4, 3), 20 pixels narrower and
// 6 lower (10 for family 2). False for the layout codes that are not stretched.
bool crop(uint32_t layoutCode, frame::PixelRect& r) {
    const int family = frame::layoutFamily(layoutCode);
    const uint32_t capacity = layoutCode & 0xFFFF;
    if (family < 1 || family > 3 || (capacity != 0x4 && capacity != 0x8 && capacity != 0x16))
        return false;
    r.x += 4;
    r.y += 3;
    r.width -= 20;
    r.height -= family == 2 ? 10 : 6;
    return true;
}

}  // namespace

uint16_t openingSplitCode(uint32_t layoutCode) {
    switch (layoutCode & 0xFFFF) {
        case 0x8:
            return kSplitNine;
        case 0x16:
            return kSplitSixteen;
        default:
            return kSplitFour;
    }
}

PlaybackLayout::PlaybackLayout() {
    applyLayout(kSplitFour);
}

void PlaybackLayout::open(uint16_t splitCode, uint32_t layoutCode) {
    m_layoutCode = layoutCode;
    m_previousFlags = 0;
    m_flags = 0;
    m_settle = 0;
    m_formatText.clear();
    m_first = 0;
    m_selected = 0;
    m_previousSplit = kSplitFour;
    clearPanes();
    applyLayout(splitCode);
}

void PlaybackLayout::applyLayout(uint16_t splitCode) {
    const int c = columnsOf(splitCode);
    if (c == 0)
        return;
    m_split = splitCode;
    m_columns = c;
    int offsetX = 0;
    int offsetY = 0;
    int paneW = m_area.width() / c;
    int paneH = m_area.height() / c;
    if (splitCode == kSplitOne) {
        if (m_flags & kQuadBit) {
            paneW = m_area.width() / 2;
            paneH = m_area.height() / 2;
            offsetX = 180;
            offsetY = 120;
        }
        m_modeOneChecked = true;
        m_modeFourChecked = false;
    } else if (splitCode == kSplitFour) {
        m_modeOneChecked = false;
        m_modeFourChecked = true;
        m_selected = kNoSelectedChannel;
    }
    const int n = c * c + m_first;
    int k = 0;
    for (int i = 0; i < kPaneCount; ++i) {
        const bool visible = (n > kPaneCount && i < n - kPaneCount) || (m_first <= i && i < n);
        if (!visible) {
            m_panes[size_t(i)] = {};
            continue;
        }
        const int left = m_area.left + offsetX;
        const int top = m_area.top + offsetY;
        m_panes[size_t(i)] = Rect{left + paneW * (k % c) + 1, top + paneH * (k / c) + 1,
                                  left + paneW * (k % c + 1) - 1, top + paneH * (k / c + 1) - 1};
        ++k;
    }
}

bool PlaybackLayout::onModeOne(bool busy) {
    if (busy)
        return false;
    m_first = 0;
    m_selected = 0;
    applyLayout(kSplitOne);
    return true;
}

bool PlaybackLayout::onModeFour(bool busy) {
    if (busy || m_selected == kNoSelectedChannel)
        return false;
    m_first = 0;
    m_selected = 0;
    applyLayout(kSplitFour);
    return true;
}

bool PlaybackLayout::onModePlus(bool busy) {
    if (busy)
        return false;
    const uint16_t next = m_split == kSplitOne    ? kSplitFour
                          : m_split == kSplitFour ? kSplitNine
                                                  : kSplitSixteen;
    if (columnsOf(next) == m_columns)
        return false;
    m_first = 0;
    m_selected = 0;
    applyLayout(next);
    return true;
}

bool PlaybackLayout::onModeMinus(bool busy) {
    if (busy)
        return false;
    const uint16_t next = m_split == kSplitSixteen ? kSplitNine
                          : m_split == kSplitNine  ? kSplitFour
                                                   : kSplitOne;
    if (columnsOf(next) == m_columns)
        return false;
    m_first = 0;
    m_selected = 0;
    applyLayout(next);
    return true;
}

int PlaybackLayout::channelCountLimit() const {
    // The capacity's byte as written (0x16 for sixteen channels counts as more than 16).
    return int(m_layoutCode & 0xFF);
}

bool PlaybackLayout::onChannelButton(int channel, bool busy) {
    if (busy || channel < 0 || channel >= kPaneCount || channel >= channelCountLimit())
        return false;
    const uint32_t code = m_layoutCode;
    switch (m_split) {
        case kSplitOne:
            if (channel == m_selected)
                return false;
            m_first = m_selected = channel;
            break;
        case kSplitFour:
            if (code == 0x10004 || code == 0x30004)
                return false;
            m_first = m_selected = std::min(channel, 12);
            break;
        case kSplitNine:
            if (code == 0x10008 || code == 0x30008)
                return false;
            m_first = m_selected = std::min(channel, 7);
            break;
        default:
            if (m_columns == 4)
                return false;
            m_first = m_selected = 0;
            break;
    }
    applyLayout(m_split);
    return true;
}

bool PlaybackLayout::channelAllowed(int channel) const {
    const uint32_t mask = m_protocolLevel >= 2 ? m_maskB : m_maskA;
    return channel >= 0 && channel < kPaneCount && ((mask >> (16 + channel)) & 1u) != 0;
}

bool PlaybackLayout::onDoubleClick(int x, int y, bool playing) {
    if (!playing || !m_area.contains(x, y))
        return false;
    if (m_split == kSplitOne) {
        if (!m_panes[size_t(m_first)].contains(x, y))
            return false;
        m_first = 0;
        m_selected = 0;
        applyLayout(m_previousSplit);
        return true;
    }
    const int count = m_columns * m_columns;
    for (int i = 0; i < count; ++i) {
        const int channel = (m_first + i) % kPaneCount;
        if (!m_panes[size_t(channel)].contains(x, y))
            continue;
        if (!channelAllowed(channel))
            return false;
        m_previousSplit = m_split;
        m_first = m_selected = channel;
        applyLayout(kSplitOne);
        return true;
    }
    return false;
}

bool PlaybackLayout::acceptPicture(const frame::FrameHeader& header) {
    m_flags = header.pictureFlags;
    m_standard = header.videoStandard;
    m_maskA = header.channelMaskA;
    m_maskB = header.channelMaskB;
    m_fieldHeight = frame::fieldHeight(header.videoStandard);
    if (header.layoutCode != 0)
        m_layoutCode = header.layoutCode;
    if (m_formatText.update(m_flags, m_standard)) {
        applyLayout(m_split);
        m_formatRelayout = true;
    }
    if (m_flags != m_previousFlags) {
        m_previousFlags = m_flags;
        m_settle = 0;
        return false;
    }
    if (m_settle < kSettlePictures) {
        ++m_settle;
        return false;
    }
    if (m_flags & kQuadBit)
        return frame::layoutFamily(header.layoutCode) == 2 || header.signalWord == frame::kQuadSignalWord;
    return true;
}

PaneDrawList PlaybackLayout::pictureStored(int channel, uint32_t pictureFlags, int reduction) {
    PaneDrawList list;
    if (channel < 0 || channel >= kPaneCount)
        return list;
    const int base = frame::baseChannel(channel, pictureFlags);
    const int carried = frame::channelsPerPicture(pictureFlags);
    // Panes that showed an earlier picture of this buffer which the new
    // picture does not carry lose it: the buffer now holds something else.
    for (int c = 0; c < kPaneCount; ++c) {
        PaneSource& s = m_sources[size_t(c)];
        if (s.buffer == base && (c < base || c >= base + carried))
            s = {};
    }
    for (int c = base; c < base + carried && c < kPaneCount; ++c)
        m_sources[size_t(c)] = PaneSource{base, pictureFlags, m_fieldHeight, reduction};
    m_wheel = !m_wheel;

    if (m_split == kSplitOne) {
        if (m_selected >= base && m_selected < base + carried)
            addDraw(list, m_selected);
        return list;
    }
    if (carried == 1 && m_split == kSplitNine) {
        addDraw(list, 1);
        addDraw(list, 2);
    }
    for (int c = base; c < base + carried && c < kPaneCount; ++c)
        addDraw(list, c);
    return list;
}

PaneDrawList PlaybackLayout::bufferRedecoded(int buffer, int reduction) {
    PaneDrawList list;
    for (int c = 0; c < kPaneCount; ++c) {
        if (m_sources[size_t(c)].buffer == buffer) {
            m_sources[size_t(c)].reduction = reduction;
            addDraw(list, c);
        }
    }
    return list;
}

bool PlaybackLayout::bufferShown(int buffer) const {
    for (int c = 0; c < kPaneCount; ++c) {
        if (m_sources[size_t(c)].buffer == buffer && isVisible(c) &&
            (m_split != kSplitOne || c == m_selected))
            return true;
    }
    return false;
}

frame::ShownSize PlaybackLayout::shownSize() const {
    frame::ShownSize shown;
    if (m_split == kSplitOne)
        return shown;
    for (const Rect& pane : m_panes) {
        shown.width = std::max(shown.width, pane.width());
        shown.height = std::max(shown.height, pane.height());
    }
    return shown;
}

PaneDrawList PlaybackLayout::repaintAll() const {
    PaneDrawList list;
    for (int c = 0; c < kPaneCount; ++c)
        addDraw(list, c);
    return list;
}

void PlaybackLayout::addDraw(PaneDrawList& list, int channel) const {
    if (list.count >= int(list.draws.size()))
        return;
    const PaneSource& s = m_sources[size_t(channel)];
    if (s.buffer < 0 || !isVisible(channel) || !channelAllowed(channel))
        return;
    if (m_split == kSplitOne && channel != m_selected)
        return;
    PaneDraw d;
    d.channel = channel;
    d.buffer = s.buffer;
    d.pane = m_panes[size_t(channel)];
    d.source = sourceFor(s.pictureFlags, channel, s.fieldHeight);
    d.hasSource = crop(m_layoutCode, d.source);
    d.source = frame::reducedRect(d.source, s.reduction);
    list.draws[size_t(list.count++)] = d;
}

void PlaybackLayout::clearPanes() {
    m_sources.fill(PaneSource{});
}

bool PlaybackLayout::anyPaneFilled() const {
    return std::any_of(m_sources.begin(), m_sources.end(), [](const PaneSource& s) { return s.buffer >= 0; });
}

}  // namespace dvr::playback
