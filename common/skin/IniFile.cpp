#include "common/skin/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

namespace dvr::skin {

namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::optional<std::string> FileBytes::read(const std::string& path, std::size_t maxBytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[8192];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > maxBytes) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool FileBytes::writeAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), error);
    }
    static thread_local std::mt19937 generator{std::random_device{}()};
    const std::string temporary = path + ".tmp" + std::to_string(generator() % 1000000u);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777u);
    if (fd < 0) {
        return false;
    }
    // The creation mode is filtered by the umask; set it exactly (the settings file must stay private).
    bool ok = ::fchmod(fd, mode & 07777u) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

bool IniFile::exists() const {
    std::error_code error;
    return std::filesystem::is_regular_file(m_path, error);
}

std::optional<IniDocument> IniFile::load() const {
    const auto bytes = FileBytes::read(m_path);
    if (!bytes) {
        return std::nullopt;
    }
    return IniDocument::parse(*bytes);
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                std::size_t maxChars) const {
    const auto document = load();
    std::optional<std::string> value;
    if (document) {
        value = document->value(section, key);
    }
    return TextCodec::leftChars(value ? std::string_view(*value) : defaultValue, maxChars);
}

int IniFile::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto document = load();
    if (!document) {
        return defaultValue;
    }
    const auto value = document->value(section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    return parseProfileInt(*value);
}

bool IniFile::save(const IniDocument& document) const {
    unsigned mode = 0644;
    struct stat status {};
    if (::stat(m_path.c_str(), &status) == 0) {
        mode = status.st_mode & 07777u;
    }
    return FileBytes::writeAtomically(m_path, document.serialize(), mode);
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) const {
    std::optional<IniDocument> document;
    if (exists()) {
        document = load();
        if (!document) {
            return false;  // unreadable or oversized: never replace a file we could not read
        }
    } else {
        document.emplace(TextEncoding::Windows1252);
    }
    document->setValue(section, key, value);
    return save(*document);
}

bool IniFile::writeInt(std::string_view section, std::string_view key, int value) const {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeWholeUtf16(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        // A line break inside a line would add a line to the file; it becomes a blank.
        for (const char c : line) {
            text.push_back(c == '\r' || c == '\n' ? ' ' : c);
        }
        text += "\r\n";
    }
    unsigned mode = 0644;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        mode = status.st_mode & 07777u;
    }
    return FileBytes::writeAtomically(path, TextCodec::encode(text, TextEncoding::Utf16LeBom), mode);
}

}  // namespace dvr::skin
