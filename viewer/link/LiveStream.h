// The live picture loop's state: what the live request asks for (displayed-
// channel mask and request speed), what every live reply tells (unavailable
// channels, play and record positions) and the settle rule that decides which
// received pictures are decoded. Pure; the session owns one.
#pragma once

#include "common/frame/FrameHeader.h"

#include <cstdint>

namespace dvr::link {

// Network speed per layout: one pane 2, four panes 4, nine panes 6, every
// other layout 8; kept within 1 to 10.
inline constexpr int kMinRequestSpeed = 1;
inline constexpr int kMaxRequestSpeed = 10;
int defaultRequestSpeed(int paneCount);

// p3 of the live request.
constexpr uint32_t speedParameter(int requestSpeed) {
    return static_cast<uint32_t>(11 - requestSpeed);
}

// Displayed-channel mask of `paneCount` panes starting at `firstChannel`.
uint32_t displayedMaskFor(int paneCount, int firstChannel);

// Limits a displayed-channel mask to what the recorder of a layout code can
// carry: above 0xF becomes 0xF for 4-channel codes, above 0xFF becomes 0xFF
// for 8-channel codes; other codes leave it unchanged.
uint32_t clampDisplayedMask(uint32_t layoutCode, uint32_t mask);

// Unavailable-channel mask from p5 of a live reply: channel n is unavailable
// when bit 16 + n of p5 is clear.
constexpr uint32_t unavailableFromVisibility(uint32_t p5) {
    return ~p5 >> 16;
}

class LiveStream {
public:
    static constexpr uint32_t kInitialUnavailableMask = 0xFFFF0000;
    static constexpr int kSettlePictures = 3;

    // What the next live request asks for; set by the live view.
    uint32_t displayedChannelMask() const { return m_displayedMask; }
    void setDisplayedChannelMask(uint32_t mask) { m_displayedMask = mask; }
    int requestSpeed() const { return m_requestSpeed; }
    void setRequestSpeed(int speed);

    // Taken from each live reply's parameter block.
    void takeReply(uint32_t playPosition, uint32_t recordPosition, uint32_t visibilityWord);
    uint32_t unavailableMask() const { return m_unavailableMask; }
    uint32_t playPosition() const { return m_playPosition; }      // millionths
    uint32_t recordPosition() const { return m_recordPosition; }  // millionths

    // Settle rule for a received picture record: stores the layout code,
    // clamps the displayed mask and keeps the video standard; returns whether
    // to decode. After any change of the flags word the first four pictures
    // with the new flags are dropped; quad pictures are decoded only from
    // family-2 recorders or with the signal word 0xFFFFFFF0.
    bool settle(const frame::FrameHeader& header);
    // Whether the last settle() saw the flags or the standard change (the
    // quality and size texts are then rebuilt).
    bool formatChanged() const { return m_formatChanged; }

    uint32_t layoutCode() const { return m_layoutCode; }
    uint32_t pictureFlags() const { return m_flags; }
    uint32_t videoStandard() const { return m_standard; }
    uint32_t previousVideoStandard() const { return m_previousStandard; }
    int linesPerField() const { return m_linesPerField; }

    // Live payloads completed, decoded or not; the view reads and clears it
    // every second.
    uint8_t frameCounter() const { return m_frameCounter; }
    void countFrame() { ++m_frameCounter; }
    uint8_t takeFrameCount();

    // Forgets the remembered picture format and counters (a new connection);
    // the displayed mask, speed and unavailable mask are kept.
    void resetPictureState();

private:
    uint32_t m_displayedMask = 0xFFFF;
    int m_requestSpeed = 8;
    uint32_t m_unavailableMask = kInitialUnavailableMask;
    uint32_t m_playPosition = 0;
    uint32_t m_recordPosition = 0;
    uint32_t m_layoutCode = 0;
    uint32_t m_flags = 0;
    uint32_t m_standard = 0;
    uint32_t m_previousStandard = 0;
    int m_linesPerField = 240;
    uint8_t m_settleCounter = 0;
    uint8_t m_frameCounter = 0;
    bool m_formatChanged = false;
};

}  // namespace dvr::link
