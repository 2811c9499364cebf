#include "common/skin/widgets/PlayerToolTips.h"

#include "common/skin/PlayerSkinReader.h"

#include <QWidget>

namespace dvr::skin {

const char* PlayerToolTips::keyFor(int controlId) {
    switch (controlId) {
        case 1069:
            return "TTIP_EXIT";
        case 1023:
            return "TTIP_SPEED";
        case 1041:
            return "TTIP_SPEEDUP";
        case 1039:
            return "TTIP_SPEEDDN";
        case 1022:
            return "TTIP_DELAY";
        case 1037:
            return "TTIP_DELAYUP";
        case 1035:
            return "TTIP_DELAYDN";
        case 1028:
            return "TTIP_OPEN";
        case 1007:
            return "TTIP_BACKUP";
        case 1009:
            return "TTIP_EDIT";
        case 1008:
            return "TTIP_SETTING";
        case 1030:
            return "TTIP_PREV";
        case 1031:
            return "TTIP_NEXT";
        case 1011:
            return "TTIP_NG_END";
        case 1012:
            return "TTIP_NG_FFPLAY";
        case 1013:
            return "TTIP_NG_FPLAY";
        case 1014:
            return "TTIP_NG_PAUSE";
        case 1015:
            return "TTIP_NG_BPLAY";
        case 1016:
            return "TTIP_NG_RWPLAY";
        case 1017:
            return "TTIP_NG_START";
        default:
            break;
    }
    if (controlId >= 1003 && controlId <= 1006)
        return "TTIP_MODE";
    if (controlId >= 1050 && controlId <= 1065)
        return "TTIP_CH";
    if (controlId >= 1043 && controlId <= 1049)
        return "TTIP_NAVIGATION_STATE";
    return "TTIP_NULL";
}

QString PlayerToolTips::text(const PlayerSkinReader& reader, int controlId) {
    const QString full = QString::fromStdString(reader.readString(kSection, keyFor(controlId)));
    return full.left(kMaxChars);
}

void PlayerToolTips::apply(QWidget& widget, int controlId, const PlayerSkinReader& reader, bool tooltipOn) {
    widget.setToolTip(tooltipOn ? text(reader, controlId) : QString());
}

}  // namespace dvr::skin
