#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string_view>

#include "common/export/StillImage.h"

namespace dvr::exporting {

// The still-picture filters. Every filter works on every pixel and each colour on its own. The 3 x 3
// filters read their neighbours from an unmodified copy of the picture; at the picture's edges a missing
// neighbour is replaced by the nearest existing pixel. Results are limited to 0..255.

// value + delta.
void adjustBrightness(StillImage& image, int delta);
// value + factor x (value - 128) / 128, the division truncating towards zero.
void stretchContrast(StillImage& image, int factor);
// 1.4 x value - 0.05 x (sum of the eight neighbours), truncated towards zero.
void sharpen(StillImage& image);
// (4 x centre + 3 x (left + right + upper + lower) + the four diagonals) / 20, truncated.
void blur(StillImage& image);
// The median m of the 3 x 3 neighbourhood replaces the value when it differs from it by more than 50.
void selectiveMedian(StillImage& image);

// The commands of the image edit window.
enum class StillFilter { Bright, Dark, Sharpen, Blur, ContrastUp, ContrastDown };

// "bright", "dark", "sharpen", "blur", "contrast-up", "contrast-down".
std::optional<StillFilter> parseStillFilter(std::string_view name);
// Bright +10, dark -10, contrast up = selective median, contrast down = contrast stretch by 10.
void applyStillFilter(StillImage& image, StillFilter filter);

// The edited picture with its undo and redo steps. Applying a filter forgets the redo steps; the oldest
// undo step goes once more than the depth are kept.
class EditHistory {
public:
    static constexpr size_t kDefaultDepth = 16;

    explicit EditHistory(StillImage image, size_t depth = kDefaultDepth)
        : m_current(std::move(image)), m_depth(depth < 1 ? 1 : depth) {}

    const StillImage& current() const { return m_current; }
    void apply(StillFilter filter);
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // False when there is nothing to undo (or redo).
    bool undo();
    bool redo();

private:
    StillImage m_current;
    size_t m_depth;
    std::deque<StillImage> m_undo;
    std::deque<StillImage> m_redo;
};

}  // namespace dvr::exporting
