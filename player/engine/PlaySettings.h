#pragma once

#include <cstdint>
#include <string_view>

namespace dvr::player {

inline constexpr int kMinSpeedIndex = 0;
inline constexpr int kMaxSpeedIndex = 6;
inline constexpr int kInitialSpeedIndex = 2;  // " 1x "
inline constexpr int kMinDelayIndex = 1;
inline constexpr int kMaxDelayIndex = 6;
inline constexpr int kInitialDelayIndex = 1;  // "   1 "
inline constexpr int kMaxSliderValue = 710;
inline constexpr int kMaxSkipIndex = 10;

// Label of a speed index, shown in the speed value field ("1/4x" to "16x"); "" out of range.
std::string_view speedLabel(int speedIndex);
// Seconds added to the group clock per group in fast forward (negative: slower than real time).
int fastForwardOffsetSeconds(int speedIndex);
// Seconds taken off the backward countdown per group in fast backward.
int fastBackwardOffsetSeconds(int speedIndex);

// Label of a delay index, shown in the delay value field ("   1 " to "  32"); "" out of range.
std::string_view delayLabel(int delayIndex);
// Fields waited per record of a group between groups: 0, 2, 4, 8, 16 or 32.
int delayValue(int delayIndex);

// SPEED_UP / SPEED_DN and DELAY_UP / DELAY_DN: one step, held at the ends of the tables.
constexpr int speedUp(int index) {
    return index < kMaxSpeedIndex ? index + 1 : kMaxSpeedIndex;
}
constexpr int speedDown(int index) {
    return index > kMinSpeedIndex ? index - 1 : kMinSpeedIndex;
}
constexpr int delayUp(int index) {
    return index < kMaxDelayIndex ? index + 1 : kMaxDelayIndex;
}
constexpr int delayDown(int index) {
    return index > kMinDelayIndex ? index - 1 : kMinDelayIndex;
}

// Slider value of a file position: (position / (file size / 100)) x 7.1, held to 0..710.
int sliderValue(int64_t position, uint64_t fileSize);
// The file position a slider value names: the record area spread over 0..710, on a sector boundary.
int64_t seekTarget(int sliderValue, uint64_t fileSize);

// Skip list entries "00" to "10".
std::string_view skipLabel(int skipIndex);

}  // namespace dvr::player
