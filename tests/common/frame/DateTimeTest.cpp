#include "common/frame/DateTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace dvr {
namespace {

TEST(DateTime, ParsesOnlyRealTimesAndCountsSeconds) {
    const auto t = parseDateTime("2026-05-17 12:00:04");
    ASSERT_TRUE(t);
    EXPECT_EQ(stampText(*t), "2026/05/17 12:00:04");
    EXPECT_EQ(dateTimeText(*t), "2026-05-17 12:00:04");
    for (const char* bad : {"2026-02-30 00:00:00", "2026-05-17 24:00:00", "2026-5-17 12:00:04",
                            "2026-05-17T12:00:04", "2026-05-17 12:00:04 ", ""})
        EXPECT_FALSE(parseDateTime(bad)) << bad;
    EXPECT_EQ(secondsOf({1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(secondsOf({2024, 3, 1, 0, 0, 0}) - secondsOf({2024, 2, 28, 23, 59, 59}), 86401);  // leap day
}

// Times order as their seconds do, the date before the time of day, and each text reads back.
TEST(DateTime, OrdersAsItsSecondsAndItsTextReadsBack) {
    std::vector<DateTime> times = {{2005, 3, 1, 12, 30, 15}, {1999, 12, 31, 23, 59, 59},
                                   {2005, 3, 1, 9, 0, 0},    {2005, 2, 28, 23, 59, 59},
                                   {2005, 3, 1, 12, 30, 14}, {2000, 1, 1, 0, 0, 0}};
    std::sort(times.begin(), times.end());
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_LT(secondsOf(times[i - 1]), secondsOf(times[i])) << dateTimeText(times[i]);
    }
    for (const DateTime& t : times) {
        EXPECT_EQ(parseDateTime(dateTimeText(t)), t);
    }
    EXPECT_EQ(dateTimeText({7, 1, 2, 3, 4, 5}), "0007-01-02 03:04:05");
}

}  // namespace
}  // namespace dvr
