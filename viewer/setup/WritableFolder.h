#pragma once

#include <string>
#include <string_view>

namespace dvr::setup {

// Where the viewer's own ini files are read from and written to. Files belong in the program folder
// while it is writable; otherwise they go to the per-user data folder ($XDG_DATA_HOME/Vistrel), and a
// per-user copy, once it exists, is read and written before the shipped file.
class WritableFolder {
public:
    // `userFolder` empty: files are only ever taken from the program folder.
    WritableFolder(std::string programFolder, std::string userFolder);

    // $XDG_DATA_HOME/Vistrel (XDG_DATA_HOME defaulting to ~/.local/share); empty without either.
    static std::string defaultUserFolder();

    // The viewer's folders: `programFolder` and the default per-user folder. The viewer reads opt.ini at
    // start-up from forViewer(home).readPath("ini/opt.ini") so that a per-user copy counts.
    static WritableFolder forViewer(const std::string& programFolder) {
        return WritableFolder(programFolder, defaultUserFolder());
    }

    const std::string& programFolder() const { return m_programFolder; }
    const std::string& userFolder() const { return m_userFolder; }

    // The file to read `relativePath` from: the per-user copy when there is one, else the shipped file.
    std::string readPath(std::string_view relativePath) const;
    // The file to write `relativePath` to: the per-user copy when there is one, else the program folder's
    // file while that (or its folder) is writable, else the per-user location, which then starts as a
    // copy of the shipped file.
    std::string writePath(std::string_view relativePath) const;

private:
    std::string m_programFolder;
    std::string m_userFolder;
};

}  // namespace dvr::setup
