// The backup window's skin places and buttons, shared by the window, the skin tests and the skin
// snapshots.
#pragma once

#include <vector>

#include "common/skin/SkinKeys.h"

namespace dvr::player::backup {

// The window's section of places on its skin, and the place of the skin itself.
inline constexpr const char* kSkinPositions = "BACKUP POS";
inline constexpr const char* kSkinArea = "POS_BACKUP_SKIN";

// The three drop-down lists' places: channel, frame rate, image size.
inline constexpr const char* kChannelListPlace = "POS_BACKUP_CHANNEL";
inline constexpr const char* kFrameRateListPlace = "POS_BACKUP_FRAMERATE";
inline constexpr const char* kSizeListPlace = "POS_BACKUP_IMAGESIZE";

// START and STOP, in the order the window creates them; each reports its command id.
const std::vector<skin::SkinButtonKeys>& skinButtons();

}  // namespace dvr::player::backup
