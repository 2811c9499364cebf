#include "player/view/RecentFiles.h"

#include <algorithm>
#include <cstdlib>

#include "common/skin/IniFile.h"
#include "common/skin/TextCodec.h"

namespace dvr::player {

namespace {

constexpr const char* kSection = "Recent File List";

std::string key(int index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

std::string RecentFiles::defaultSettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config) {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : ".") + "/.config";
    }
    return folder + "/Discoro/Discoro.ini";
}

std::vector<std::string> RecentFiles::parse(std::string_view fileBytes) {
    const skin::IniDocument document = skin::IniDocument::parse(fileBytes);
    std::vector<std::string> result;
    for (int i = 0; i < kMaxFiles; ++i) {
        const std::optional<std::string> value = document.value(kSection, key(i));
        if (value && !value->empty()) {
            result.push_back(skin::TextCodec::leftChars(*value, kMaxPathChars));
        }
    }
    return result;
}

std::vector<std::string> RecentFiles::files() const {
    const std::optional<std::string> bytes = skin::FileBytes::read(m_path);
    return bytes ? parse(*bytes) : std::vector<std::string>();
}

bool RecentFiles::add(const std::string& path) const {
    std::vector<std::string> list = files();
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    list.insert(list.begin(), path);
    list.resize(std::min<size_t>(list.size(), kMaxFiles));
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < kMaxFiles; ++i) {
        values.emplace_back(key(i), i < int(list.size()) ? list[size_t(i)] : std::string());
    }
    // One write of the whole list; a settings file that cannot be read is kept as it is.
    return skin::IniFile(m_path).setValues(kSection, values).ok;
}

}  // namespace dvr::player
