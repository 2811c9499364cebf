#include "viewer/live/LiveTexts.h"

#include <algorithm>
#include <cstdio>

namespace dvr::live {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, pattern, args...);
    return length > 0 ? std::string(text, size_t(std::min(length, int(sizeof text) - 1))) : std::string();
}

}  // namespace

std::string dateText(int year, int month, int day) {
    return format("%d / %02d / %02d", year, month, day);
}

std::string timeText(int hour, int minute, int second) {
    if (hour < 12) {
        return format("AM %02d : %02d : %02d", hour, minute, second);
    }
    return format("PM %02d : %02d : %02d", hour == 12 ? 12 : hour - 12, minute, second);
}

std::string frameRateText(int pictureCount) {
    return format("# %02d Fps #", pictureCount);
}

std::optional<LanguageText> statusText(link::ConnectionState status) {
    switch (status) {
        case link::ConnectionState::Waiting:
            return LanguageText{kStatusSection, "WAITING FOR CONNECTION", "WAITING FOR CONNECTION."};
        case link::ConnectionState::Established:
            return LanguageText{kStatusSection, "CONNECTION ESTABLISHED", "CONNECTION ESTABLISHED."};
        case link::ConnectionState::Connecting:
            return LanguageText{kStatusSection, "CONNECTING", "CONNECTING..           "};
        case link::ConnectionState::KeyLock:
            return LanguageText{kStatusSection, "KEY LOCK", "KEY LOCK!!             "};
    }
    return std::nullopt;
}

std::string positionText(std::string_view label, uint32_t positionMillionths) {
    std::string text(label);
    text += format(" : %03d%%", int(positionMillionths / 10000));
    return text;
}

std::string ptzChannelText(int ptzChannel) {
    return format("%03d", ptzChannel + 1);
}

int stepPtzChannel(int ptzChannel, int step) {
    return ((ptzChannel + step) % 16 + 16) % 16;
}

int speedAfterPlus(int speed) {
    return std::min(speed + 1, 10);
}

int speedAfterMinus(int speed) {
    return speed - 1 <= 0 ? 1 : speed - 1;
}

}  // namespace dvr::live
