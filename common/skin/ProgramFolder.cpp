#include "common/skin/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace dvr::skin {

std::string ProgramFolder::executableFolder() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(length));
    const std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

std::optional<std::string> ProgramFolder::takeHomeOption(std::vector<std::string>& arguments,
                                                         std::string* error) {
    static const std::string kOption = "--home";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kOption) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                if (error) {
                    *error = "--home needs a folder";
                }
                return std::nullopt;
            }
            std::string folder = arguments[i + 1];
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                            arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
            return folder;
        }
        if (argument.rfind(kOption + "=", 0) == 0) {
            std::string folder = argument.substr(kOption.size() + 1);
            if (folder.empty()) {
                if (error) {
                    *error = "--home needs a folder";
                }
                return std::nullopt;
            }
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
            return folder;
        }
    }
    return std::nullopt;
}

std::string ProgramFolder::resolve(const std::optional<std::string>& homeOption,
                                   const char* environmentVariable) {
    std::string folder;
    if (homeOption && !homeOption->empty()) {
        folder = *homeOption;
    } else if (const char* value = environmentVariable ? std::getenv(environmentVariable) : nullptr;
               value && *value) {
        folder = value;
    } else {
        return executableFolder();
    }
    folder = normalize(folder);
    if (!folder.empty() && folder.front() != '/') {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(folder, error);
        if (!error) {
            folder = normalize(absolute.string());
        }
    }
    return folder;
}

std::string ProgramFolder::resolve(const std::optional<std::string>& homeOption, const Program& program) {
    const bool explicitHome = (homeOption && !homeOption->empty()) || [&] {
        const char* value = std::getenv(program.homeVariable);
        return value && *value;
    }();
    if (explicitHome) {
        return resolve(homeOption, program.homeVariable);
    }
    return installedFolder(executableFolder(), program);
}

std::string ProgramFolder::installedFolder(const std::string& executableFolder, const Program& program) {
    std::error_code error;
    if (executableFolder.empty() ||
        std::filesystem::exists(join(executableFolder, program.markerFile), error)) {
        return executableFolder;
    }
    const std::string shared =
        std::filesystem::path(join(executableFolder, std::string("../share/") + program.shareName))
            .lexically_normal()
            .string();
    if (std::filesystem::exists(join(shared, program.markerFile), error)) {
        return normalize(shared);
    }
    return executableFolder;
}

bool ProgramFolder::isInstalledFolder(const std::string& folder, const std::string& executableFolder) {
    if (folder.empty() || executableFolder.empty()) {
        return false;
    }
    namespace fs = std::filesystem;
    const fs::path given = fs::path(normalize(folder)).lexically_normal();
    for (const Program* program : {&kViewer, &kPlayer}) {
        const fs::path shared =
            fs::path(join(executableFolder, std::string("../share/") + program->shareName))
                .lexically_normal();
        if (given == shared || given == shared / "") {
            return true;
        }
    }
    return false;
}

std::string ProgramFolder::normalize(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    const bool absolute = !path.empty() && (path.front() == '/' || path.front() == '\\');
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find_first_of("/\\", pos);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view step = path.substr(pos, end - pos);
        if (!step.empty() && step != ".") {
            if (!out.empty() && out.back() != '/') {
                out.push_back('/');
            }
            out.append(step);
        }
        pos = end + 1;
    }
    if (absolute) {
        out.insert(out.begin(), '/');
    } else if (out.empty() && !path.empty()) {
        out = ".";
    }
    // A trailing separator marks a folder; keep it so "folder/" + name stays a join.
    if (!path.empty() && (path.back() == '/' || path.back() == '\\') && !out.empty() && out.back() != '/') {
        out.push_back('/');
    }
    return out;
}

std::string ProgramFolder::join(std::string_view folder, std::string_view relative) {
    const std::string tail = normalize(relative);
    if (!tail.empty() && tail.front() == '/') {
        return tail;
    }
    std::string head = normalize(folder);
    if (head.empty() || head == ".") {
        return tail;
    }
    if (tail.empty() || tail == ".") {
        return head;
    }
    if (head.back() != '/') {
        head.push_back('/');
    }
    return head + tail;
}

}  // namespace dvr::skin
