#include "viewer/live/LiveLayout.h"

#include <algorithm>

#include "common/frame/FrameHeader.h"

namespace dvr::live {

namespace {

constexpr std::array<uint16_t, kModeButtonCount> kModeSplits{
    kSplitOne, kSplitFour, kSplitSeven, kSplitNine, kSplitTen, kSplitThirteen, kSplitSixteen};

constexpr uint32_t kPairBit = 1u << 0;
constexpr uint32_t kQuadBit = 1u << 1;

// Integer part of the square root for the pane counts in use.
int gridSide(int paneCount) {
    int n = 0;
    while ((n + 1) * (n + 1) <= paneCount) {
        ++n;
    }
    return n;
}

uint32_t channelRangeMask(int first, int count) {
    uint32_t mask = 0;
    for (int i = first; i < first + count && i < 32; ++i) {
        mask |= 1u << i;
    }
    return mask;
}

bool inRange(int channel) {
    return channel >= 0 && channel < kChannelCount;
}

}  // namespace

uint16_t splitForModeIndex(int index) {
    if (index < 0 || index >= kModeButtonCount) {
        return kSplitSixteen;
    }
    return kModeSplits[size_t(index)];
}

int modeIndexForSplit(uint16_t split) {
    switch (split) {
        case kSplitFour:
            return 1;
        case kSplitSeven:
            return 2;
        case kSplitNine:
            return 3;
        case kSplitTen:
            return 4;
        case kSplitThirteen:
            return 5;
        default:
            return 6;  // 16 panes, also the way back from the one-pane mode button
    }
}

bool cropForLayoutCode(uint32_t layoutCode, frame::PixelRect& source) {
    const uint32_t capacityDigits = layoutCode & 0xFFFF;
    if (capacityDigits != 0x4 && capacityDigits != 0x8 && capacityDigits != 0x16) {
        return false;
    }
    switch (frame::layoutFamily(layoutCode)) {
        case 1:
        case 3:
            source = {source.x + 4, source.y + 3, source.width - 20, source.height - 6};
            return true;
        case 2:
            source = {source.x + 5, source.y + 3, source.width - 30, source.height - 10};
            return true;
        default:
            return false;
    }
}

LiveLayout::LiveLayout() = default;

bool LiveLayout::isUnavailable(int channel) const {
    return !inRange(channel) || (m_unavailableMask >> channel) & 1u;
}

bool LiveLayout::channelButtonChecked(int channel) const {
    if (m_split == kSplitOne) {
        return channel == m_firstChannel;
    }
    return channel >= m_firstChannel && channel < m_firstChannel + paneCount();
}

void LiveLayout::applyLayout(uint16_t split) {
    m_split = split;
    if (split != kSplitOne) {
        stopRotation();
    }

    m_panes.fill(PaneRect{});
    const int n = gridSide(paneCount());
    if (n < 1 || n > 4) {
        return;
    }
    const int cellWidth = m_overlay.width() / n;
    const int cellHeight = m_overlay.height() / n;
    for (int i = 0; i < n * n; ++i) {
        const int channel = (m_firstChannel + i) % kChannelCount;
        const int column = i % n;
        const int row = i / n;
        PaneRect& pane = m_panes[size_t(channel)];
        pane.left = m_overlay.left + column * cellWidth + 1;
        pane.top = m_overlay.top + row * cellHeight + 1;
        pane.right = m_overlay.left + (column + 1) * cellWidth - 1;
        pane.bottom = m_overlay.top + (row + 1) * cellHeight - 1;
        if (n == 1 && (m_pictureFlags & kQuadBit)) {
            // A quarter of a quad picture, centred at half size.
            const int halfWidth = m_overlay.width() / 2;
            const int halfHeight = m_overlay.height() / 2;
            pane.left = m_overlay.left + 181;
            pane.right = m_overlay.left + halfWidth + 179;
            pane.top = m_overlay.top + 121;
            pane.bottom = m_overlay.top + halfHeight + 119;
        }
    }
}

void LiveLayout::stopRotation() {
    m_rotating = false;
    m_rotationInterval = 0;
    m_rotationCounter = 0;
}

void LiveLayout::selectSingle(int channel) {
    m_firstChannel = channel;
    m_singleChannel = uint16_t(channel);
    m_displayedMask = 1u << channel;
    applyLayout(kSplitOne);
}

LayoutResult LiveLayout::onModeButton(int index) {
    LayoutResult result;
    const uint16_t split = splitForModeIndex(index);
    if (split == kSplitSeven || split == kSplitTen || split == kSplitThirteen) {
        result.beep = true;
        return result;
    }
    m_displayedMask = 0;
    m_firstChannel = 0;
    if (split == kSplitOne) {
        int channel = -1;
        for (int c = 0; c < kChannelCount && channel < 0; ++c) {
            if (!isUnavailable(c)) {
                channel = c;
            }
        }
        if (channel >= 0) {
            m_previousSplit = kSplitOne;
        }
        selectSingle(channel < 0 ? 0 : channel);
    } else {
        m_displayedMask = channelRangeMask(0, split >> 8);
        m_singleChannel = kNoSingleChannel;
        applyLayout(split);
    }
    result.layoutApplied = true;
    return result;
}

LayoutResult LiveLayout::onChannelButton(int channel) {
    LayoutResult result;
    if (!inRange(channel) || uint32_t(channel) >= (m_layoutCode & 0xFF)) {
        return result;
    }
    const uint32_t capacityDigits = m_layoutCode & 0xFFFF;
    switch (m_split) {
        case kSplitOne:
            if (isUnavailable(channel) || channel == m_firstChannel) {
                return result;
            }
            m_previousSplit = kSplitOne;
            selectSingle(channel);
            break;
        case kSplitFour:
        case kSplitNine: {
            const int count = paneCount();
            if ((m_split == kSplitFour && capacityDigits == 0x4) ||
                (m_split == kSplitNine && capacityDigits == 0x8)) {
                return result;
            }
            // The page starts at the clicked channel, pulled back so that it ends at channel 15.
            const int first = channel > kChannelCount - count ? kChannelCount - count : channel;
            bool anyAvailable = false;
            for (int c = first; c < first + count; ++c) {
                anyAvailable = anyAvailable || !isUnavailable(c);
            }
            if (!anyAvailable) {
                return result;
            }
            m_displayedMask = channelRangeMask(first, count);
            m_firstChannel = first;
            m_previousSplit = m_split;
            applyLayout(m_split);
            break;
        }
        default:
            return result;
    }
    result.layoutApplied = true;
    return result;
}

LayoutResult LiveLayout::onDoubleClick(int x, int y, bool connected) {
    LayoutResult result;
    if (m_rotating) {
        return result;
    }
    if (kAboutArea.contains(x, y)) {
        result.openAbout = true;
        return result;
    }
    if (!connected) {
        return result;
    }
    if (m_split == kSplitOne) {
        if (inRange(m_firstChannel) && m_panes[size_t(m_firstChannel)].contains(x, y)) {
            return onModeButton(modeIndexForSplit(m_previousSplit));
        }
        return result;
    }
    const int count = paneCount();
    for (int i = 0; i < count && i < kChannelCount; ++i) {
        const int channel = (m_firstChannel + i) % kChannelCount;
        if (!m_panes[size_t(channel)].contains(x, y)) {
            continue;
        }
        if (isUnavailable(channel)) {
            return result;
        }
        m_previousSplit = m_split;
        selectSingle(channel);
        result.layoutApplied = true;
        return result;
    }
    return result;
}

LayoutResult LiveLayout::onRotateButton(bool connected, int rotateIntervalSetting) {
    LayoutResult result;
    if (m_rotating) {
        stopRotation();
        return result;
    }
    if (!connected || m_split != kSplitOne) {
        result.beep = true;
        return result;
    }
    m_rotationInterval = (rotateIntervalSetting + 1) & 0xFF;
    m_rotationCounter = 0;
    m_rotating = true;
    return rotationStep();
}

bool LiveLayout::onRotationTick() {
    if (!m_rotating) {
        return false;
    }
    if (m_rotationCounter == m_rotationInterval) {
        m_rotationCounter = 0;
        rotationStep();
        return true;
    }
    ++m_rotationCounter;
    return false;
}

LayoutResult LiveLayout::rotationStep() {
    if (m_split != kSplitOne) {
        return {};
    }
    const int capacity = frame::channelCapacity(m_layoutCode);
    const int start = m_singleChannel + 1;
    for (int i = 0; i < kChannelCount; ++i) {
        if (capacity > 0) {
            m_rotationCandidate = (start + i) % capacity;
        }
        if (!isUnavailable(m_rotationCandidate)) {
            return onChannelButton(m_rotationCandidate);
        }
    }
    return {};
}

bool LiveLayout::isVisible(int channel) const {
    if (isUnavailable(channel)) {
        return false;
    }
    return channel >= m_firstChannel && channel < m_firstChannel + paneCount();
}

void LiveLayout::setLayoutCode(uint32_t layoutCode) {
    m_layoutCode = layoutCode;
    const int capacity = frame::channelCapacity(layoutCode);
    if (capacity == 4 && m_displayedMask > 0xF) {
        m_displayedMask = 0xF;
    } else if (capacity == 8 && m_displayedMask > 0xFF) {
        m_displayedMask = 0xFF;
    }
}

void LiveLayout::setChannelWord(uint32_t channelWord) {
    m_unavailableMask = ~channelWord >> 16;
}

void LiveLayout::setPictureFormat(uint32_t pictureFlags, int pictureHeight) {
    m_pictureFlags = pictureFlags;
    m_pictureHeight = pictureHeight;
}

void LiveLayout::resetForConnection() {
    m_split = kSplitSixteen;
    m_previousSplit = kSplitSixteen;
    m_firstChannel = 0;
    m_singleChannel = kNoSingleChannel;
    m_displayedMask = 0xFFFF;
    m_layoutCode = 0;
    m_pictureFlags = 0;
    m_pictureHeight = kInitialPictureHeight;
    m_multiPaneDrawn = false;
    m_lastSingleDraw = -1;
    applyLayout(kSplitSixteen);
}

void LiveLayout::markBufferFilled(int channel) {
    if (inRange(channel)) {
        m_filled[size_t(channel)] = true;
    }
}

void LiveLayout::clearBuffer(int channel) {
    if (inRange(channel)) {
        m_filled[size_t(channel)] = false;
    }
}

void LiveLayout::clearBuffers() {
    m_filled.fill(false);
}

void LiveLayout::addDraw(DrawPlan& plan, int paneChannel, int bufferChannel, frame::PixelRect source,
                         int reduction) const {
    if (!inRange(paneChannel) || !inRange(bufferChannel) || !isVisible(paneChannel) ||
        !m_filled[size_t(bufferChannel)] || m_panes[size_t(paneChannel)].isEmpty()) {
        return;
    }
    PaneDraw& draw = plan.draws[size_t(plan.count++)];
    draw.paneChannel = paneChannel;
    draw.bufferChannel = bufferChannel;
    draw.pane = m_panes[size_t(paneChannel)];
    draw.hasSource = cropForLayoutCode(m_layoutCode, source);
    draw.source = frame::reducedRect(source, reduction);
}

frame::ShownSize LiveLayout::shownSize() const {
    frame::ShownSize shown;
    if (m_split == kSplitOne) {
        return shown;
    }
    for (const PaneRect& pane : m_panes) {
        shown.width = std::max(shown.width, pane.width());
        shown.height = std::max(shown.height, pane.height());
    }
    return shown;
}

bool LiveLayout::bufferDrawn(int channel) const {
    if (!inRange(channel)) {
        return false;
    }
    if (m_pictureFlags & kPairBit) {
        return channel % 2 == 0 && (isVisible(channel) || isVisible(channel + 1));
    }
    if (m_pictureFlags & kQuadBit) {
        const int base = channel & ~3;
        if (m_split == kSplitOne) {
            return isVisible(m_firstChannel) && m_firstChannel / 4 == base / 4;
        }
        return isVisible(base) || isVisible(base + 1) || isVisible(base + 2) || isVisible(base + 3);
    }
    return m_split != kSplitOne && isVisible(channel);
}

DrawPlan LiveLayout::planDraw(int channel, int reduction) {
    DrawPlan plan;
    if (!inRange(channel)) {
        return plan;
    }
    const int h = m_pictureHeight;
    const auto quadrant = [h](int q) {
        return frame::PixelRect{(q & 1) * kHalfPictureWidth, (q >> 1) * (h / 2), kHalfPictureWidth, h / 2};
    };
    const frame::PixelRect whole{0, 0, kFullPictureWidth, h};

    if (m_split == kSplitOne) {
        const int shown = m_firstChannel;
        if (m_pictureFlags & kPairBit) {
            const bool odd = shown & 1;
            addDraw(plan, shown, odd ? shown - 1 : shown,
                    {odd ? kHalfPictureWidth : 0, 0, kHalfPictureWidth, h}, reduction);
        } else if (m_pictureFlags & kQuadBit) {
            if (shown / 4 == channel / 4) {
                addDraw(plan, shown, channel, quadrant(shown % 4), reduction);
            }
        } else {
            if (m_multiPaneDrawn || shown != m_lastSingleDraw) {
                clearBuffer(shown);
            }
            addDraw(plan, shown, shown, whole, reduction);
            m_lastSingleDraw = shown;
            m_multiPaneDrawn = false;
        }
        return plan;
    }
    if (m_split != kSplitFour && m_split != kSplitNine && m_split != kSplitSixteen) {
        return plan;
    }
    if (m_pictureFlags & kPairBit) {
        if (channel % 2 == 0) {
            addDraw(plan, channel, channel, {0, 0, kHalfPictureWidth, h}, reduction);
            addDraw(plan, channel + 1, channel, {kHalfPictureWidth, 0, kHalfPictureWidth, h}, reduction);
        }
    } else if (m_pictureFlags & kQuadBit) {
        const int base = channel & ~3;
        for (int q = 0; q < 4; ++q) {
            addDraw(plan, base + q, channel, quadrant(q), reduction);
        }
        m_multiPaneDrawn = true;
    } else {
        addDraw(plan, channel, channel, whole, reduction);
        m_multiPaneDrawn = true;
    }
    return plan;
}

}  // namespace dvr::live
