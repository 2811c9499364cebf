// The image edit window's skin buttons, shared by the window, the skin tests and the skin snapshots.
#pragma once

#include <vector>

#include "common/skin/SkinKeys.h"

namespace dvr::player::edit {

// The window's section of places on its skin.
inline constexpr const char* kSkinPositions = "EDIT POS";

// The nine command buttons in the order the window creates them; each reports its command id.
const std::vector<skin::SkinButtonKeys>& skinButtons();

}  // namespace dvr::player::edit
