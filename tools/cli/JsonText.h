#pragma once

#include <string>
#include <string_view>

namespace dvr::cli {

// The text as a JSON string literal, quotes included: quote and backslash escaped, line feeds as \n and
// other control characters as \u00XX. Bytes from 0x80 up pass through unchanged.
std::string jsonQuote(std::string_view text);

}  // namespace dvr::cli
