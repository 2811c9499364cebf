#include "common/fs/SafeOpen.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvr::fs {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        at += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool nameTaken(const std::string& path) {
    struct stat existing {};
    return ::lstat(path.c_str(), &existing) == 0 || errno != ENOENT;
}

std::string writeNewFile(const std::string& path, const void* bytes, std::size_t size, unsigned mode) {
    std::string reason;
    UniqueFd fd = createNew(path, mode, &reason);
    if (!fd) {
        return "cannot create " + path + ": " + reason;
    }
    const bool written = writeAll(fd.get(), bytes, size);
    int error = errno;
    // close() reports a delayed write failure (a full disk over NFS) as well.
    if (::close(fd.release()) != 0 && written) {
        error = errno;
    } else if (written) {
        return {};
    }
    // The file is ours, created a moment ago: a part of it goes.
    ::unlink(path.c_str());
    return "cannot write " + path + ": " + std::strerror(error);
}

UniqueFd createNew(const std::string& path, unsigned mode, std::string* reason) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 07777u));
    if (!fd) {
        if (reason) {
            *reason = std::strerror(errno);
        }
        return fd;
    }
    // The kernel applied the umask to the creation mode, as for any file the user's programs create.
    return fd;
}

unsigned currentUmask() {
    // umask() can only be read by setting it, which would race with other threads creating files.
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr)
        return 077u;
    unsigned mask = 077u;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = value & 0777u;
            break;
        }
    }
    std::fclose(status);
    return mask;
}

UniqueFd createReplacing(const std::string& path, unsigned mode, std::string* reason) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            if (reason) {
                *reason = std::strerror(EISDIR);
            }
            return UniqueFd();
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            if (reason) {
                *reason = std::strerror(errno);
            }
            return UniqueFd();
        }
    }
    return createNew(path, mode, reason);
}

UniqueFd openInput(const std::string& path, std::string* reason) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        if (reason) {
            *reason = std::strerror(errno);
        }
        return fd;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        if (reason) {
            *reason = std::strerror(errno);
        }
        return UniqueFd();
    }
    if (!S_ISREG(status.st_mode)) {
        if (reason) {
            *reason = S_ISDIR(status.st_mode) ? "is a folder, not a regular file" : "not a regular file";
        }
        return UniqueFd();
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

FileResult checkPrivateFolder(const std::string& folder, unsigned userId) {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) {
        return FileResult::fromErrno(folder, errno);
    }
    if (!S_ISDIR(status.st_mode)) {
        return FileResult::failure(folder, "not a folder");
    }
    if (status.st_uid != userId) {
        return FileResult::failure(folder, "owned by user " + std::to_string(status.st_uid) +
                                               ", not by user " + std::to_string(userId));
    }
    if ((status.st_mode & 077u) != 0) {
        return FileResult::failure(folder, "open to other users");
    }
    return FileResult::success(folder);
}

FileResult ensurePrivateFolder(const std::string& folder, unsigned userId) {
    if (folder.empty()) {
        return FileResult::failure(folder, "no folder");
    }
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return FileResult::fromErrno(part, errno);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == userId &&
        (status.st_mode & 077u) != 0) {
        ::chmod(folder.c_str(), 0700);
    }
    return checkPrivateFolder(folder, userId);
}

std::optional<std::string> readInput(const std::string& path, std::size_t maxBytes, std::string* reason) {
    const UniqueFd fd = openInput(path, reason);
    if (!fd) {
        return std::nullopt;
    }
    std::string bytes;
    char block[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), block, sizeof block);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (reason) {
                *reason = std::strerror(errno);
            }
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            if (reason) {
                *reason = "larger than " + std::to_string(maxBytes) + " bytes";
            }
            return std::nullopt;
        }
        bytes.append(block, static_cast<std::size_t>(got));
    }
}

}  // namespace dvr::fs
