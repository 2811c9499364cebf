#include "player/engine/PlaySettings.h"

#include <algorithm>
#include <array>

namespace dvr::player {

namespace {

constexpr std::array<std::string_view, 7> kSpeedLabels = {"1/4x", "1/2x", " 1x ", " 2x ",
                                                          " 4x",  " 8x",  "16x"};
constexpr std::array<int, 7> kFastForwardOffsets = {-4, -2, 0, 2, 4, 8, 16};
constexpr std::array<int, 7> kFastBackwardOffsets = {-5, -3, 0, 3, 5, 9, 17};
// Indexed by delay index - 1.
constexpr std::array<std::string_view, 6> kDelayLabels = {"   1 ", "   2", "   4", "   8", "  16", "  32"};
constexpr std::array<int, 6> kDelayValues = {0, 2, 4, 8, 16, 32};
constexpr std::array<std::string_view, 11> kSkipLabels = {"00", "01", "02", "03", "04", "05",
                                                          "06", "07", "08", "09", "10"};

constexpr int kDataStart = 65536;

}  // namespace

std::string_view speedLabel(int i) {
    return i >= 0 && i <= kMaxSpeedIndex ? kSpeedLabels[size_t(i)] : "";
}

int fastForwardOffsetSeconds(int i) {
    return kFastForwardOffsets[size_t(std::clamp(i, kMinSpeedIndex, kMaxSpeedIndex))];
}

int fastBackwardOffsetSeconds(int i) {
    return kFastBackwardOffsets[size_t(std::clamp(i, kMinSpeedIndex, kMaxSpeedIndex))];
}

std::string_view delayLabel(int i) {
    return i >= kMinDelayIndex && i <= kMaxDelayIndex ? kDelayLabels[size_t(i - 1)] : "";
}

int delayValue(int i) {
    return kDelayValues[size_t(std::clamp(i, kMinDelayIndex, kMaxDelayIndex) - 1)];
}

int sliderValue(int64_t position, uint64_t fileSize) {
    const uint64_t hundredth = fileSize / 100;
    if (hundredth == 0 || position <= 0)
        return 0;
    const double value = double(uint64_t(position) / hundredth) * 7.1;
    return value >= kMaxSliderValue ? kMaxSliderValue : int(value);
}

int64_t seekTarget(int slider, uint64_t fileSize) {
    const int64_t area = fileSize > uint64_t(kDataStart) ? int64_t(fileSize) - kDataStart : 0;
    const int64_t target =
        int64_t(std::clamp(slider, 0, kMaxSliderValue)) * area / kMaxSliderValue + kDataStart;
    return target & ~int64_t(511);
}

std::string_view skipLabel(int i) {
    return i >= 0 && i <= kMaxSkipIndex ? kSkipLabels[size_t(i)] : "";
}

}  // namespace dvr::player
