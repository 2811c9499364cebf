#include "player/view/PaneDrawing.h"

#include <cstdio>

namespace dvr::player {

namespace {

constexpr int kSmallFontPixels = 11;
constexpr int kFontPixels = 14;

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

}  // namespace

PaneTextLayout paneTextLayout(const PaneRect& pane, int layout) {
    const bool small = layout == 4;
    return {pane.bottom - (small ? 17 : 20), pane.right - (small ? 130 : 200), pane.left + 5,
            small ? kSmallFontPixels : kFontPixels};
}

std::string paneTimeText(const DateTime& t) {
    return format("%02d/%02d/%02d  %02d:%02d:%02d        ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
}

std::string channelNumberText(int channel) {
    return format("%02d", channel + 1);
}

std::optional<PaneCrop> paneCrop(uint32_t layoutCode, const frame::PixelRect& s, int reduction) {
    const auto m = [reduction](int margin) { return margin >> reduction; };
    switch (layoutCode) {
        case 0x10004:
        case 0x10008:
        case 0x10016:
        case 0x30004:
        case 0x30008:
        case 0x30016:
            return PaneCrop{{s.x + m(4), s.y, s.width - m(20), s.height - m(6)}, 0};
        case 0x20004:
        case 0x20008:
        case 0x20016:
            return PaneCrop{{s.x + m(4), s.y + m(4), s.width - m(8), s.height - m(10)}, 2};
        default:
            return std::nullopt;
    }
}

std::string timeInfoDate(const std::optional<DateTime>& t) {
    if (!t) {
        return "DATE : --- / --- / ---";
    }
    return format("DATE : %02d / %02d / %02d", t->year, t->month, t->day);
}

std::string timeInfoTime(const std::optional<DateTime>& t) {
    if (!t) {
        return "TIME : --- : --- : ---";
    }
    return format("TIME : %02d : %02d : %02d", t->hour, t->minute, t->second);
}

int clockHour12(int hour) {
    return hour > 11 ? hour - 12 : hour;
}

bool clockIsPm(int hour) {
    return hour > 11;
}

}  // namespace dvr::player
