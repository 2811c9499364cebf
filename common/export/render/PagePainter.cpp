#include "common/export/render/PagePainter.h"

#include <QByteArrayView>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace dvr::exporting {

namespace {

// The PDF end-of-file marker and how far from the end it may stand (a line end or two after it).
constexpr QByteArrayView kPdfEnd("%%EOF");
constexpr qint64 kPdfEndSearchBytes = 64;

}  // namespace

bool pdfFileComplete(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size < kPdfEnd.size() || !file.seek(std::max<qint64>(0, size - kPdfEndSearchBytes)))
        return false;
    return file.readAll().contains(kPdfEnd);
}

PagePrinted printPage(QPaintDevice& device, int pageWidthPx, const PrintSheet& sheet, const QImage& picture,
                      const QString& outputFile) {
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
    if (!painter.end())
        return PagePrinted::NotFinished;
    return outputFile.isEmpty() || pdfFileComplete(outputFile) ? PagePrinted::Printed
                                                               : PagePrinted::NotFinished;
}

}  // namespace dvr::exporting
