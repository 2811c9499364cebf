#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::exporting {

// A picture's recording time as the export texts show it.
struct ExportTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend auto operator<=>(const ExportTime&, const ExportTime&) = default;
};

// "YYYY/MM/DD HH:MM:SS", the time stamp drawn into every frame.
std::string stampText(const ExportTime& time);
// Seconds since 1970-01-01 00:00:00 of the time read as a calendar date and time of day (no zone).
int64_t secondsOf(const ExportTime& time);
// Parses "YYYY-MM-DD HH:MM:SS" (a real calendar date, a time of day); nullopt otherwise.
std::optional<ExportTime> parseExportTime(std::string_view text);

}  // namespace dvr::exporting
