#include "player/view/PlayerFolders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/skin/ProgramFolder.h"

namespace dvr::player {

std::string playerUserDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::string(data) + "/Discoro";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::string(home) + "/.local/share/Discoro";
    }
    return {};
}

bool folderWritable(const std::string& folder) {
    // An installed program folder is never written, whoever runs the program (root included).
    if (skin::ProgramFolder::isInstalledFolder(folder, skin::ProgramFolder::executableFolder())) {
        return false;
    }
    std::error_code error;
    return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

OutputFolder chooseOutputFolder(const std::string& programFolder, const std::string& userDataFolder,
                                const std::string& name,
                                const std::function<bool(const std::string&)>& writable) {
    if (writable(programFolder) || userDataFolder.empty()) {
        return {programFolder + "/" + name, false};
    }
    return {userDataFolder + "/" + name, true};
}

bool makeFolder(const std::string& path, std::string* reason) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error)) {
        return true;
    }
    if (reason) {
        *reason = error ? error.message() : std::string("Not a directory");
    }
    return false;
}

}  // namespace dvr::player
