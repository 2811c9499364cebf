#pragma once

#include <array>
#include <vector>

#include "common/skin/SkinKeys.h"

namespace dvr::live::skinkeys {

// The live window's skin file, relative to the program folder, and its logo.
inline constexpr const char* kSkinFile = "ini/res.ini";
inline constexpr const char* kLogoFile = "logo/slogo.bmp";

inline constexpr skin::SkinKey kBackground{"MAIN", "LIVE_SKIN"};
inline constexpr skin::SkinKey kWindow{"MAIN POS", "POS_LIVE_SKIN"};
inline constexpr skin::SkinKey kOverlay{"MAIN POS", "POS_OVERLAY_TERM"};
inline constexpr skin::SkinKey kLogo{"MAIN POS", "POS_LOGO"};
inline constexpr skin::SkinKey kDate{"IMAGE INFO POS", "POS_SYS_DATE"};
inline constexpr skin::SkinKey kTime{"IMAGE INFO POS", "POS_SYS_TIME"};
inline constexpr skin::SkinKey kStatus{"IMAGE INFO POS", "POS_CUR_STATUS"};
inline constexpr skin::SkinKey kQuality{"IMAGE INFO POS", "POS_IMG_QUALITY"};
inline constexpr skin::SkinKey kRecordPosition{"IMAGE INFO POS", "POS_REC_PERCENT"};
inline constexpr skin::SkinKey kPlayPosition{"IMAGE INFO POS", "POS_PLAY_PERCENT"};
inline constexpr skin::SkinKey kFrameRate{"IMAGE INFO POS", "POS_IMG_FRAME"};
inline constexpr skin::SkinKey kPtzChannel{"PTZ POS", "POS_PTZ_CH"};
inline constexpr skin::SkinKey kSpeedValue{"MAIN POS", "POS_SCAL_VALUE"};

// Every area of the window besides its buttons, the window itself first.
inline constexpr std::array<skin::SkinKey, 12> kAreas{kWindow,       kOverlay,   kLogo,       kDate,
                                                      kTime,         kStatus,    kQuality,    kRecordPosition,
                                                      kPlayPosition, kFrameRate, kPtzChannel, kSpeedValue};

// The window's buttons in the order the window creates them: the main buttons, the two PTZ channel
// buttons, the twelve PTZ moves (command ids 1087 to 1098), the seven mode buttons, the sixteen channel
// buttons.
const std::vector<skin::SkinButtonKeys>& buttons();

}  // namespace dvr::live::skinkeys
