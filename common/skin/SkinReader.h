#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/skin/SkinFile.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/SkinValues.h"

namespace dvr::skin {

// The viewer's skin file (ini/res.ini). Open it once; lookups then answer from what was read.
// A reader whose file could not be opened answers nothing: strings come back absent, positions empty
// and bitmaps absent, and the window still opens.
class SkinReader {
public:
    static constexpr const char* kOpenFailedMessage = "Can't open file for reading :\n";

    // `programFolder` is where bitmap file names resolve; `notifier` may be null (messages are dropped).
    SkinReader(std::string programFolder, SkinNotifier* notifier);

    // Reads the skin file; on failure shows "Can't open file for reading :\n" and stays closed.
    bool open(const std::string& path);
    bool isOpen() const { return m_file.loaded(); }
    const std::string& path() const { return m_file.path(); }
    const std::string& programFolder() const { return m_file.programFolder(); }

    // The text of key in section, default "EMPTY", at most 259 characters; nothing when closed.
    std::optional<std::string> readString(std::string_view section, std::string_view key) const;
    // A position value; a missing key or a closed reader give (0, 0, 0, 0).
    SkinRect readPosition(std::string_view section, std::string_view key) const;
    // The path of a bitmap value resolved against the program folder; nothing for "EMPTY" values (see
    // SkinValues::isEmptyBitmap), missing keys and a closed reader.
    std::optional<std::string> readBitmapPath(std::string_view section, std::string_view key) const;
    // The four bitmap keys of a button section.
    ButtonImageFiles readButtonImages(std::string_view section) const;

private:
    SkinFile m_file;
    SkinNotifier* m_notifier = nullptr;
};

// One position of the viewer's skin file read without a reader object (the main frame's size, the
// playback window): default "EMPTY", so a missing file or key gives (0, 0, 0, 0) and no message.
SkinRect readViewerSkinPosition(const std::string& skinPath, std::string_view section, std::string_view key);

}  // namespace dvr::skin
