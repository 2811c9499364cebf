#pragma once

#include <array>
#include <vector>

#include "common/skin/SkinKeys.h"

namespace dvr::playback::skinkeys {

// The playback window's skin file, relative to the program folder, its logo and where the logo goes
// (the skin has no key for it).
inline constexpr const char* kSkinFile = "ini/res.ini";
inline constexpr const char* kLogoFile = "logo/blogo.bmp";
inline constexpr int kLogoLeft = 840, kLogoTop = 90, kLogoWidth = 165, kLogoHeight = 65;

inline constexpr skin::SkinKey kBackground{"MAIN", "PLAYBACK_SKIN"};
inline constexpr skin::SkinKey kSliderTrack{"MAIN", "SLIDERUP"};
inline constexpr skin::SkinKey kSliderThumb{"MAIN", "SLIDERDN"};
inline constexpr skin::SkinKey kWindow{"PB MAIN POS", "POS_PLAYBACK_SKIN"};
inline constexpr skin::SkinKey kPictureArea{"PB MAIN POS", "POS_PB_OVERLAY_TERM"};
inline constexpr skin::SkinKey kSlider{"PB MAIN POS", "POS_SLIDE"};
inline constexpr skin::SkinKey kCalendar{"PB MAIN POS", "POS_CALENDER"};
inline constexpr skin::SkinKey kClock{"IMG TIME INFO", "POS_PB_P_TIME"};
inline constexpr skin::SkinKey kStartLabel{"IMG TIME INFO", "POS_PB_S_TEXT"};
inline constexpr skin::SkinKey kStart{"IMG TIME INFO", "POS_PB_S_DT"};
inline constexpr skin::SkinKey kEndLabel{"IMG TIME INFO", "POS_PB_E_TEXT"};
inline constexpr skin::SkinKey kEnd{"IMG TIME INFO", "POS_PB_E_DT"};
inline constexpr skin::SkinKey kRequestLabel{"IMG TIME INFO", "POS_PB_R_TEXT"};
inline constexpr skin::SkinKey kRequest{"IMG TIME INFO", "POS_PB_R_DT"};
inline constexpr skin::SkinKey kRecordLabel{"IMG REC INFO", "POS_PB_REC_TXT"};
inline constexpr skin::SkinKey kRecordPosition{"IMG REC INFO", "POS_PB_REC_PERCENT"};
inline constexpr skin::SkinKey kPlayLabel{"IMG REC INFO", "POS_PB_PLAY_TXT"};
inline constexpr skin::SkinKey kPlayPosition{"IMG REC INFO", "POS_PB_PLAY_PERCENT"};
inline constexpr skin::SkinKey kQuality{"IMG REC INFO", "POS_PB_IMG_QUALITY"};
inline constexpr skin::SkinKey kStatus{"IMG REC INFO", "POS_PB_STATUS"};
inline constexpr skin::SkinKey kFrameRate{"IMG REC INFO", "POS_PB_IMG_FRAME"};

// Every area of the window besides its buttons, the window itself first.
inline constexpr std::array<skin::SkinKey, 18> kAreas{
    kWindow,         kPictureArea, kSlider,       kCalendar,     kClock,   kStartLabel,
    kStart,          kEndLabel,    kEnd,          kRequestLabel, kRequest, kRecordLabel,
    kRecordPosition, kPlayLabel,   kPlayPosition, kQuality,      kStatus,  kFrameRate};

// The window's buttons in the order the window creates them: exit, wheel, save, print, event, AVI, the
// four mode buttons, the sixteen channel buttons, the five play buttons, start, the hour steps, end.
const std::vector<skin::SkinButtonKeys>& buttons();

}  // namespace dvr::playback::skinkeys
