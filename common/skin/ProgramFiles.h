#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::skin {

// The program's files in two places: the program folder with the shipped files (read-only once
// installed) and a per-user folder that takes what the program writes when it may not write
// beside itself. Settings, address books, PTZ files, events and saved pictures then stay per user.
//
// One rule for every file: once a per-user copy exists it is the file, for reading and writing;
// before that the program folder's file is read, and written too when the program folder is
// writable.
class ProgramFiles {
public:
    // Whether this user may write the existing file or folder at a path.
    using WritableCheck = std::function<bool(const std::string& path)>;

    // `programFolder` holds the shipped files; `userFolder` (may be empty: no per-user files) takes
    // the written ones when the program folder is not writable. `writable` defaults to the file
    // system's answer for this process. An installed program folder (`installed`, by default
    // ProgramFolder::isInstalledFolder of this executable) is never written, whoever runs the
    // program: its writes go to the per-user folder.
    ProgramFiles(std::string programFolder, std::string userFolder, WritableCheck writable = {},
                 std::optional<bool> installed = std::nullopt);

    // $XDG_DATA_HOME/`programName` (XDG_DATA_HOME defaulting to ~/.local/share); empty when neither
    // an absolute XDG_DATA_HOME nor HOME is set.
    static std::string defaultUserFolder(std::string_view programName);

    const std::string& programFolder() const { return m_programFolder; }
    const std::string& userFolder() const { return m_userFolder; }

    // Where `relative` (a file or folder) is read: the per-user copy when it exists, else the
    // program folder's. An absolute `relative` is returned as it is.
    std::string readPath(std::string_view relative) const;
    // Where `relative` is written: the per-user copy when it exists; else the program folder's
    // when that can be written there (the file itself, or the nearest folder on its way that
    // exists, is writable); else the per-user folder's. An absolute `relative` is returned as it is.
    std::string writePath(std::string_view relative) const;
    // writePath(`relative`) for a file about to be changed: creates its folder and, when the file
    // is moving to the per-user folder, first copies the shipped file there, so that writing a few
    // keys keeps the rest of it. Empty when the folder or the copy cannot be made.
    std::string prepareWrite(std::string_view relative) const;

private:
    bool writableInProgramFolder(std::string_view relative) const;

    std::string m_programFolder;
    std::string m_userFolder;
    WritableCheck m_writable;
    bool m_installed = false;
};

}  // namespace dvr::skin
