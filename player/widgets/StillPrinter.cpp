#include "player/widgets/StillPrinter.h"

#include "common/export/render/PagePainter.h"

#include <QPrintDialog>
#include <QPrinter>

namespace dvr::player {

bool printStillPage(QPrinter& printer, const PrintFacts& facts, const QImage& picture) {
    const exporting::PrintSheet sheet = stillPrintSheet(facts);
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(sheet.documentTitle));
    const int pageWidthPx = printer.paperRect(QPrinter::DevicePixel).toRect().width();
    const QString outputFile =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    return exporting::printPage(printer, pageWidthPx, sheet, picture, outputFile) ==
           exporting::PagePrinted::Printed;
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
