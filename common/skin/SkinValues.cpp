#include "common/skin/SkinValues.h"

#include <array>
#include <cstdint>

#include "common/skin/IniDocument.h"

namespace dvr::skin {

SkinRect SkinValues::parsePosition(std::string_view value) {
    // Tokens as the C tokenizer cuts them: runs of '<' and '>' separate, empty tokens do not exist.
    std::array<std::int32_t, 4> numbers{};
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < numbers.size()) {
        pos = value.find_first_not_of("<>", pos);
        if (pos == std::string_view::npos) {
            break;
        }
        std::size_t end = value.find_first_of("<>", pos);
        if (end == std::string_view::npos) {
            end = value.size();
        }
        numbers[count++] = parseProfileInt(value.substr(pos, end - pos));
        pos = end;
    }
    // Sums wrap like the 32-bit arithmetic of the window system instead of overflowing.
    const auto add = [](std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
    };
    return SkinRect{numbers[0], numbers[1], add(numbers[0], numbers[2]), add(numbers[1], numbers[3])};
}

bool SkinValues::isEmptyBitmap(std::string_view value) {
    return value.empty() || value.front() == 'E';
}

}  // namespace dvr::skin
