#include "viewer/ptz/PtzFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "common/fs/SafeOpen.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::ptz {

namespace fs = std::filesystem;

namespace {

std::string ptzPath(const std::string& folder, std::string_view fileName) {
    return (fs::path(folder) / kPtzFolderName / fs::path(std::string(fileName))).string();
}

bool createEmpty(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    // An empty file, or the file already there; a link at the name is never followed.
    const dvr::fs::UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    return fd.valid();
}

}  // namespace

std::string defaultUserDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return (fs::path(data) / "Vistrel").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".local" / "share" / "Vistrel").string();
    return {};
}

std::optional<std::string> readWholeFile(const std::string& path) {
    const dvr::fs::UniqueFd fd = dvr::fs::openInput(path, nullptr);
    if (!fd)
        return std::nullopt;
    std::string text;
    char buffer[8192];
    while (text.size() < kMaxPtzFileBytes) {
        const ssize_t got = ::read(fd.get(), buffer, std::min(sizeof buffer, kMaxPtzFileBytes - text.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

std::string ptzSaveStartPath(const std::string& currentPath, const std::string& userDataFolder,
                             const std::function<bool(const std::string&)>& writable) {
    if (currentPath.empty() || userDataFolder.empty())
        return currentPath;
    std::error_code ec;
    const fs::path current(currentPath);
    const std::string checked = fs::exists(current, ec) ? currentPath : current.parent_path().string();
    // The installed program's PTZ/ is never written, whoever runs the program (root's access() says yes).
    const bool mayWrite =
        writable ? writable(checked)
                 : ::access(checked.c_str(), W_OK) == 0 &&
                       !skin::ProgramFolder::isInstalledFolder(current.parent_path().parent_path().string(),
                                                               skin::ProgramFolder::executableFolder());
    if (mayWrite)
        return currentPath;
    const fs::path folder = fs::path(userDataFolder) / kPtzFolderName;
    fs::create_directories(folder, ec);
    return (folder / current.filename()).string();
}

PtzFileResult loadPtzFile(const PtzFolders& folders, std::string_view fileName, PtzCommandTable& table) {
    std::vector<std::string> candidates;
    if (!folders.programFolder.empty())
        candidates.push_back(ptzPath(folders.programFolder, fileName));
    if (!folders.userDataFolder.empty())
        candidates.push_back(ptzPath(folders.userDataFolder, fileName));
    // A per-user copy is the file once it exists: the user's saved commands, read before the shipped
    // ones they were made from.
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (const auto text = readWholeFile(*it)) {
            readBlockFile(*text, table);
            return {PtzFileOutcome::Loaded, *it};
        }
    }
    // Not found: create it empty where we may write, first the program folder, unless that is an
    // installed one (never written, whoever runs the program).
    const bool installed = skin::ProgramFolder::isInstalledFolder(folders.programFolder,
                                                                  skin::ProgramFolder::executableFolder());
    for (const std::string& path : candidates) {
        if (installed && !folders.programFolder.empty() && path == candidates.front())
            continue;
        if (createEmpty(path))
            return {PtzFileOutcome::CreatedEmpty, path};
    }
    return {PtzFileOutcome::Unavailable, candidates.empty() ? std::string() : candidates.front()};
}

}  // namespace dvr::ptz
