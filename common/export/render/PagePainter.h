#pragma once

#include "common/export/PrintLayout.h"

class QImage;
class QPaintDevice;
class QString;

namespace dvr::exporting {

enum class PagePrinted {
    Printed,
    NotStarted,   // the device would not start the document: nothing printed
    NotFinished,  // the page was drawn but the document could not be finished
};

// Prints the sheet with the picture as one page, in "Liberation Sans" at the print unit of 10: the
// device is a printer that prints the whole page (no margins of its own) with the sheet's document
// title set; pageWidthPx is its physical page width in device pixels. `outputFile` names the PDF file
// the device writes, when it writes one: the page counts as printed only when that file came out whole.
PagePrinted printPage(QPaintDevice& device, int pageWidthPx, const PrintSheet& sheet, const QImage& picture,
                      const QString& outputFile);

// Whether the PDF file at `path` was written to its end (it ends with the end-of-file marker). The PDF
// writer does not report a write that failed, a full disk say, and would leave a cut-off file behind a
// page reported as printed.
bool pdfFileComplete(const QString& path);

}  // namespace dvr::exporting
