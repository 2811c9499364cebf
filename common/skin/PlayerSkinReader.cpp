#include "common/skin/PlayerSkinReader.h"

#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

PlayerSkinReader::PlayerSkinReader(std::string programFolder, SkinNotifier* notifier)
    : m_programFolder(std::move(programFolder)),
      m_notifier(notifier),
      m_path(ProgramFolder::join(m_programFolder, kFileName)),
      m_document(IniFile(m_path).load()) {}

std::string PlayerSkinReader::readString(std::string_view section, std::string_view key) const {
    std::optional<std::string> value;
    if (m_document) {
        value = m_document->value(section, key);
    }
    return TextCodec::leftChars(value ? std::string_view(*value) : std::string_view(SkinValues::kEmpty),
                                IniFile::kMaxTextChars);
}

int PlayerSkinReader::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    if (!m_document) {
        return defaultValue;
    }
    const auto value = m_document->value(section, key);
    return (value && !value->empty()) ? parseProfileInt(*value) : defaultValue;
}

SkinRect PlayerSkinReader::readPosition(std::string_view section, std::string_view key, bool offset) const {
    std::optional<std::string> value;
    if (m_document) {
        value = m_document->value(section, key);
    }
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
    const std::string value = readString(section, key);
    if (SkinValues::isEmptyBitmap(value)) {
        return std::nullopt;
    }
    return ProgramFolder::join(m_programFolder, value);
}

ButtonImageFiles PlayerSkinReader::readButtonImages(std::string_view section) const {
    return ButtonImageFiles{readBitmapPath(section, "NORMAL"), readBitmapPath(section, "DOWN"),
                            readBitmapPath(section, "DISABLE"), readBitmapPath(section, "DNCHECK")};
}

}  // namespace dvr::skin
