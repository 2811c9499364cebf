#include "common/skin/PlayerInfo.h"

#include "common/skin/IniFile.h"

namespace dvr::skin {

namespace {
constexpr const char* kSection = "INFO";
}

PlayerInfo PlayerInfoStore::read(const std::string& resIniPath) {
    PlayerInfo info;
    const auto document = IniFile(resIniPath).load();
    if (!document) {
        return info;
    }
    const auto readInt = [&](const char* key, int defaultValue) {
        const auto value = document->value(kSection, key);
        return (value && !value->empty()) ? parseProfileInt(*value) : defaultValue;
    };
    info.pal = readInt("PAL", 0);
    info.filter = readInt("FILTER", 0);
    info.tooltipOn = readInt("TOOLTIP_ON", 0);
    return info;
}

bool PlayerInfoStore::write(const std::string& resIniPath, int mode, int pal) {
    const IniFile file(resIniPath);
    std::optional<IniDocument> document;
    if (file.exists()) {
        document = file.load();
        if (!document) {
            return false;
        }
    } else {
        document.emplace(TextEncoding::Windows1252);
    }
    document->setValue(kSection, "MODE", std::to_string(mode));
    document->setValue(kSection, "PAL", std::to_string(pal));
    return file.save(*document);
}

}  // namespace dvr::skin
