#pragma once

#include <vector>

#include "common/skin/SkinKeys.h"

namespace dvr::player::skinkeys {

// The player window's buttons in the order the window creates them: the main buttons, then the sixteen
// channel buttons; each reports its command id.
const std::vector<skin::SkinButtonKeys>& buttons();

// The seven navigation state indicators (START, RW, BP, PAUSE, FP, FF, END): skin buttons that take no
// clicks.
const std::vector<skin::SkinButtonKeys>& stateIndicators();

}  // namespace dvr::player::skinkeys
