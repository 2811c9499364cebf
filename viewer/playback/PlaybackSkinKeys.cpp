#include "viewer/playback/PlaybackSkinKeys.h"

#include <string>

#include "viewer/playback/PlaybackCommandIds.h"
#include "viewer/playback/PlaybackLayout.h"

namespace dvr::playback::skinkeys {

namespace {

// Latching buttons keep their checked state; push buttons do not.
constexpr skin::ButtonKind kLatching = skin::ButtonKind::Toggle;
constexpr skin::ButtonKind kPush = skin::ButtonKind::Momentary;

std::vector<skin::SkinButtonKeys> makeButtons() {
    std::vector<skin::SkinButtonKeys> b = {
        {"BTN_PB_EXIT", "PB MAIN POS", "POS_PB_EXIT", command::kExit, kPush},
        {"BTN_PB_WHEEL", "PB MAIN POS", "POS_PB_WHEEL", command::kWheel, kPush},
        {"BTN_SAVE", "PB MAIN POS", "POS_PB_SAVE", command::kSave, kPush},
        {"BTN_PRINT", "PB MAIN POS", "POS_PB_PRINT", command::kPrint, kPush},
        {"BTN_EVENT", "PB MAIN POS", "POS_PB_EVENT", command::kEvent, kPush},
        {"BTN_SAVE_AVI", "PB MAIN POS", "POS_PB_SAVEAVI", command::kSaveAvi, kLatching},
        {"BTN_PB_MODE_PLUS", "PB MODE POS", "POS_PB_MODE_PLUS", command::kModePlus, kPush},
        {"BTN_PB_MODE_MINUS", "PB MODE POS", "POS_PB_MODE_MINUS", command::kModeMinus, kPush},
        {"BTN_PB_MODE1", "PB MODE POS", "POS_PB_MODE1", command::kModeOne, kPush},
        {"BTN_PB_MODE4", "PB MODE POS", "POS_PB_MODE4", command::kModeFour, kPush},
    };
    for (int c = 0; c < kPaneCount; ++c) {
        b.push_back({"BTN_PB_CH" + std::to_string(c + 1), "PB CH POS", "POS_PB_CH" + std::to_string(c + 1),
                     command::kChannelFirst + c, kLatching});
    }
    int id = command::kPlayFirst;
    for (const char* name : {"RWPLAY", "BPLAY", "PAUSE", "FPLAY", "FFPLAY"}) {
        b.push_back(
            {std::string("BTN_") + name, "NAVIGATION POS", std::string("POS_") + name, id++, kLatching});
    }
    b.push_back({"BTN_START", "NAVIGATION POS", "POS_START", command::kStart, kPush});
    b.push_back({"BTN_BSTEP_PLAY", "NAVIGATION POS", "POS_BSTEP_PLAY", command::kHourBack, kPush});
    b.push_back({"BTN_FSTEP_PLAY", "NAVIGATION POS", "POS_FSTEP_PLAY", command::kHourForward, kPush});
    b.push_back({"BTN_END", "NAVIGATION POS", "POS_END", command::kEnd, kPush});
    return b;
}

}  // namespace

const std::vector<skin::SkinButtonKeys>& buttons() {
    static const std::vector<skin::SkinButtonKeys> table = makeButtons();
    return table;
}

}  // namespace dvr::playback::skinkeys
