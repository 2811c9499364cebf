#include "player/view/PlayerSkinKeys.h"

#include <string>

#include "player/view/PlayerControlIds.h"

namespace dvr::player::skinkeys {

namespace {

using skin::ButtonKind;
using skin::ButtonLoad;

skin::SkinButtonKeys mainButton(std::string section, std::string positionSection, std::string positionKey,
                                int id) {
    return {std::move(section), std::move(positionSection), std::move(positionKey), id,
            ButtonKind::Hold,   ButtonLoad::PlayerMain};
}

std::vector<skin::SkinButtonKeys> makeButtons() {
    std::vector<skin::SkinButtonKeys> b = {
        mainButton("BTN_EXIT", "MAIN POS", "POS_EXIT", control::kExit),
        mainButton("BTN_OPEN", "MAIN POS", "POS_OPEN", control::kOpen),
        mainButton("BTN_BACKUP", "MAIN POS", "POS_BACKUP", control::kBackup),
        mainButton("BTN_EDIT", "MAIN POS", "POS_EDIT", control::kEdit),
        mainButton("BTN_SPEED_UP", "MAIN POS", "POS_SPEED_UP", control::kSpeedUp),
        mainButton("BTN_SPEED_DN", "MAIN POS", "POS_SPEED_DN", control::kSpeedDown),
        mainButton("BTN_DELAY_UP", "MAIN POS", "POS_DELAY_UP", control::kDelayUp),
        mainButton("BTN_DELAY_DN", "MAIN POS", "POS_DELAY_DN", control::kDelayDown),
        mainButton("BTN_START", "NAVIGATION POS", "POS_START", control::kStart),
        mainButton("BTN_RWPLAY", "NAVIGATION POS", "POS_RWPLAY", control::kRwPlay),
        mainButton("BTN_BPLAY", "NAVIGATION POS", "POS_BPLAY", control::kBPlay),
        mainButton("BTN_PAUSE", "NAVIGATION POS", "POS_PAUSE", control::kPause),
        mainButton("BTN_FPLAY", "NAVIGATION POS", "POS_FPLAY", control::kFPlay),
        mainButton("BTN_FFPLAY", "NAVIGATION POS", "POS_FFPLAY", control::kFfPlay),
        mainButton("BTN_END", "NAVIGATION POS", "POS_END", control::kEnd),
        mainButton("BTN_MODE1", "MODE POS", "POS_MODE1", control::kMode1),
        mainButton("BTN_MODE4", "MODE POS", "POS_MODE4", control::kMode4),
        mainButton("BTN_MODE9", "MODE POS", "POS_MODE9", control::kMode9),
        mainButton("BTN_MODE16", "MODE POS", "POS_MODE16", control::kMode16),
        mainButton("BTN_PREV_PAGE", "CH POS", "POS_PREV_PAGE", control::kPrevPage),
        mainButton("BTN_NEXT_PAGE", "CH POS", "POS_NEXT_PAGE", control::kNextPage),
    };
    for (int c = 0; c < 16; ++c) {
        b.push_back(mainButton("BTN_CH" + std::to_string(c + 1), "CH POS", "POS_CH" + std::to_string(c + 1),
                               control::kChannel1 + c));
    }
    return b;
}

std::vector<skin::SkinButtonKeys> makeStateIndicators() {
    std::vector<skin::SkinButtonKeys> b;
    int id = control::kStateStart;
    for (const char* name : {"START", "RW", "BP", "PAUSE", "FP", "FF", "END"}) {
        b.push_back(mainButton(std::string("STATE_") + name, "NAVIGATION POS",
                               std::string("POS_STATE_") + name, id++));
    }
    return b;
}

}  // namespace

const std::vector<skin::SkinButtonKeys>& buttons() {
    static const std::vector<skin::SkinButtonKeys> table = makeButtons();
    return table;
}

const std::vector<skin::SkinButtonKeys>& stateIndicators() {
    static const std::vector<skin::SkinButtonKeys> table = makeStateIndicators();
    return table;
}

}  // namespace dvr::player::skinkeys
