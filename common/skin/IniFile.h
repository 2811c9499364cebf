#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/fs/FileResult.h"
#include "common/skin/IniDocument.h"

namespace dvr::skin {

// Private-profile access to one ini file on disk. Every call reads the file afresh, so the file can be
// changed by others between calls; a missing or unreadable file reads as an empty one.
class IniFile {
public:
    // Longest text a lookup returns: a 260-character buffer including its terminator.
    static constexpr std::size_t kMaxTextChars = 259;

    explicit IniFile(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }
    // Whether anything is at the path (a file that cannot be read included).
    bool exists() const;

    // The value, or `defaultValue` when the file, section or key is missing; either is cut to
    // `maxChars` characters.
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue,
                           std::size_t maxChars = kMaxTextChars) const;
    // The value read as an integer (see parseProfileInt); `defaultValue` when missing or empty.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;

    // Sets keys of one section, keeping every other line and the file's encoding; creates the section,
    // the file (in `newFileEncoding`) and its folder when missing. A file that exists but cannot be
    // read (or is over 16 MiB) is never rewritten: the write is refused with the reason. `mode`: the
    // file's mode exactly (nothing keeps the old one).
    fs::FileResult setValues(std::string_view section,
                             const std::vector<std::pair<std::string, std::string>>& values,
                             std::optional<unsigned> mode = std::nullopt,
                             TextEncoding newFileEncoding = TextEncoding::Windows1252) const;
    // setValues for one key. False when the file cannot be written.
    bool writeString(std::string_view section, std::string_view key, std::string_view value) const;
    bool writeInt(std::string_view section, std::string_view key, int value) const;

    // The parsed file, or nothing when it cannot be read. Files above 16 MiB count as unreadable.
    std::optional<IniDocument> load(std::string* reason = nullptr) const;
    // Replaces the file by the document's bytes (through a temporary file in the same folder, so a
    // crash leaves the old or the new file, never half of one). Keeps the old file's permissions.
    bool save(const IniDocument& document) const;
    // save with the path and reason of a failure; `mode` as in setValues.
    fs::FileResult write(const IniDocument& document, std::optional<unsigned> mode = std::nullopt) const;

    // Rewrites a whole file as UTF-16LE with byte-order mark, every line ending in CR LF.
    static bool writeWholeUtf16(const std::string& path, const std::vector<std::string>& lines);

private:
    std::string m_path;
};

// Low-level file helpers shared by the ini and settings writers.
class FileBytes {
public:
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;
    // The whole file, or nothing (with the reason) when it is missing, unreadable, not a regular file
    // or larger than `maxBytes`.
    static std::optional<std::string> read(const std::string& path, std::size_t maxBytes = kMaxFileBytes,
                                           std::string* reason = nullptr);
    // Writes atomically (temporary file, then rename) with permission bits `mode`; the folder is
    // created when missing.
    static bool writeAtomically(const std::string& path, std::string_view bytes, unsigned mode);
};

}  // namespace dvr::skin
