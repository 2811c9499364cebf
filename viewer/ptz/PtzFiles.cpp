#include "viewer/ptz/PtzFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace dvr::ptz {

namespace fs = std::filesystem;

namespace {

// Largest command file read: 16 blocks of 30 lines of 256 characters fit many
// times over; anything bigger is not a command file.
constexpr std::uintmax_t kMaxFileBytes = 4 * 1024 * 1024;

std::string ptzPath(const std::string& folder, std::string_view fileName) {
    return (fs::path(folder) / kPtzFolderName / fs::path(std::string(fileName))).string();
}

bool createEmpty(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    return static_cast<bool>(out);
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
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[8192];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) {
            text.resize(kMaxFileBytes);
            break;
        }
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
    const bool mayWrite = writable ? writable(checked) : ::access(checked.c_str(), W_OK) == 0;
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
    for (const std::string& path : candidates) {
        if (const auto text = readWholeFile(path)) {
            readBlockFile(*text, table);
            return {PtzFileOutcome::Loaded, path};
        }
    }
    // Not found: create it empty where we may write, first the program folder.
    for (const std::string& path : candidates)
        if (createEmpty(path))
            return {PtzFileOutcome::CreatedEmpty, path};
    return {PtzFileOutcome::Unavailable, candidates.empty() ? std::string() : candidates.front()};
}

}  // namespace dvr::ptz
