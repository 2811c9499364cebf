// The printed page as painted: the picture stretched into the layout's rectangle, the texts in black
// on their lines, a device that cannot be painted on reported as not started, and a PDF file cut off as
// it was written reported as not finished.
#include <gtest/gtest.h>

#include <QImage>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "common/export/render/PagePainter.h"
#include "tests/support/FileSizeLimit.h"

namespace {

using namespace dvr::exporting;

// Dark pixels in the rectangle [x0, x1) x [y0, y1).
int darkIn(const QImage& image, int x0, int y0, int x1, int y1) {
    int dark = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
    return dark;
}

TEST(PagePainter, PaintsThePictureInItsRectangleAndTheTextsOnTheirLines) {
    // A page of 850 x 1100 dots at 100 dots per inch.
    QImage page(850, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(3937);
    page.setDotsPerMeterY(3937);
    ASSERT_EQ(page.logicalDpiY(), 100);
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(200, 0, 0));
    PrintSheet sheet;
    sheet.marginExtraPx = 50;
    sheet.heading = "HEADING";
    sheet.printTime = "PRINTED";

    ASSERT_EQ(printPage(page, 850, sheet, picture, QString()), PagePrinted::Printed);
    // One inch in, one inch and the print unit of 120 (143 dots) down, 850 - 250 wide, 4:3.
    const QRect rect(100, 243, 600, 450);
    EXPECT_EQ(page.pixelColor(rect.center()), QColor(200, 0, 0));
    EXPECT_EQ(page.pixelColor(rect.left() + 2, rect.top() + 2), QColor(200, 0, 0));
    EXPECT_EQ(page.pixelColor(rect.right() - 2, rect.bottom() - 2), QColor(200, 0, 0));
    EXPECT_EQ(page.pixelColor(rect.left() - 3, rect.center().y()), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(rect.right() + 3, rect.center().y()), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(rect.center().x(), rect.bottom() + 3 + 20), QColor(Qt::white));

    // The heading from one inch down at the margin of one inch and 50 dots; nothing left of the margin.
    const int fontHeight = printFontHeight(100);
    EXPECT_GT(darkIn(page, 150, 100, 260, 100 + 2 * fontHeight), 20);
    EXPECT_EQ(darkIn(page, 0, 100, 149, 100 + 2 * fontHeight), 0);
    // The footer's time of printing lies below the picture.
    EXPECT_GT(darkIn(page, 150, rect.bottom() + 1, 260, 1100), 20);
}

TEST(PagePainter, ADeviceThatCannotBePaintedOnIsNotStarted) {
    QImage none;
    EXPECT_EQ(printPage(none, 850, PrintSheet{}, QImage(), QString()), PagePrinted::NotStarted);
}

// The PDF writer takes a failed write (a full disk) silently: the page counts as printed only when its
// file came out whole.
TEST(PagePainter, APdfFileCutOffAsItIsWrittenIsNotFinished) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Noise, so the page's file is far larger than the limit below.
    QImage picture(320, 240, QImage::Format_RGB32);
    QRandomGenerator noise(27);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, noise.generate() | 0xFF000000u);
    PrintSheet sheet;
    sheet.heading = "HEADING";

    const QString whole = folder.filePath(QStringLiteral("whole.pdf"));
    {
        QPdfWriter writer(whole);
        writer.setResolution(100);
        EXPECT_EQ(printPage(writer, 850, sheet, picture, whole), PagePrinted::Printed);
    }
    EXPECT_TRUE(pdfFileComplete(whole));

    const QString cut = folder.filePath(QStringLiteral("cut.pdf"));
    {
        const dvr::testsupport::FileSizeLimit full(4096);
        QPdfWriter writer(cut);
        writer.setResolution(100);
        EXPECT_EQ(printPage(writer, 850, sheet, picture, cut), PagePrinted::NotFinished);
    }
    EXPECT_FALSE(pdfFileComplete(cut));
    EXPECT_FALSE(pdfFileComplete(folder.filePath(QStringLiteral("missing.pdf"))));
}

}  // namespace
