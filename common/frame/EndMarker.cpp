#include "common/frame/EndMarker.h"

#include <algorithm>

namespace dvr::frame {

std::optional<size_t> findEndMarker(std::span<const uint8_t> codestream, uint32_t pictureLength,
                                    size_t window) {
    if (window == 0 || pictureLength < window)
        return std::nullopt;
    const size_t first = std::max<size_t>(pictureLength - window, 1);
    for (size_t i = first; i < pictureLength && i < codestream.size(); ++i) {
        if (codestream[i - 1] == 0xFF && codestream[i] == 0xD9)
            return i;
    }
    return std::nullopt;
}

}  // namespace dvr::frame
