// What Discoro's windows share when they dress themselves from the player skin: the font of their texts
// and the skin's bitmaps.
#pragma once

#include <QImage>
#include <QString>

#include <optional>
#include <string>

#include "common/skin/PlayerSkinReader.h"

namespace dvr::player {

inline constexpr const char* kPlayerFontFamily = "Liberation Sans";

// The bitmap the skin names under `section`/`key`; a null image when it names none or it cannot be read.
inline QImage loadSkinImage(const skin::PlayerSkinReader& skin, const char* section, const char* key) {
    const std::optional<std::string> path = skin.readBitmapPath(section, key);
    return path ? QImage(QString::fromStdString(*path)) : QImage();
}

}  // namespace dvr::player
