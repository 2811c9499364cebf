#include "common/skin/SliderLogic.h"

#include <algorithm>
#include <cstdint>

namespace dvr::skin {

void ViewerSliderLogic::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

bool ViewerSliderLogic::dragTo(int pointerXPx) {
    if (!m_dragging)
        return false;
    m_thumbXPx = std::clamp(pointerXPx - kGrabOffsetPx, 0, kTravelPx);
    // The position is the span times the travel fraction; the range minimum is
    // not added (the playback slider's range starts at 0).
    const std::int64_t span = static_cast<std::int64_t>(m_maximum) - m_minimum;
    m_position = static_cast<int>(span * m_thumbXPx / kTravelPx);
    return true;
}

bool ViewerSliderLogic::release(int pointerXPx) {
    if (!dragTo(pointerXPx))
        return false;
    m_dragging = false;
    return true;
}

void ViewerSliderLogic::setPosition(int position) {
    m_position = position;
    // The last second of the day would place the thumb one pixel past the
    // travel; keep it on the track.
    m_thumbXPx = std::clamp(position / kPositionPerPx, 0, kTravelPx);
}

int PlayerSliderLogic::paintThumbXPx() const {
    return std::clamp(m_thumbXPx, 0, std::max(0, m_widthPx - kThumbWidthPx));
}

bool PlayerSliderLogic::press(int pointerXPx) {
    const int left = paintThumbXPx();
    if (pointerXPx >= left && pointerXPx < left + kThumbWidthPx) {
        m_dragging = true;
        return true;
    }
    m_thumbXPx = pointerXPx - kHalfThumbPx;
    m_lastXPx = pointerXPx;
    return false;
}

bool PlayerSliderLogic::dragTo(int pointerXPx) {
    if (!m_dragging)
        return false;
    const int x = std::clamp(pointerXPx, kHalfThumbPx, std::max(kHalfThumbPx, m_widthPx - kHalfThumbPx));
    m_thumbXPx = x - kHalfThumbPx;
    return true;
}

bool PlayerSliderLogic::release(int pointerXPx) {
    if (!m_dragging)
        return false;
    m_dragging = false;
    int x = pointerXPx;
    if (x <= kHalfThumbPx - 1)
        x = 0;
    else if (x > m_widthPx - kHalfThumbPx)
        x = m_widthPx;
    m_lastXPx = x;
    m_thumbXPx = x - kHalfThumbPx;
    return true;
}

void PlayerSliderLogic::setThumbXPx(int thumbXPx) {
    m_thumbXPx = thumbXPx;
}

}  // namespace dvr::skin
