// Where block command files live and how a missing one is handled: a file is
// read from the per-user data folder's PTZ/ (where the user's saved copy of a
// shipped file goes) and then from the program folder's PTZ/; a file found in
// neither is created empty (in the program folder while it is writable and not
// an installed one, else in the per-user folder) so the user is told once and
// can fill it in.
#pragma once

#include "viewer/ptz/PtzCommandTable.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::ptz {

inline constexpr std::string_view kPtzFolderName = "PTZ";

struct PtzFolders {
    std::string programFolder;   // the folder the shipped PTZ/ lives in
    std::string userDataFolder;  // per-user fallback ($XDG_DATA_HOME/Vistrel); may be empty
};

// The per-user data folder of the viewer: $XDG_DATA_HOME/Vistrel, else
// $HOME/.local/share/Vistrel; empty when neither variable is set.
std::string defaultUserDataFolder();

enum class PtzFileOutcome {
    Loaded,        // the file was read
    CreatedEmpty,  // not found; an empty file was created (the user is told)
    Unavailable,   // not found and could not be created anywhere
};

struct PtzFileResult {
    PtzFileOutcome outcome = PtzFileOutcome::Unavailable;
    std::string path;  // the file read or created
};

// Reads the whole of a file; nothing when it cannot be opened.
// Largest command file read: 16 blocks of 30 lines of 256 characters fit many
// times over; anything bigger is not a command file.
inline constexpr std::size_t kMaxPtzFileBytes = 4 * 1024 * 1024;

std::optional<std::string> readWholeFile(const std::string& path);

// Where saving the command file at `currentPath` starts: the file itself while this user may write it
// (or, when it does not exist yet, its folder) and it is not an installed program's; else the per-user copy
// `userDataFolder`/PTZ/<name>, whose folder is made. `writable` answers for a path (default: the file
// system's answer for this process). An empty path or user folder gives `currentPath`.
std::string ptzSaveStartPath(const std::string& currentPath, const std::string& userDataFolder,
                             const std::function<bool(const std::string&)>& writable = {});

// Finds `fileName` in the PTZ folders and reads it into the table (cameras
// the file names are filled, the others kept).
PtzFileResult loadPtzFile(const PtzFolders& folders, std::string_view fileName, PtzCommandTable& table);

}  // namespace dvr::ptz
