#include "player/backup/BackupSkinKeys.h"

#include "player/backup/BackupWindowModel.h"

namespace dvr::player::backup {

const std::vector<skin::SkinButtonKeys>& skinButtons() {
    static const std::vector<skin::SkinButtonKeys> table = {
        {"BTN_AVISTART", kSkinPositions, "POS_BACKUP_START", kStart, skin::ButtonKind::Hold,
         skin::ButtonLoad::PlayerDialog},
        {"BTN_AVISTOP", kSkinPositions, "POS_BACKUP_STOP", kStop, skin::ButtonKind::Hold,
         skin::ButtonLoad::PlayerDialog},
    };
    return table;
}

}  // namespace dvr::player::backup
