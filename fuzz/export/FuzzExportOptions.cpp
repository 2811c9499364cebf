// Feeds arbitrary text to the export's parsers of command-line values: a time must parse only as a real
// calendar date and time of day, and print back as the same digits; a filter name parses or is refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/export/ImageFilters.h"
#include "common/frame/DateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto time = dvr::parseDateTime(text)) {
        std::string printed = dvr::stampText(*time);
        for (char& c : printed)
            c = c == '/' ? '-' : c;
        if (printed != text)
            std::abort();
        (void)dvr::secondsOf(*time);
    }
    (void)dvr::exporting::parseStillFilter(text);
    return 0;
}
