#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dvr::setup {

// The outcome of writing one file: on failure the path and the reason (the system's error text).
struct FileWriteResult {
    bool ok = true;
    std::string path;
    std::string reason;

    // "PATH: REASON" for a message box; empty on success.
    std::string describe() const;
};

// Writes of the address-book files. Every write goes to a temporary file in the same folder which then
// replaces the old file, so a failed write leaves what was stored before; the folder is created when
// missing and an existing file keeps its permission bits. A file that exists but cannot be read is
// never replaced.
class BookFile {
public:
    static FileWriteResult writeBytes(const std::string& path, std::string_view bytes);
    // The lines as UTF-16 little-endian text with a byte-order mark, each ending in CR LF.
    static std::string utf16Text(const std::vector<std::string>& lines);
};

}  // namespace dvr::setup
