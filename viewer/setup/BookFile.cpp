#include "viewer/setup/BookFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/skin/TextCodec.h"

namespace dvr::setup {

std::string FileWriteResult::describe() const {
    if (ok) {
        return {};
    }
    return path + ": " + reason;
}

namespace {

FileWriteResult failure(const std::string& path, int error) {
    return {false, path, std::strerror(error)};
}

}  // namespace

FileWriteResult BookFile::writeBytes(const std::string& path, std::string_view bytes) {
    const std::filesystem::path target(path);
    std::error_code folderError;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), folderError);
    }
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            return failure(path, EISDIR);
        }
        mode = existing.st_mode & 07777;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return failure(path, errno);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return failure(path, error);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return failure(path, error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return failure(path, error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return failure(path, error);
    }
    return {true, path, {}};
}

std::string BookFile::utf16Text(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return skin::TextCodec::encode(text, skin::TextEncoding::Utf16LeBom);
}

}  // namespace dvr::setup
