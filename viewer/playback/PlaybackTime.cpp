#include "viewer/playback/PlaybackTime.h"

#include <cstdio>

namespace dvr::playback {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 31;
    if (month == 2 && isLeapYear(year))
        return 29;
    return days[month - 1];
}

bool acceptableDate(const DateTime& t) {
    return t.year >= 1995 && t.year <= 2095 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31;
}

bool acceptableRangeTime(const DateTime& t) {
    return acceptableDate(t) && t.hour >= 0 && t.hour <= 24 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int month, int day) {
    y -= month <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

int64_t toEpochSeconds(const DateTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + int64_t(t.hour) * 3600 + int64_t(t.minute) * 60 +
           t.second;
}

DateTime fromEpochSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(yoe + era * 400 + (month <= 2));
    return DateTime{year, month, day, int(rest / 3600), int(rest / 60 % 60), int(rest % 60)};
}

DateTime hourStepForward(const DateTime& t) {
    DateTime r = t;
    r.minute = 0;
    r.second = 0;
    if (t.hour + 1 < 24) {
        r.hour = t.hour + 1;
        return r;
    }
    r.hour = 0;
    if (t.day < daysInMonth(t.year, t.month)) {
        r.day = t.day + 1;
    } else if (t.month < 12) {
        r.day = 1;
        r.month = t.month + 1;
    } else {
        r.day = 1;
        r.month = 1;
        r.year = t.year + 1;
    }
    return r;
}

DateTime hourStepBack(const DateTime& t) {
    DateTime r = t;
    r.minute = 0;
    r.second = 0;
    if (t.hour > 0) {
        r.hour = t.hour - 1;
        return r;
    }
    r.hour = 23;
    if (t.day > 1) {
        r.day = t.day - 1;
    } else if (t.month > 1) {
        r.month = t.month - 1;
        r.day = daysInMonth(t.year, r.month);
    } else {
        r.year = t.year - 1;
        r.month = 12;
        r.day = 31;
    }
    return r;
}

uint32_t packPosition(int hour, int minute, int second) {
    return uint32_t(hour & 0xFF) << 24 | uint32_t(minute & 0xFF) << 16 | uint32_t(second & 0xFF) << 8;
}
int positionHour(uint32_t position) {
    return int(position >> 24);
}
int positionMinute(uint32_t position) {
    return int((position >> 16) & 0xFF);
}
int positionSecond(uint32_t position) {
    return int((position >> 8) & 0xFF);
}
int positionSecondsOfDay(uint32_t position) {
    return positionHour(position) * 3600 + positionMinute(position) * 60 + positionSecond(position);
}

std::string formatDateTime(const DateTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::string formatClock(uint32_t position) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", positionHour(position), positionMinute(position),
                  positionSecond(position));
    return text;
}

std::string formatFps(int picturesPerSecond) {
    char text[24];
    std::snprintf(text, sizeof text, "%02d FPS", picturesPerSecond);
    return text;
}

std::string formatPercent(uint32_t millionths) {
    char text[24];
    std::snprintf(text, sizeof text, "%03u%%", millionths / 10000);
    return text;
}

}  // namespace dvr::playback
