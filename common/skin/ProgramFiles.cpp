#include "common/skin/ProgramFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"
#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

namespace fs = std::filesystem;

namespace {
bool isAbsolute(std::string_view path) {
    return !path.empty() && (path.front() == '/' || path.front() == '\\');
}
}  // namespace

ProgramFiles::ProgramFiles(std::string programFolder, std::string userFolder, WritableCheck writable,
                           std::optional<bool> installed)
    : m_programFolder(std::move(programFolder)),
      m_userFolder(std::move(userFolder)),
      m_writable(std::move(writable)),
      m_installed(
          installed ? *installed
                    : ProgramFolder::isInstalledFolder(m_programFolder, ProgramFolder::executableFolder())) {
    if (!m_writable) {
        m_writable = [](const std::string& path) {
            return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
        };
    }
}

std::string ProgramFiles::defaultUserFolder(std::string_view programName) {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = ProgramFolder::join(home, ".local/share");
    } else {
        return {};
    }
    return ProgramFolder::join(base, programName);
}

std::string ProgramFiles::readPath(std::string_view relative) const {
    if (!m_userFolder.empty() && !isAbsolute(relative)) {
        const std::string user = ProgramFolder::join(m_userFolder, relative);
        std::error_code error;
        if (fs::exists(user, error)) {
            return user;
        }
    }
    return ProgramFolder::join(m_programFolder, relative);
}

std::string ProgramFiles::writePath(std::string_view relative) const {
    const std::string shipped = ProgramFolder::join(m_programFolder, relative);
    if (m_userFolder.empty() || isAbsolute(relative)) {
        return shipped;
    }
    const std::string user = ProgramFolder::join(m_userFolder, relative);
    std::error_code error;
    if (fs::exists(user, error)) {
        return user;
    }
    return writableInProgramFolder(relative) ? shipped : user;
}

bool ProgramFiles::writableInProgramFolder(std::string_view relative) const {
    // The file itself and its folder when it exists, else the nearest folder on its way that exists:
    // that is what creating or replacing it needs to write. A program folder that does not exist at all
    // is not ours to create.
    std::error_code error;
    if (m_installed || m_programFolder.empty() || !fs::is_directory(m_programFolder, error)) {
        return false;
    }
    const fs::path root(m_programFolder);
    const fs::path target = root / ProgramFolder::normalize(relative);
    fs::path step = target;
    while (!fs::exists(step, error)) {
        if (step == root || !step.has_parent_path()) {
            return false;
        }
        step = step.parent_path();
    }
    // Something on the way that is not a folder (a file where "ini/" should be) blocks the write.
    if (step != target && !fs::is_directory(step, error)) {
        return false;
    }
    // An existing file is replaced whole through a new file in its folder and a rename: the folder
    // must take that as well as the file its write.
    if (step == target && !m_writable(target.parent_path().string())) {
        return false;
    }
    return m_writable(step.string());
}

std::string ProgramFiles::prepareWrite(std::string_view relative) const {
    const std::string target = writePath(relative);
    const std::string shipped = ProgramFolder::join(m_programFolder, relative);
    std::error_code error;
    const fs::path folder = fs::path(target).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, error);
        if (error) {
            return {};
        }
    }
    if (target != shipped && !fs::exists(fs::symlink_status(target, error)) &&
        fs::is_regular_file(shipped, error)) {
        const auto bytes = dvr::fs::readInput(shipped, FileBytes::kMaxFileBytes, nullptr);
        if (!bytes) {
            return {};
        }
        // The shipped file may be read-only; the copy belongs to the user, who must be able to write it.
        struct stat status {};
        const unsigned mode =
            ::stat(shipped.c_str(), &status) == 0 ? (status.st_mode & 0777u) | 0600u : 0644u;
        if (!dvr::fs::AtomicFile::writeWithMode(target, *bytes, mode).ok) {
            return {};
        }
    }
    return target;
}

}  // namespace dvr::skin
