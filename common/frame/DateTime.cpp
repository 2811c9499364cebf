#include "common/frame/DateTime.h"

#include <chrono>
#include <cstdio>

namespace dvr {

std::string stampText(const DateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::string dateTimeText(const DateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

int64_t secondsOf(const DateTime& t) {
    using namespace std::chrono;
    const sys_days days{year{t.year} / month{unsigned(t.month)} / day{unsigned(t.day)}};
    return int64_t(days.time_since_epoch().count()) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

std::optional<DateTime> parseDateTime(std::string_view text) {
    if (text.size() != 19)
        return std::nullopt;
    const char* pattern = "dddd-dd-dd dd:dd:dd";
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return std::nullopt;
    }
    auto number = [&](size_t at, size_t count) {
        int v = 0;
        for (size_t i = at; i < at + count; ++i)
            v = v * 10 + (text[i] - '0');
        return v;
    };
    DateTime t{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
    const std::chrono::year_month_day date{std::chrono::year{t.year}, std::chrono::month{unsigned(t.month)},
                                           std::chrono::day{unsigned(t.day)}};
    if (!date.ok() || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

}  // namespace dvr
