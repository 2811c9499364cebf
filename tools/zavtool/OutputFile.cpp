#include "tools/zavtool/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvr::zavtool {

namespace {

// Only a file or a link is ever replaced: a folder, device, FIFO or socket at the name is refused.
std::string refusalOf(const std::string& path, const struct stat& existing) {
    if (S_ISDIR(existing.st_mode))
        return path + " is a folder";
    if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        return path + " is not a regular file";
    return {};
}

}  // namespace

std::string checkOutput(const std::string& path, bool overwrite, std::initializer_list<std::string> inputs) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0)
        return {};
    if (std::string refusal = refusalOf(path, existing); !refusal.empty())
        return refusal;
    if (!overwrite)
        return path + " exists (--overwrite replaces it)";
    // Replacing the name of a file being read would delete it: the output is never one of the inputs.
    // (A link at the name is removed itself, so a link to an input is no danger.)
    if (S_ISREG(existing.st_mode)) {
        for (const std::string& input : inputs) {
            struct stat read {};
            if (::stat(input.c_str(), &read) == 0 && read.st_dev == existing.st_dev &&
                read.st_ino == existing.st_ino)
                return path + " is the file being read";
        }
    }
    return {};
}

std::string removeOutput(const std::string& path) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0)
        return {};
    if (std::string refusal = refusalOf(path, existing); !refusal.empty())
        return refusal;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot replace " + path + ": " + std::strerror(errno);
    return {};
}

}  // namespace dvr::zavtool
