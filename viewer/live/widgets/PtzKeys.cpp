#include "viewer/live/widgets/PtzKeys.h"

#include "viewer/ptz/PtzCommandTable.h"

namespace dvr::live {

int ptzCodeForKey(const QKeyEvent& event) {
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    switch (event.key()) {
        case Qt::Key_Left:
            return ptz::kLeft;
        case Qt::Key_Right:
            return ptz::kRight;
        case Qt::Key_Up:
            return ptz::kUp;
        case Qt::Key_Down:
            return ptz::kDown;
        case Qt::Key_Plus:
            return ptz::kZoomIn;
        case Qt::Key_Minus:
            return ptz::kZoomOut;
        default:
            break;
    }
    if (!keypad) {
        return 0;
    }
    switch (event.key()) {
        case Qt::Key_4:
            return ptz::kLeft;
        case Qt::Key_6:
            return ptz::kRight;
        case Qt::Key_8:
            return ptz::kUp;
        case Qt::Key_2:
            return ptz::kDown;
        case Qt::Key_7:
        case Qt::Key_Home:
            return ptz::kLeftUp;
        case Qt::Key_9:
        case Qt::Key_PageUp:
            return ptz::kRightUp;
        case Qt::Key_3:
        case Qt::Key_PageDown:
            return ptz::kRightDown;
        case Qt::Key_1:
        case Qt::Key_End:
            return ptz::kLeftDown;
        default:
            return 0;
    }
}

}  // namespace dvr::live
