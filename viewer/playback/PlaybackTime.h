// Calendar arithmetic and texts of the playback window: request times, hour
// steps, the time slider's seconds of the day and the packed words that the
// play request and the position clock use.
#pragma once

#include "viewer/link/Packet.h"

#include <cstdint>
#include <string>

namespace dvr::playback {

// Days in a month of the real calendar (February has 29 days in leap years).
int daysInMonth(int year, int month);
bool isLeapYear(int year);

// Year 1995 to 2095, month 1 to 12, day 1 to 31, hour at most 24, minute and
// second at most 59: what the window accepts as a recording range end.
bool acceptableRangeTime(const DateTime& t);
// Year 1995 to 2095, month 1 to 12, day 1 to 31: what a set-position step and
// a picture time must hold.
bool acceptableDate(const DateTime& t);

// Seconds since 1970-01-01 00:00:00 of a calendar date-time (no time zone).
int64_t toEpochSeconds(const DateTime& t);
DateTime fromEpochSeconds(int64_t seconds);

// One hour later, or 00:00 of the next day after hour 23; minute and second
// become 0.
DateTime hourStepForward(const DateTime& t);
// One hour earlier, or 23:00 of the previous day from hour 0; minute and
// second become 0.
DateTime hourStepBack(const DateTime& t);

// Position word: hour << 24 | minute << 16 | second << 8.
uint32_t packPosition(int hour, int minute, int second);
int positionHour(uint32_t position);
int positionMinute(uint32_t position);
int positionSecond(uint32_t position);
int positionSecondsOfDay(uint32_t position);

// "%04d/%02d/%02d  %02d:%02d:%02d".
std::string formatDateTime(const DateTime& t);
// What a date-time field shows while the range is not known.
inline constexpr const char* kUnknownDateTime = "----/--/--  --:--:--";
// "%02d:%02d:%02d" of a position word.
std::string formatClock(uint32_t position);
// "%02d FPS".
std::string formatFps(int picturesPerSecond);
// "%03d%%" of a value in millionths.
std::string formatPercent(uint32_t millionths);

}  // namespace dvr::playback
