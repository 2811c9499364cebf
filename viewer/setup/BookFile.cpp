#include "viewer/setup/BookFile.h"

#include <sys/stat.h>

#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"
#include "common/skin/IniFile.h"
#include "common/skin/TextCodec.h"

namespace dvr::setup {

std::string FileWriteResult::describe() const {
    if (ok) {
        return {};
    }
    return path + ": " + reason;
}

FileWriteResult BookFile::writeBytes(const std::string& path, std::string_view bytes) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode)) {
        // A book that is there but cannot be read would be replaced by the few rows the dialog knows.
        std::string reason;
        if (!fs::readInput(path, skin::FileBytes::kMaxFileBytes, &reason)) {
            return {false, path, "cannot be read (" + reason + "), so it is not rewritten"};
        }
    }
    const fs::FileResult result = fs::AtomicFile::write(path, bytes);
    return {result.ok, result.path, result.reason};
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
