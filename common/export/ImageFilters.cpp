#include "common/export/ImageFilters.h"

#include <algorithm>
#include <array>

namespace dvr::exporting {

namespace {

uint8_t limit(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

template <typename F>
void eachValue(StillImage& image, F f) {
    const size_t count = size_t(image.width) * size_t(image.height) * 3;
    for (size_t i = 0; i < count && i < image.bgr.size(); ++i)
        image.bgr[i] = limit(f(int(image.bgr[i])));
}

// Calls f(n) for every value with n[0..8] its 3 x 3 neighbourhood of the same colour, row by row from
// the upper left (n[4] is the value itself), read from an unmodified copy; edges repeat their pixels.
template <typename F>
void eachNeighbourhood(StillImage& image, F f) {
    if (image.empty() || image.bgr.size() < size_t(image.width) * size_t(image.height) * 3)
        return;
    const std::vector<uint8_t> source = image.bgr;
    const int w = image.width;
    const int h = image.height;
    std::array<int, 9> n{};
    for (int y = 0; y < h; ++y) {
        const int rows[3] = {std::max(y - 1, 0), y, std::min(y + 1, h - 1)};
        for (int x = 0; x < w; ++x) {
            const int columns[3] = {std::max(x - 1, 0), x, std::min(x + 1, w - 1)};
            for (int c = 0; c < 3; ++c) {
                for (int r = 0; r < 3; ++r)
                    for (int k = 0; k < 3; ++k)
                        n[size_t(r * 3 + k)] =
                            source[(size_t(rows[r]) * size_t(w) + size_t(columns[k])) * 3 + size_t(c)];
                image.bgr[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] = limit(f(n));
            }
        }
    }
}

}  // namespace

void adjustBrightness(StillImage& image, int delta) {
    eachValue(image, [delta](int v) { return v + delta; });
}

void stretchContrast(StillImage& image, int factor) {
    eachValue(image, [factor](int v) { return v + factor * (v - 128) / 128; });
}

void sharpen(StillImage& image) {
    // 1.4 v - 0.05 N = (28 v - N) / 20, in integers so that no rounding of 1.4 or 0.05 creeps in.
    eachNeighbourhood(image, [](const std::array<int, 9>& n) {
        const int others = n[0] + n[1] + n[2] + n[3] + n[5] + n[6] + n[7] + n[8];
        return (28 * n[4] - others) / 20;
    });
}

void blur(StillImage& image) {
    eachNeighbourhood(image, [](const std::array<int, 9>& n) {
        return (4 * n[4] + 3 * (n[1] + n[3] + n[5] + n[7]) + n[0] + n[2] + n[6] + n[8]) / 20;
    });
}

void selectiveMedian(StillImage& image) {
    eachNeighbourhood(image, [](std::array<int, 9> n) {
        const int centre = n[4];
        std::nth_element(n.begin(), n.begin() + 4, n.end());
        const int m = n[4];
        return (m > centre + 50 || m < centre - 50) ? m : centre;
    });
}

std::optional<StillFilter> parseStillFilter(std::string_view name) {
    if (name == "bright")
        return StillFilter::Bright;
    if (name == "dark")
        return StillFilter::Dark;
    if (name == "sharpen")
        return StillFilter::Sharpen;
    if (name == "blur")
        return StillFilter::Blur;
    if (name == "contrast-up")
        return StillFilter::ContrastUp;
    if (name == "contrast-down")
        return StillFilter::ContrastDown;
    return std::nullopt;
}

void applyStillFilter(StillImage& image, StillFilter filter) {
    switch (filter) {
        case StillFilter::Bright:
            adjustBrightness(image, 10);
            break;
        case StillFilter::Dark:
            adjustBrightness(image, -10);
            break;
        case StillFilter::Sharpen:
            sharpen(image);
            break;
        case StillFilter::Blur:
            blur(image);
            break;
        case StillFilter::ContrastUp:
            selectiveMedian(image);
            break;
        case StillFilter::ContrastDown:
            stretchContrast(image, 10);
            break;
    }
}

void EditHistory::apply(StillFilter filter) {
    m_undo.push_back(m_current);
    if (m_undo.size() > m_depth)
        m_undo.pop_front();
    m_redo.clear();
    applyStillFilter(m_current, filter);
}

bool EditHistory::undo() {
    if (m_undo.empty())
        return false;
    m_redo.push_back(std::move(m_current));
    m_current = std::move(m_undo.back());
    m_undo.pop_back();
    return true;
}

bool EditHistory::redo() {
    if (m_redo.empty())
        return false;
    m_undo.push_back(std::move(m_current));
    m_current = std::move(m_redo.back());
    m_redo.pop_back();
    return true;
}

}  // namespace dvr::exporting
