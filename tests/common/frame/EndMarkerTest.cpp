#include "common/frame/EndMarker.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dvr::frame;

namespace {

// A buffer of `size` bytes with FF D9 ending at index `end`.
std::vector<uint8_t> withMarkerAt(size_t size, size_t end) {
    std::vector<uint8_t> b(size, 0x11);
    b[end - 1] = 0xFF;
    b[end] = 0xD9;
    return b;
}

}  // namespace

TEST(EndMarker, SearchWindowBoundaries) {
    struct Case {
        size_t length;
        size_t markerEnd;
        size_t window;
        bool found;
    };
    const Case cases[] = {
        {1000, 999, 64, true},                       // exactly at the last two bytes
        {1000, 936, 64, true},                       // first position of the window
        {1000, 935, 64, false},                      // 65 bytes before the end
        {1000, 968, 32, true},                       // player window
        {1000, 967, 32, false}, {64, 63, 64, true},  // picture length equal to the window
        {63, 62, 64, false},                         // below the window: never
    };
    for (const Case& c : cases) {
        const auto b = withMarkerAt(c.length, c.markerEnd);
        const auto found = findEndMarker(b, uint32_t(c.length), c.window);
        EXPECT_EQ(c.found, found.has_value()) << c.length << " " << c.markerEnd << " " << c.window;
        if (c.found && found) {
            EXPECT_EQ(c.markerEnd, *found);
        }
    }
}

TEST(EndMarker, FirstMatchWins) {
    auto b = withMarkerAt(200, 199);
    b[150] = 0xFF;
    b[151] = 0xD9;
    EXPECT_EQ(151u, findEndMarker(b, 200, 64));
}

TEST(EndMarker, NeverReadsPastTheBuffer) {
    // The picture length claims more bytes than there are; the marker inside still counts, positions
    // past the end do not.
    const auto b = withMarkerAt(100, 99);
    EXPECT_EQ(99u, findEndMarker(b, 120, 64));
    std::vector<uint8_t> tail(10, 0xFF);
    EXPECT_FALSE(findEndMarker(tail, 0xFFFFFFFF, 64));
    EXPECT_FALSE(findEndMarker({}, 100, 64));
}
