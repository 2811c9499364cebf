#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "common/fs/FileResult.h"

namespace dvr::fs {

// An owned file descriptor, closed when it ends.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// Creates a file that must not exist yet (an export, a still, a recording): write-only, exclusive, never
// through a link, with `mode` less what the user's umask takes away (a user who keeps new files private
// gets private exports). Fails with EEXIST when anything is at the path.
UniqueFd createNew(const std::string& path, unsigned mode, std::string* reason);
// createNew for a caller that was told to overwrite: whatever is at the path (a file, a link; not a
// folder) is removed first, a link without touching its target, then the file is created as new.
UniqueFd createReplacing(const std::string& path, unsigned mode, std::string* reason);

// The process's file creation mask, as the kernel reports it (without changing it, so safe while other
// threads create files); 077, the most private, when it cannot be read.
unsigned currentUmask();

// Opens a file to read as input: without blocking (a FIFO or device at the path cannot hang the
// caller), refused unless it is a regular file ("not a regular file"). The descriptor returned reads
// in blocking mode again.
UniqueFd openInput(const std::string& path, std::string* reason);
// The whole of an input file opened as above; nothing with the reason when it cannot be read or is
// larger than `maxBytes` ("larger than N bytes").
std::optional<std::string> readInput(const std::string& path, std::size_t maxBytes, std::string* reason);

// A folder only `userId` may use (locks, local sockets): made with its missing parents, mode 0700, when
// absent; then it must be a folder (not a link), owned by `userId`, and closed to others (a folder of
// the user's own that is open to others is closed to 0700 first). Fails with the reason otherwise.
FileResult ensurePrivateFolder(const std::string& folder, unsigned userId);
// The same checks without making or changing anything.
FileResult checkPrivateFolder(const std::string& folder, unsigned userId);

// Writes all bytes, retrying short writes and interruptions; false with errno set.
bool writeAll(int fd, const void* data, std::size_t size);

// Whether anything stands at the path: a file, a folder, a link (one that leads nowhere included), or
// something that cannot be looked at. Only a name found free can be created new.
bool nameTaken(const std::string& path);

// A whole new file (a still picture, a sound file) of `bytes`, created as createNew does. A write or
// close that fails (a full disk) removes what was created, so no part of a file is left to pass for the
// whole. Empty when written; else "cannot create PATH: REASON" or "cannot write PATH: REASON".
std::string writeNewFile(const std::string& path, const void* bytes, std::size_t size, unsigned mode);

}  // namespace dvr::fs
