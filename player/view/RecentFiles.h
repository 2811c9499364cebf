#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::player {

// The player's per-user list of the last opened files, newest first, kept in the
// "Recent File List" section of its settings file.
class RecentFiles {
public:
    static constexpr int kMaxFiles = 4;

    // settingsPath: the per-user settings file ($XDG_CONFIG_HOME/Discoro/Discoro.ini).
    explicit RecentFiles(std::string settingsPath) : m_path(std::move(settingsPath)) {}

    // The settings file of the current user.
    static std::string defaultSettingsPath();

    // Longest file name kept.
    static constexpr std::size_t kMaxPathChars = 4096;

    // The list held by the bytes of a settings file (missing and empty entries left out).
    static std::vector<std::string> parse(std::string_view fileBytes);

    std::vector<std::string> files() const;
    // Puts path first, dropping an older entry of the same file and any beyond the fourth.
    bool add(const std::string& path) const;

private:
    std::string m_path;
};

}  // namespace dvr::player
