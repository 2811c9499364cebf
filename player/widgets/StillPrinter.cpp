#include "player/widgets/StillPrinter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace dvr::player {

namespace {

constexpr const char* kFontFamily = "Liberation Sans";

}  // namespace

bool printStillPage(QPrinter& printer, const PrintFacts& facts, const QImage& picture) {
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("ZAV IMAGE PRINT"));
    const int dpiY = printer.logicalDpiY();
    QFont font(QString::fromLatin1(kFontFamily));
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(1, printFontHeight(dpiY)));

    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    PrintMetrics m;
    m.dotsPerInchX = printer.logicalDpiX();
    m.dotsPerInchY = dpiY;
    m.pageWidthPx = printer.paperRect(QPrinter::DevicePixel).toRect().width();
    m.letterWidthPx = metrics.horizontalAdvance(QLatin1Char('A'));
    m.letterHeightPx = metrics.height();
    const PrintPage page = stillPrintPage(m, facts);

    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(page.pictureX, page.pictureY, page.pictureWidth, page.pictureHeight), picture);
    painter.setPen(Qt::black);
    for (const PrintText& text : page.texts) {
        painter.drawText(text.x, text.y + metrics.ascent(), QString::fromStdString(text.text));
    }
    return painter.end();
}

PrintResult DialogStillPrinter::print(QWidget* parent, const PrintFacts& facts, const QImage& picture) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted) {
        return PrintResult::Cancelled;
    }
    return printStillPage(printer, facts, picture) ? PrintResult::Printed : PrintResult::Failed;
}

PrintResult PdfStillPrinter::print(QWidget*, const PrintFacts& facts, const QImage& picture) {
    if (m_cancel) {
        return PrintResult::Cancelled;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_path);
    return printStillPage(printer, facts, picture) ? PrintResult::Printed : PrintResult::Failed;
}

}  // namespace dvr::player
