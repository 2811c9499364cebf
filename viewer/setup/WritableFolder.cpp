#include "viewer/setup/WritableFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "common/skin/ProgramFolder.h"

namespace dvr::setup {

namespace {

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// True when the file can be written in place, or created: the nearest existing folder above a missing
// file must be writable.
bool writable(const std::string& path) {
    if (exists(path)) {
        return ::access(path.c_str(), W_OK) == 0;
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    while (!folder.empty() && !exists(folder.string())) {
        if (folder == folder.parent_path()) {
            return false;
        }
        folder = folder.parent_path();
    }
    std::error_code error;
    return !folder.empty() && std::filesystem::is_directory(folder, error) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

WritableFolder::WritableFolder(std::string programFolder, std::string userFolder)
    : m_programFolder(std::move(programFolder)), m_userFolder(std::move(userFolder)) {}

std::string WritableFolder::defaultUserFolder() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = ProgramFolder::join(home, ".local/share");
    } else {
        return {};
    }
    return ProgramFolder::join(base, "Vistrel");
}

std::string WritableFolder::readPath(std::string_view relativePath) const {
    if (!m_userFolder.empty()) {
        const std::string user = ProgramFolder::join(m_userFolder, relativePath);
        if (exists(user)) {
            return user;
        }
    }
    return ProgramFolder::join(m_programFolder, relativePath);
}

std::string WritableFolder::writePath(std::string_view relativePath) const {
    const std::string shipped = ProgramFolder::join(m_programFolder, relativePath);
    if (m_userFolder.empty()) {
        return shipped;
    }
    const std::string user = ProgramFolder::join(m_userFolder, relativePath);
    if (exists(user)) {
        return user;
    }
    if (writable(shipped)) {
        return shipped;
    }
    // The first per-user copy starts from the shipped file, so the keys nobody changed keep their values
    // once the copy is read instead of it. A failed copy shows when the file is written.
    if (exists(shipped)) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(user).parent_path(), error);
        std::filesystem::copy_file(shipped, user, error);
    }
    return user;
}

}  // namespace dvr::setup
