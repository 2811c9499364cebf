#include "common/skin/SkinReader.h"

#include "common/skin/IniFile.h"

namespace dvr::skin {

SkinReader::SkinReader(std::string programFolder, SkinNotifier* notifier)
    : m_file(std::move(programFolder), {}, std::nullopt), m_notifier(notifier) {}

bool SkinReader::open(const std::string& path) {
    std::optional<IniDocument> document;
    if (const auto bytes = FileBytes::read(path)) {
        document = IniDocument::parse(*bytes);
    }
    const bool opened = document.has_value();
    m_file = SkinFile(m_file.programFolder(), path, std::move(document));
    if (!opened && m_notifier) {
        m_notifier->showMessage(kOpenFailedMessage, {});
    }
    return opened;
}

std::optional<std::string> SkinReader::readString(std::string_view section, std::string_view key) const {
    if (!m_file.loaded()) {
        return std::nullopt;
    }
    return m_file.text(section, key);
}

SkinRect SkinReader::readPosition(std::string_view section, std::string_view key) const {
    return m_file.loaded() ? SkinValues::parsePosition(m_file.text(section, key)) : SkinRect{};
}

std::optional<std::string> SkinReader::readBitmapPath(std::string_view section, std::string_view key) const {
    return m_file.bitmapPath(section, key);
}

ButtonImageFiles SkinReader::readButtonImages(std::string_view section) const {
    return m_file.buttonImages(section);
}

SkinRect readViewerSkinPosition(const std::string& skinPath, std::string_view section, std::string_view key) {
    return SkinValues::parsePosition(IniFile(skinPath).readString(section, key, SkinValues::kEmpty));
}

}  // namespace dvr::skin
