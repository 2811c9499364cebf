#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "common/skin/IniDocument.h"

namespace dvr::setup {

// The values of one section of a parsed ini file, looked up by key ignoring ASCII case, the first
// entry of a key winning: one pass over the file, so books of many entries read in linear time.
class IniSection {
public:
    IniSection(const skin::IniDocument& document, std::string_view section);
    // The value, cut to `maxChars` characters; empty when the key is missing.
    std::string value(std::string_view key, std::size_t maxChars) const;

private:
    std::unordered_map<std::string, std::string> m_values;
};

}  // namespace dvr::setup
