#pragma once

#include <string>

namespace dvr::skin {

// The player's stored settings, kept in section INFO of its skin file (res.ini).
struct PlayerInfo {
    int pal = 0;        // PAL: 1 = PAL skin, else NTSC
    int filter = 0;     // FILTER: read, no effect
    int tooltipOn = 0;  // TOOLTIP_ON: tooltips are shown only when not 0
};

class PlayerInfoStore {
public:
    // Reads PAL, FILTER and TOOLTIP_ON (each default 0) from the player's res.ini.
    static PlayerInfo read(const std::string& resIniPath);
    // Writes MODE (the layout, 1 to 4) and PAL back, keeping the rest of the file. False on a write
    // failure.
    static bool write(const std::string& resIniPath, int mode, int pal);
};

}  // namespace dvr::skin
