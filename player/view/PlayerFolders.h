#pragma once

#include <functional>
#include <string>

namespace dvr::player {

// The player's per-user data folder: $XDG_DATA_HOME/Discoro, else $HOME/.local/share/Discoro; empty
// when neither variable is set.
std::string playerUserDataFolder();

// True when files can be created in the folder (it exists and is writable).
bool folderWritable(const std::string& folder);

// Where the player writes a folder of its own files (Backup, avi): in the program folder while that is
// writable, else in the per-user data folder.
struct OutputFolder {
    std::string path;
    bool perUser = false;  // the program folder was not writable
};
OutputFolder chooseOutputFolder(const std::string& programFolder, const std::string& userDataFolder,
                                const std::string& name,
                                const std::function<bool(const std::string&)>& writable = folderWritable);

// Creates the folder and its parents when missing. False with the reason in words otherwise (also
// when the path names something that is not a folder).
bool makeFolder(const std::string& path, std::string* reason);

}  // namespace dvr::player
