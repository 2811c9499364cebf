#include "tools/zavtool/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvr::zavtool {

std::string clearOutput(const std::string& path, bool overwrite) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0)
        return {};
    if (S_ISDIR(existing.st_mode))
        return path + " is a folder";
    // Only a file or a link is ever removed: a device, FIFO or socket at the name is refused.
    if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        return path + " is not a regular file";
    if (!overwrite)
        return path + " exists (--overwrite replaces it)";
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot replace " + path + ": " + std::strerror(errno);
    return {};
}

}  // namespace dvr::zavtool
