#include "common/skin/SkinFile.h"

#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

SkinFile::SkinFile(std::string programFolder, std::string path, std::optional<IniDocument> document)
    : m_programFolder(std::move(programFolder)), m_path(std::move(path)), m_document(std::move(document)) {}

std::optional<std::string> SkinFile::value(std::string_view section, std::string_view key) const {
    if (!m_document) {
        return std::nullopt;
    }
    return m_document->value(section, key);
}

std::string SkinFile::text(std::string_view section, std::string_view key) const {
    const auto stored = value(section, key);
    return TextCodec::leftChars(stored ? std::string_view(*stored) : std::string_view(SkinValues::kEmpty),
                                IniFile::kMaxTextChars);
}

std::optional<std::string> SkinFile::bitmapPath(std::string_view section, std::string_view key) const {
    const std::string name = text(section, key);
    if (SkinValues::isEmptyBitmap(name)) {
        return std::nullopt;
    }
    return ProgramFolder::join(m_programFolder, name);
}

ButtonImageFiles SkinFile::buttonImages(std::string_view section) const {
    return ButtonImageFiles{bitmapPath(section, "NORMAL"), bitmapPath(section, "DOWN"),
                            bitmapPath(section, "DISABLE"), bitmapPath(section, "DNCHECK")};
}

}  // namespace dvr::skin
