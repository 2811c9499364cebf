#include "viewer/setup/IniSection.h"

#include <algorithm>
#include <cctype>

#include "common/skin/TextCodec.h"

namespace dvr::setup {

namespace {

std::string folded(std::string_view key) {
    std::string out(key);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

}  // namespace

IniSection::IniSection(const skin::IniDocument& document, std::string_view section) {
    for (auto& [key, value] : document.entries(section)) {
        m_values.try_emplace(folded(key), std::move(value));
    }
}

std::string IniSection::value(std::string_view key, std::size_t maxChars) const {
    const auto found = m_values.find(folded(key));
    return found == m_values.end() ? std::string() : skin::TextCodec::leftChars(found->second, maxChars);
}

}  // namespace dvr::setup
