#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvr {

// A calendar date and time of day to the second, with no zone: a picture's recording time, a recorder's
// range and event times, the local clock. Ordered by date, then time.
struct DateTime {
    int year = 0;  // full year
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// "YYYY/MM/DD HH:MM:SS", the time stamp drawn into every exported frame.
std::string stampText(const DateTime& time);
// "YYYY-MM-DD HH:MM:SS", the text parseDateTime reads.
std::string dateTimeText(const DateTime& time);
// Seconds since 1970-01-01 00:00:00 of the time read as a calendar date and time of day (no zone).
int64_t secondsOf(const DateTime& time);
// Parses "YYYY-MM-DD HH:MM:SS" (a real calendar date, a time of day); nullopt otherwise.
std::optional<DateTime> parseDateTime(std::string_view text);

}  // namespace dvr
