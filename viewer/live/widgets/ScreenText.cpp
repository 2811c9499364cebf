#include "viewer/live/widgets/ScreenText.h"

#include <QFontMetrics>

#include <algorithm>

namespace dvr::live {

QFont makeScreenFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(12);
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 5) {
        font.setStretch(std::max(50, 100 * 5 / average));
    }
    return font;
}

QColor screenTextColour() {
    return QColor(6, 179, 255);
}

void drawOpaqueText(QPainter& painter, const QRegion& dirty, const QRect& rect, int flags,
                    const QString& text) {
    if (!dirty.intersects(rect) || text.isEmpty()) {
        return;
    }
    const QRect bounds = painter.boundingRect(rect, flags, text).intersected(rect);
    painter.fillRect(bounds, Qt::black);
    painter.drawText(rect, flags, text);
}

}  // namespace dvr::live
