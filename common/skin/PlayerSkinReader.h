#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/skin/SkinFile.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/SkinValues.h"

namespace dvr::skin {

// The player's skin file (res.ini in the program folder): window geometry, bitmaps and tooltips.
// The file is read once at construction; a missing file reads as empty.
class PlayerSkinReader {
public:
    static constexpr const char* kFileName = "res.ini";
    static constexpr const char* kMissingWindowMessage = "Can't create window. Needs another resource.";
    static constexpr const char* kMissingWindowCaption = "ZAV PLAYER";
    // How far the player's windows move a position down when they ask for it.
    static constexpr int kOffsetPixels = 104;

    // Reads programFolder/res.ini. `notifier` may be null (messages are dropped).
    PlayerSkinReader(std::string programFolder, SkinNotifier* notifier);

    const std::string& path() const { return m_file.path(); }
    bool fileFound() const { return m_file.loaded(); }

    // The text of key in section, default "EMPTY", at most 259 characters.
    std::string readString(std::string_view section, std::string_view key) const;
    // An integer value, `defaultValue` when missing.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    // A position value, default "<0><0><20><10>"; with `offset` the rectangle moves 104 pixels down.
    SkinRect readPosition(std::string_view section, std::string_view key, bool offset = false) const;
    // The main window's rectangle (MAIN POS / POS_SKIN). When the value is missing ("EMPTY") shows
    // "Can't create window. Needs another resource." (caption "ZAV PLAYER") and returns nothing: the
    // main window is then not created.
    std::optional<SkinRect> readMainFramePosition() const;
    // A bitmap value resolved against the program folder; nothing for "EMPTY" values and missing keys.
    std::optional<std::string> readBitmapPath(std::string_view section, std::string_view key) const;
    ButtonImageFiles readButtonImages(std::string_view section) const;

private:
    SkinFile m_file;
    SkinNotifier* m_notifier = nullptr;
};

}  // namespace dvr::skin
