#include "common/export/render/PagePainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace dvr::exporting {

PagePrinted printPage(QPaintDevice& device, int pageWidthPx, const PrintSheet& sheet, const QImage& picture) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(1, printFontHeight(device.logicalDpiY())));
    QPainter painter;
    if (!painter.begin(&device))
        return PagePrinted::NotStarted;
    painter.setFont(font);
    // The layout measures with the font as the printer sets it.
    const QFontMetrics metrics = painter.fontMetrics();
    PrintMetrics m;
    m.dotsPerInchX = device.logicalDpiX();
    m.dotsPerInchY = device.logicalDpiY();
    m.pageWidthPx = pageWidthPx;
    m.letterWidthPx = metrics.horizontalAdvance(QLatin1Char('A'));
    m.letterHeightPx = metrics.height();
    const PrintPage page = layoutPrintPage(m, sheet);

    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(page.pictureX, page.pictureY, page.pictureWidth, page.pictureHeight), picture);
    painter.setPen(Qt::black);
    for (const PrintText& text : page.texts)
        painter.drawText(text.x, text.y + metrics.ascent(), QString::fromStdString(text.text));
    return painter.end() ? PagePrinted::Printed : PagePrinted::NotFinished;
}

}  // namespace dvr::exporting
