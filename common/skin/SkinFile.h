#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/skin/IniDocument.h"
#include "common/skin/SkinValues.h"

namespace dvr::skin {

// One skin file as read, with the program folder its bitmap names resolve against: the lookups both
// programs' skin readers make. A file that was not read answers nothing.
class SkinFile {
public:
    SkinFile() = default;
    SkinFile(std::string programFolder, std::string path, std::optional<IniDocument> document);

    const std::string& programFolder() const { return m_programFolder; }
    const std::string& path() const { return m_path; }
    bool loaded() const { return m_document.has_value(); }

    // The value of key in section as stored; nothing when missing or not read.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // The text of key in section, default "EMPTY", at most 259 characters.
    std::string text(std::string_view section, std::string_view key) const;
    // The path of a bitmap value resolved against the program folder; nothing for "EMPTY" values (see
    // SkinValues::isEmptyBitmap), missing keys and a file not read.
    std::optional<std::string> bitmapPath(std::string_view section, std::string_view key) const;
    // The four bitmap keys of a button section.
    ButtonImageFiles buttonImages(std::string_view section) const;

private:
    std::string m_programFolder;
    std::string m_path;
    std::optional<IniDocument> m_document;
};

}  // namespace dvr::skin
