#include "viewer/live/LiveSkinKeys.h"

#include <string>

#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveLayout.h"

namespace dvr::live::skinkeys {

namespace {

using skin::ButtonKind;
using skin::ButtonLoad;

std::vector<skin::SkinButtonKeys> makeButtons() {
    std::vector<skin::SkinButtonKeys> b = {
        {"BTN_LIVE_EXIT", "MAIN POS", "POS_EXIT", command::kExit},
        {"BTN_CONNECT", "MAIN POS", "POS_CONNECT", command::kConnect},
        {"BTN_DISCONNECT", "MAIN POS", "POS_DISCONNECT", command::kDisconnect},
        {"BTN_ROTATE", "MAIN POS", "POS_ROTATE", command::kRotate},
        {"BTN_SETTING", "MAIN POS", "POS_SETTING", command::kSetting},
        {"BTN_PLAYBACK", "MAIN POS", "POS_SKAN", command::kPlayback},
        {"BTN_WHEEL", "MAIN POS", "POS_WHEEL", command::kWheel},
        {"BTN_SCAL_TXT", "MAIN POS", "POS_SCAL_TXT", command::kSpeedLabel},
        {"BTN_SCAL_PLUS", "MAIN POS", "POS_SCAL_PLUS", command::kSpeedPlus, ButtonKind::Hold},
        {"BTN_SCAL_MINUS", "MAIN POS", "POS_SCAL_MINUS", command::kSpeedMinus, ButtonKind::Hold},
        {"BTN_PTZ_CH_PLUS", "PTZ POS", "POS_PTZ_CH_PLUS", command::kPtzChannelPlus, ButtonKind::Hold,
         ButtonLoad::Ptz, kPtzChannelPlusValue},
        {"BTN_PTZ_CH_MINUS", "PTZ POS", "POS_PTZ_CH_MINUS", command::kPtzChannelMinus, ButtonKind::Hold,
         ButtonLoad::Ptz, kPtzChannelMinusValue},
    };
    // The eight directions from up counter-clockwise, then zoom and focus.
    static constexpr const char* kPtzNames[] = {"0",   "45",  "90",      "135",      "180",      "225",
                                                "270", "315", "ZOOM_IN", "ZOOM_OUT", "FOCUS_IN", "FOCUS_OUT"};
    int id = command::kPtzFirst;
    for (const char* name : kPtzNames) {
        b.push_back({std::string("BTN_PTZ_") + name, "PTZ POS", std::string("POS_PTZ_") + name, id++,
                     ButtonKind::Hold, ButtonLoad::Ptz, std::nullopt});
    }
    static constexpr const char* kModeNames[kModeButtonCount] = {"1", "4", "7", "9", "10", "13", "16"};
    for (int k = 0; k < kModeButtonCount; ++k) {
        b.push_back({std::string("BTN_MODE") + kModeNames[k], "MODE POS",
                     std::string("POS_MODE") + kModeNames[k], command::kModeFirst + k});
    }
    for (int c = 0; c < kChannelCount; ++c) {
        b.push_back({"BTN_CH" + std::to_string(c + 1), "CH POS", "POS_CH" + std::to_string(c + 1),
                     command::kChannelFirst + c, ButtonKind::Toggle});
    }
    return b;
}

}  // namespace

const std::vector<skin::SkinButtonKeys>& buttons() {
    static const std::vector<skin::SkinButtonKeys> table = makeButtons();
    return table;
}

}  // namespace dvr::live::skinkeys
