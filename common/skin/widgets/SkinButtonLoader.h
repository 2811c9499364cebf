#pragma once

#include "common/skin/SkinButtonLogic.h"
#include "common/skin/SkinValues.h"

#include <QRect>
#include <QtGlobal>

#include <optional>

namespace dvr::skin {
class SkinReader;
}
namespace dvr::skin {
class PlayerSkinReader;
}

namespace dvr::skin {

class SkinButton;

// The four ways the programs load a skin button from its section's bitmaps
// (NORMAL, DOWN, DISABLE, DNCHECK). Each fills the five image slots, sets the
// kind, notification value and command id, enables the button and shows
// image 0. Missing files leave their slots empty.
//
//   loader          slot 0  slot 1  slot 2  slot 3   slot 4   value       kind
//   standard        NORMAL  DOWN    DOWN    DISABLE  DISABLE  command id  given
//   PTZ             NORMAL  DOWN    -       DNCHECK  DISABLE  see below   1
//   player main     NORMAL  DOWN    -       DNCHECK  DISABLE  -           1
//   player dialog   NORMAL  DOWN    -       -        DISABLE  -           1
class SkinButtonLoader {
public:
    // Viewer buttons of every kind.
    static void loadStandard(SkinButton& button, const ButtonImageFiles& files, int commandId,
                             ButtonKind kind);
    static void loadStandard(SkinButton& button, const SkinReader& reader, const char* section, int commandId,
                             ButtonKind kind);

    // Viewer PTZ buttons (kind 1). Without an explicit value the notification
    // value follows from the command id (ptzNotificationValue).
    static void loadPtz(SkinButton& button, const ButtonImageFiles& files, int commandId,
                        std::optional<quint32> value = std::nullopt);
    static void loadPtz(SkinButton& button, const SkinReader& reader, const char* section, int commandId,
                        std::optional<quint32> value = std::nullopt);
    // Direction buttons 1087..1094 give 1324 + i; zoom and focus 1095..1098
    // (index 8..11) give 1324 + index for even and 1024 + index for odd index.
    // Other ids give 0.
    static quint32 ptzNotificationValue(int commandId);

    // Player main window buttons (kind 1, no notification value).
    static void loadPlayerMain(SkinButton& button, const ButtonImageFiles& files, int commandId);
    static void loadPlayerMain(SkinButton& button, const PlayerSkinReader& reader, const char* section,
                               int commandId);

    // Player dialog buttons (image edit, backup): NORMAL, DOWN and DISABLE only.
    static void loadPlayerDialog(SkinButton& button, const ButtonImageFiles& files, int commandId);
    static void loadPlayerDialog(SkinButton& button, const PlayerSkinReader& reader, const char* section,
                                 int commandId);
};

// Qt rectangle of a skin position.
QRect toQRect(const SkinRect& rect);

}  // namespace dvr::skin
