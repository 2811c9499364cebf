#pragma once

#include <QImage>
#include <QString>
#include <string>

#include "player/edit/StillPrintSheet.h"

class QPrinter;
class QWidget;

namespace dvr::player {

enum class PrintResult {
    Printed,
    Cancelled,  // the user cancelled the print dialog: nothing printed, nothing shown
    Failed,     // the printer could not start the document
};

// Prints the still picture's page.
class StillPrinter {
public:
    virtual ~StillPrinter() = default;
    virtual PrintResult print(QWidget* parent, const PrintFacts& facts, const QImage& picture) = 0;
};

// The print dialog, then the chosen printer.
class DialogStillPrinter final : public StillPrinter {
public:
    PrintResult print(QWidget* parent, const PrintFacts& facts, const QImage& picture) override;
};

// Prints into a PDF file without a dialog (tests); cancelled when cancel is set.
class PdfStillPrinter final : public StillPrinter {
public:
    explicit PdfStillPrinter(QString path) : m_path(std::move(path)) {}
    void setCancel(bool cancel) { m_cancel = cancel; }
    PrintResult print(QWidget* parent, const PrintFacts& facts, const QImage& picture) override;

private:
    QString m_path;
    bool m_cancel = false;
};

// Draws the page on the printer: false when the document could not be started.
bool printStillPage(QPrinter& printer, const PrintFacts& facts, const QImage& picture);

}  // namespace dvr::player
