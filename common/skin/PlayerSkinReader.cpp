#include "common/skin/PlayerSkinReader.h"

#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

namespace {

SkinFile readPlayerSkin(std::string programFolder) {
    std::string path = ProgramFolder::join(programFolder, PlayerSkinReader::kFileName);
    std::optional<IniDocument> document = IniFile(path).load();
    return SkinFile(std::move(programFolder), std::move(path), std::move(document));
}

}  // namespace

PlayerSkinReader::PlayerSkinReader(std::string programFolder, SkinNotifier* notifier)
    : m_file(readPlayerSkin(std::move(programFolder))), m_notifier(notifier) {}

std::string PlayerSkinReader::readString(std::string_view section, std::string_view key) const {
    return m_file.text(section, key);
}

int PlayerSkinReader::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = m_file.value(section, key);
    return (value && !value->empty()) ? parseProfileInt(*value) : defaultValue;
}

SkinRect PlayerSkinReader::readPosition(std::string_view section, std::string_view key, bool offset) const {
    const auto value = m_file.value(section, key);
    SkinRect rect =
        SkinValues::parsePosition(value ? *value : std::string(SkinValues::kPlayerDefaultPosition));
    if (offset) {
        rect.top += kOffsetPixels;
        rect.bottom += kOffsetPixels;
    }
    return rect;
}

std::optional<SkinRect> PlayerSkinReader::readMainFramePosition() const {
    const std::string value = readString("MAIN POS", "POS_SKIN");
    if (value == SkinValues::kEmpty) {
        if (m_notifier) {
            m_notifier->showMessage(kMissingWindowMessage, kMissingWindowCaption);
        }
        return std::nullopt;
    }
    return SkinValues::parsePosition(value);
}

std::optional<std::string> PlayerSkinReader::readBitmapPath(std::string_view section,
                                                            std::string_view key) const {
    return m_file.bitmapPath(section, key);
}

ButtonImageFiles PlayerSkinReader::readButtonImages(std::string_view section) const {
    return m_file.buttonImages(section);
}

}  // namespace dvr::skin
