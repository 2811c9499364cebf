#include "common/skin/widgets/WidgetGrab.h"

#include <QPixmap>
#include <QWidget>

namespace dvr::skin {

QImage atOwnSize(QImage image, QSize size) {
    if (image.size() != size && !size.isEmpty())
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(1.0);
    return image;
}

QImage grabAtOwnSize(QWidget& widget, const QRect& rect, QImage::Format format) {
    return atOwnSize(widget.grab(rect).toImage(), rect.size()).convertToFormat(format);
}

}  // namespace dvr::skin
