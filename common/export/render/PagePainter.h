#pragma once

#include "common/export/PrintLayout.h"

class QImage;
class QPaintDevice;

namespace dvr::exporting {

enum class PagePrinted {
    Printed,
    NotStarted,   // the device would not start the document: nothing printed
    NotFinished,  // the page was drawn but the document could not be finished
};

// Prints the sheet with the picture as one page, in "Liberation Sans" at the print unit of 10: the
// device is a printer that prints the whole page (no margins of its own) with the sheet's document
// title set; pageWidthPx is its physical page width in device pixels.
PagePrinted printPage(QPaintDevice& device, int pageWidthPx, const PrintSheet& sheet, const QImage& picture);

}  // namespace dvr::exporting
