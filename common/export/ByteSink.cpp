#include "common/export/ByteSink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dvr::exporting {

std::unique_ptr<FileSink> FileSink::create(const std::string& path, std::string* reason) {
    // A new file only: an existing file or a link at the name is never written through.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (reason)
            *reason = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<FileSink>(new FileSink(fd));
}

FileSink::~FileSink() {
    if (m_fd >= 0)
        ::close(m_fd);
}

Status FileSink::write(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            m_position += done;
            return Status::failure(std::strerror(error));
        }
        done += size_t(n);
    }
    m_position += done;
    return Status::success();
}

Status FileSink::seek(uint64_t offsetBytes) {
    if (::lseek(m_fd, off_t(offsetBytes), SEEK_SET) < 0)
        return Status::failure(std::strerror(errno));
    m_position = offsetBytes;
    return Status::success();
}

Status FileSink::sync() {
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return Status::failure(std::strerror(errno));
    return Status::success();
}

Status MemorySink::write(std::span<const uint8_t> bytes) {
    const uint64_t room = m_position >= m_limitBytes ? 0 : m_limitBytes - m_position;
    const size_t count = size_t(std::min<uint64_t>(room, bytes.size()));
    if (m_bytes.size() < m_position + count)
        m_bytes.resize(size_t(m_position + count));
    std::copy_n(bytes.data(), count, m_bytes.begin() + std::ptrdiff_t(m_position));
    m_position += count;
    if (count < bytes.size())
        return Status::failure("No space left on device");
    return Status::success();
}

Status MemorySink::seek(uint64_t offsetBytes) {
    if (offsetBytes > m_bytes.size())
        return Status::failure("Invalid argument");
    m_position = offsetBytes;
    return Status::success();
}

}  // namespace dvr::exporting
