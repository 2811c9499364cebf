#include "player/edit/EditSkinKeys.h"

#include "player/edit/EditWindowModel.h"

namespace dvr::player::edit {

namespace {

skin::SkinButtonKeys button(const char* section, const char* positionKey, int id) {
    return {section, kSkinPositions, positionKey, id, skin::ButtonKind::Hold, skin::ButtonLoad::PlayerDialog};
}

}  // namespace

const std::vector<skin::SkinButtonKeys>& skinButtons() {
    static const std::vector<skin::SkinButtonKeys> table = {
        button("BTN_BRIGHT", "POS_BRIGHT", kBright),
        button("BTN_DARK", "POS_DARK", kDark),
        button("BTN_SHARPEN", "POS_SHARPEN", kSharpen),
        button("BTN_BLUR", "POS_BLUR", kBlur),
        button("BTN_CONTRAST_UP", "POS_CONTRAST_UP", kContrastUp),
        button("BTN_CONTRAST_DN", "POS_CONTRAST_DN", kContrastDown),
        button("BTN_SAVE", "POS_SAVE", kSave),
        button("BTN_PRINT", "POS_PRINT", kPrint),
        button("BTN_CLOSE_EDIT", "POS_CLOSE", kClose),
    };
    return table;
}

}  // namespace dvr::player::edit
