#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

class QWidget;

namespace dvr::skin {

// A rendered image at `size` pixels: one rendered for a screen that scales (a device pixel ratio above
// 1 makes it larger) is scaled back smoothly. An image already at that size is returned as it is.
QImage atOwnSize(QImage image, QSize size);

// What `widget` shows in `rect`, rendered off-screen, in `format`, at the rectangle's own size in
// pixels: a saved, printed or recorded picture, and the texts placed on it by pixel position, do not
// depend on how the screen scales.
QImage grabAtOwnSize(QWidget& widget, const QRect& rect, QImage::Format format);

}  // namespace dvr::skin
