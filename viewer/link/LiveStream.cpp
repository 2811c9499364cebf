#include "viewer/link/LiveStream.h"

#include <algorithm>

namespace dvr::link {

int defaultRequestSpeed(int paneCount) {
    switch (paneCount) {
        case 1:
            return 2;
        case 4:
            return 4;
        case 9:
            return 6;
        default:
            return 8;
    }
}

uint32_t displayedMaskFor(int paneCount, int firstChannel) {
    uint32_t mask = 0;
    for (int i = 0; i < paneCount; ++i) {
        const int channel = firstChannel + i;
        if (channel >= 0 && channel < 32)
            mask |= 1u << channel;
    }
    return mask;
}

uint32_t clampDisplayedMask(uint32_t layoutCode, uint32_t mask) {
    switch (layoutCode) {
        case 0x10004:
        case 0x20004:
        case 0x30004:
            return mask > 0xF ? 0xF : mask;
        case 0x10008:
        case 0x20008:
        case 0x30008:
            return mask > 0xFF ? 0xFF : mask;
        default:
            return mask;
    }
}

void LiveStream::setRequestSpeed(int speed) {
    m_requestSpeed = std::clamp(speed, kMinRequestSpeed, kMaxRequestSpeed);
}

void LiveStream::takeReply(uint32_t playPosition, uint32_t recordPosition, uint32_t visibilityWord) {
    m_playPosition = playPosition;
    m_recordPosition = recordPosition;
    m_unavailableMask = unavailableFromVisibility(visibilityWord);
}

bool LiveStream::settle(const frame::FrameHeader& header) {
    m_layoutCode = header.layoutCode;
    m_displayedMask = clampDisplayedMask(m_layoutCode, m_displayedMask);
    m_previousStandard = m_standard;
    m_standard = header.videoStandard;
    m_linesPerField = frame::fieldHeight(m_standard);
    m_formatChanged = header.pictureFlags != m_flags || m_standard != m_previousStandard;

    if (header.pictureFlags != m_flags) {
        m_flags = header.pictureFlags;
        m_settleCounter = 0;
        return false;
    }
    if (m_settleCounter < kSettlePictures) {
        ++m_settleCounter;
        return false;
    }
    if (m_flags & 0x2)  // quad picture
        return frame::layoutFamily(m_layoutCode) == 2 || header.signalWord == frame::kQuadSignalWord;
    return true;
}

uint8_t LiveStream::takeFrameCount() {
    const uint8_t n = m_frameCounter;
    m_frameCounter = 0;
    return n;
}

void LiveStream::resetPictureState() {
    m_layoutCode = 0;
    m_flags = 0;
    m_settleCounter = 0;
    m_frameCounter = 0;
    m_formatChanged = false;
}

}  // namespace dvr::link
