#pragma once

namespace dvr::skin {

// Geometry of the playback window's time slider: a 14-pixel thumb over a
// 578-pixel travel, the pointer holding the thumb at its centre.
class ViewerSliderLogic {
public:
    static constexpr int kTravelPx = 578;
    static constexpr int kGrabOffsetPx = 7;
    static constexpr int kPositionPerPx = 149;

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const { return m_position; }
    int thumbXPx() const { return m_thumbXPx; }
    bool dragging() const { return m_dragging; }

    void press() { m_dragging = true; }
    // Pointer at x while dragging (move) or at release: thumb and position
    // follow. Returns false when not dragging (nothing changes).
    bool dragTo(int pointerXPx);
    bool release(int pointerXPx);
    // Moves the thumb to a value set from outside (no notification).
    void setPosition(int position);

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    int m_thumbXPx = 0;
    bool m_dragging = false;
};

// Geometry of the player's position slider: an 18-pixel thumb over the
// control's width; the pointer holds the thumb at its centre.
class PlayerSliderLogic {
public:
    static constexpr int kThumbWidthPx = 18;
    static constexpr int kHalfThumbPx = 9;

    void setWidth(int widthPx) { m_widthPx = widthPx; }
    int width() const { return m_widthPx; }
    // Thumb left edge as stored (may lie outside; see paintThumbXPx).
    int thumbXPx() const { return m_thumbXPx; }
    // Thumb left edge as painted: clamped to 0..width - 18.
    int paintThumbXPx() const;
    int lastXPx() const { return m_lastXPx; }
    bool dragging() const { return m_dragging; }

    // Left button down at x: on the thumb starts a drag (returns true);
    // elsewhere the thumb jumps under the pointer without notification.
    bool press(int pointerXPx);
    // Pointer move while dragging; returns false when not dragging.
    bool dragTo(int pointerXPx);
    // Left button up while dragging: snaps to the ends and ends the drag.
    // Returns false when not dragging (no notification is due).
    bool release(int pointerXPx);
    // Thumb placed by the program (playback progress), no notification.
    void setThumbXPx(int thumbXPx);

private:
    int m_widthPx = 0;
    int m_thumbXPx = 0;
    int m_lastXPx = 0;
    bool m_dragging = false;
};

}  // namespace dvr::skin
