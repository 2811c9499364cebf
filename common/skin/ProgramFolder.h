#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::skin {

// Where the program's own files live (ini/, PTZ/, logo/, skins, Backup/, avi/). Every file the programs
// locate beside themselves or in the working directory is resolved against this folder, so they work
// from whatever folder they are started in. Files the program writes may go to a per-user folder
// instead (ProgramFiles).
class ProgramFolder {
public:
    static constexpr const char* kViewerHomeVariable = "VISTREL_HOME";
    static constexpr const char* kPlayerHomeVariable = "DISCORO_HOME";

    // How one program finds its files.
    struct Program {
        const char* homeVariable;  // environment variable naming the program folder
        const char* shareName;     // installed files: <prefix>/share/<shareName>, beside <prefix>/bin
        const char* markerFile;    // a shipped file that tells a folder holds the program's files
        const char* userName;      // per-user folders: $XDG_DATA_HOME/<userName>, $XDG_CONFIG_HOME/<userName>
    };
    static constexpr Program kViewer{kViewerHomeVariable, "vistrel", "ini/res.ini", "Vistrel"};
    static constexpr Program kPlayer{kPlayerHomeVariable, "discoro", "res.ini", "Discoro"};

    // The folder of the running executable (from /proc/self/exe); empty when it cannot be read.
    static std::string executableFolder();

    // Removes "--home DIR" or "--home=DIR" from the arguments (the first element is the program name and
    // is kept) and returns DIR. `error` is set, and nothing returned, when "--home" has no folder after it.
    static std::optional<std::string> takeHomeOption(std::vector<std::string>& arguments, std::string* error);

    // The program folder: the --home folder when given, else the environment variable (when set and not
    // empty), else the executable's folder. Relative folders are made absolute against the current one.
    static std::string resolve(const std::optional<std::string>& homeOption, const char* environmentVariable);
    // The program folder of `program`, in this order: the --home folder, the environment variable,
    // then installedFolder() of the executable's folder.
    static std::string resolve(const std::optional<std::string>& homeOption, const Program& program);
    // `executableFolder` when it holds the program's marker file (the build tree, a portable copy),
    // else ../share/<shareName> beside it when that holds it (an installed program), else
    // `executableFolder` (whose missing files are then reported as usual).
    static std::string installedFolder(const std::string& executableFolder, const Program& program);
    // Whether `folder` is the installed files of a program beside `executableFolder`:
    // <executableFolder>/../share/<shareName> of Vistrel or Discoro.
    static bool isInstalledFolder(const std::string& folder, const std::string& executableFolder);

    // A path of the text in this platform's form: backslashes become '/', doubled separators and "./"
    // steps are collapsed. The case of names is kept.
    static std::string normalize(std::string_view path);
    // `relative` placed inside `folder` (both normalized); an absolute `relative` is returned as it is.
    static std::string join(std::string_view folder, std::string_view relative);
};

}  // namespace dvr::skin
