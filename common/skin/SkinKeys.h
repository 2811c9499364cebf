#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/skin/SkinButtonLogic.h"

namespace dvr::skin {

// One value of a skin file: its section and key.
struct SkinKey {
    const char* section;
    const char* key;
};

// How a skin button fills its image slots from its section's bitmaps (see SkinButtonLoader).
enum class ButtonLoad {
    Standard,      // viewer buttons of every kind
    Ptz,           // viewer PTZ buttons: kind 1, DNCHECK for the checked-while-enabled slot
    PlayerMain,    // the player window's buttons: kind 1, no notification value
    PlayerDialog,  // the player's edit and backup windows: kind 1, no DNCHECK bitmap
};

// One skin button of a window: where its bitmaps and its place are read, and how it behaves.
struct SkinButtonKeys {
    std::string section;          // the bitmap section (NORMAL, DOWN, DISABLE, DNCHECK)
    std::string positionSection;  // its place on the window
    std::string positionKey;
    int commandId = 0;  // what the button reports
    ButtonKind kind = ButtonKind::Momentary;
    ButtonLoad load = ButtonLoad::Standard;
    // A PTZ button's notification value; none: it follows from the command id.
    std::optional<std::uint32_t> value{};
};

}  // namespace dvr::skin
