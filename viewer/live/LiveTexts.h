#pragma once

#include "viewer/link/SessionHost.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::live {

// The on-screen text colour RGB(6, 179, 255) on black.
inline constexpr uint32_t kTextColourRgb = 0x06B3FF;

// "%d / %02d / %02d" with year, month, day.
std::string dateText(int year, int month, int day);

// Twelve-hour time "AM %02d : %02d : %02d" / "PM ...": hours 0-11 unchanged (midnight shows AM 00),
// 12 as PM 12, 13-23 as PM 01-11.
std::string timeText(int hour, int minute, int second);

// "# %02d Fps #" with the pictures completed in the last second.
std::string frameRateText(int pictureCount);

// A language-file text: section, key and the built-in default used when the key is missing.
struct LanguageText {
    std::string_view section;
    std::string_view key;
    std::string_view fallback;
};

inline constexpr std::string_view kStatusSection = "STATUS_STRING";

// The status line text of a connection status; nothing for a value without one. The defaults are padded
// to one width so that each covers a longer earlier text.
std::optional<LanguageText> statusText(link::ConnectionState status);

// The position labels "R-POS" and "P-POS".
inline constexpr LanguageText kRecordPositionLabel{kStatusSection, "R-POS", "R-POS"};
inline constexpr LanguageText kPlayPositionLabel{kStatusSection, "P-POS", "P-POS"};

// "%s : %03d%%" with the label and the position in millionths as a whole percentage.
std::string positionText(std::string_view label, uint32_t positionMillionths);

// "%03d" with the PTZ channel shown one-based.
std::string ptzChannelText(int ptzChannel);

// The PTZ channel after a plus (+1) or minus (-1) press, wrapping within 0..15.
int stepPtzChannel(int ptzChannel, int step);

// The network-speed value after the plus button (at most 10) and the minus button (at least 1).
int speedAfterPlus(int speed);
int speedAfterMinus(int speed);

}  // namespace dvr::live
