#pragma once

#include <QString>

namespace dvr::skin {
class PlayerSkinReader;
}
class QWidget;

namespace dvr::skin {

// The player's tooltips: each control id has a key of section TOOL_TIP in
// its skin file; texts are cut to 79 characters and shown only while
// TOOLTIP_ON is set.
class PlayerToolTips {
public:
    static constexpr int kMaxChars = 79;
    static constexpr const char* kSection = "TOOL_TIP";

    // The TOOL_TIP key of a control ("TTIP_NULL" for controls without one).
    static const char* keyFor(int controlId);
    // The tooltip text of a control from reader (cut to 79 characters).
    static QString text(const PlayerSkinReader& reader, int controlId);
    // Sets widget's tooltip from reader, or clears it when tooltips are off.
    static void apply(QWidget& widget, int controlId, const PlayerSkinReader& reader, bool tooltipOn);
};

}  // namespace dvr::skin
