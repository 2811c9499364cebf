#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace dvr::frame {

// Searches the codestream end marker FF D9 at positions i-1, i for i from pictureLength - window up to
// pictureLength - 1; the first match wins and i is returned. Nothing outside the span is read: positions
// past its end never match. A picture length below the window never matches.
std::optional<size_t> findEndMarker(std::span<const uint8_t> codestream, uint32_t pictureLength,
                                    size_t window);

}  // namespace dvr::frame
