#pragma once

#include "common/frame/Rect.h"

#include <optional>
#include <string>
#include <string_view>

namespace dvr::skin {

// A skin rectangle (window coordinates, right and bottom exclusive).
using SkinRect = dvr::Rect;

// The bitmap files of one skin button section (keys NORMAL, DOWN, DISABLE, DNCHECK), each resolved to a
// path, or nothing for "EMPTY" and missing keys.
struct ButtonImageFiles {
    std::optional<std::string> normal;   // released
    std::optional<std::string> down;     // pressed, also the checked image
    std::optional<std::string> disable;  // disabled
    std::optional<std::string> dnCheck;  // pressed while checked
};

// Value syntaxes of the skin files.
class SkinValues {
public:
    // The reserved bitmap value meaning "no bitmap", and the default of every skin string lookup.
    static constexpr const char* kEmpty = "EMPTY";
    // Default position of the player's windows and dialogs: 20 x 10 at the origin.
    static constexpr const char* kPlayerDefaultPosition = "<0><0><20><10>";

    // "<x><y><w><h>" to the rectangle (x, y, x + w, y + h). The value is cut into tokens at every '<' and
    // '>'; the first four tokens are read like atoi (blanks, sign, digits; no digits gives 0); missing
    // tokens count as 0 and further tokens are ignored. "EMPTY" has one token and so gives (0, 0, 0, 0).
    static SkinRect parsePosition(std::string_view value);

    // A bitmap value names no bitmap when it starts with an upper-case 'E' ("EMPTY", and so also any file
    // name that starts with 'E') or is empty.
    static bool isEmptyBitmap(std::string_view value);
};

}  // namespace dvr::skin
