#include "tools/zavtool/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

std::string SetAsideOutput::setAside(const std::string& path) {
    finish();
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0)
        return {};
    if (std::string refusal = refusalOf(path, existing); !refusal.empty())
        return refusal;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A name of our own made exclusively, then taken over by the rename.
    std::string aside = folder + "/." + name + ".old.XXXXXX";
    const int fd = ::mkstemp(aside.data());
    if (fd < 0)
        return "cannot replace " + path + ": " + std::strerror(errno);
    ::close(fd);
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        const int error = errno;
        ::unlink(aside.c_str());
        return "cannot replace " + path + ": " + std::strerror(error);
    }
    m_path = path;
    m_aside = aside;
    return {};
}

void SetAsideOutput::finish() {
    if (m_aside.empty())
        return;
    // Put back only over nothing: a new file at the name, whole or not, is never replaced by the old.
    if (::renameat2(AT_FDCWD, m_aside.c_str(), AT_FDCWD, m_path.c_str(), RENAME_NOREPLACE) != 0) {
        struct stat existing {};
        if (errno == EEXIST || ::lstat(m_path.c_str(), &existing) == 0)
            ::unlink(m_aside.c_str());
        else
            // A file system without the no-replace rename: the name is free, so a plain one does. Should
            // that fail too, the earlier file stays under the hidden name rather than be lost.
            ::rename(m_aside.c_str(), m_path.c_str());
    }
    m_path.clear();
    m_aside.clear();
}

}  // namespace dvr::zavtool
