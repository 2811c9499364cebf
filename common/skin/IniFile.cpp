#include "common/skin/IniFile.h"

#include <sys/stat.h>

#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"

namespace dvr::skin {

std::optional<std::string> FileBytes::read(const std::string& path, std::size_t maxBytes,
                                           std::string* reason) {
    return fs::readInput(path, maxBytes, reason);
}

bool FileBytes::writeAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    return fs::AtomicFile::writeWithMode(path, bytes, mode).ok;
}

bool IniFile::exists() const {
    struct stat status {};
    return ::lstat(m_path.c_str(), &status) == 0;
}

std::optional<IniDocument> IniFile::load(std::string* reason) const {
    const auto bytes = FileBytes::read(m_path, FileBytes::kMaxFileBytes, reason);
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
    return write(document).ok;
}

fs::FileResult IniFile::write(const IniDocument& document, std::optional<unsigned> mode) const {
    fs::AtomicFile::Options options;
    options.mode = mode;
    return fs::AtomicFile::write(m_path, document.serialize(), options);
}

fs::FileResult IniFile::setValues(std::string_view section,
                                  const std::vector<std::pair<std::string, std::string>>& values,
                                  std::optional<unsigned> mode, TextEncoding newFileEncoding) const {
    std::optional<IniDocument> document;
    if (exists()) {
        std::string reason;
        document = load(&reason);
        if (!document) {
            // Unreadable or oversized: never replace a file we could not read by one holding only these keys.
            return fs::FileResult::failure(m_path, "cannot be read (" + reason + "), so it is not rewritten");
        }
    } else {
        document.emplace(newFileEncoding);
    }
    for (const auto& [key, value] : values) {
        document->setValue(section, key, value);
    }
    return write(*document, mode);
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) const {
    return setValues(section, {{std::string(key), std::string(value)}}).ok;
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
    return fs::AtomicFile::write(path, TextCodec::encode(text, TextEncoding::Utf16LeBom)).ok;
}

}  // namespace dvr::skin
