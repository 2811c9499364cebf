#include "common/skin/SkinReader.h"

#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

SkinReader::SkinReader(std::string programFolder, SkinNotifier* notifier)
    : m_programFolder(std::move(programFolder)), m_notifier(notifier) {}

bool SkinReader::open(const std::string& path) {
    m_path = path;
    m_document.reset();
    if (const auto bytes = FileBytes::read(path)) {
        m_document = IniDocument::parse(*bytes);
        return true;
    }
    if (m_notifier) {
        m_notifier->showMessage(kOpenFailedMessage, {});
    }
    return false;
}

std::optional<std::string> SkinReader::readString(std::string_view section, std::string_view key) const {
    if (!m_document) {
        return std::nullopt;
    }
    const auto value = m_document->value(section, key);
    return TextCodec::leftChars(value ? std::string_view(*value) : std::string_view(SkinValues::kEmpty),
                                IniFile::kMaxTextChars);
}

SkinRect SkinReader::readPosition(std::string_view section, std::string_view key) const {
    const auto value = readString(section, key);
    return value ? SkinValues::parsePosition(*value) : SkinRect{};
}

std::optional<std::string> SkinReader::readBitmapPath(std::string_view section, std::string_view key) const {
    const auto value = readString(section, key);
    if (!value || SkinValues::isEmptyBitmap(*value)) {
        return std::nullopt;
    }
    return ProgramFolder::join(m_programFolder, *value);
}

ButtonImageFiles SkinReader::readButtonImages(std::string_view section) const {
    return ButtonImageFiles{readBitmapPath(section, "NORMAL"), readBitmapPath(section, "DOWN"),
                            readBitmapPath(section, "DISABLE"), readBitmapPath(section, "DNCHECK")};
}

SkinRect readViewerSkinPosition(const std::string& skinPath, std::string_view section, std::string_view key) {
    return SkinValues::parsePosition(IniFile(skinPath).readString(section, key, SkinValues::kEmpty));
}

}  // namespace dvr::skin
