#pragma once

#include <QKeyEvent>

namespace dvr::live {

// The PTZ move a key stands for (command code), 0 for none: the arrow keys, the numeric keypad (with or
// without Num Lock) and plus and minus for the zoom.
int ptzCodeForKey(const QKeyEvent& event);

}  // namespace dvr::live
