#include "player/media/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/fs/SafeOpen.h"

namespace dvr::media {

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path, std::string* error) {
    // Opened without blocking and refused at once unless regular: a FIFO or device at the path would
    // otherwise hold the caller (the window's thread) until someone writes to it.
    fs::UniqueFd fd = fs::openInput(path, error);
    if (!fd)
        return nullptr;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        if (error)
            *error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<FileByteSource>(new FileByteSource(fd.release(), uint64_t(st.st_size)));
}

FileByteSource::~FileByteSource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

size_t FileByteSource::readAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(m_fd, out.data() + done, out.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

size_t MemoryByteSource::readAt(uint64_t offset, std::span<uint8_t> out) const {
    if (offset >= m_bytes.size())
        return 0;
    const size_t count = std::min<uint64_t>(out.size(), m_bytes.size() - offset);
    std::memcpy(out.data(), m_bytes.data() + offset, count);
    return count;
}

}  // namespace dvr::media
