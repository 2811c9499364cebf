#include "viewer/live/widgets/ViewerNotifier.h"

#include <QApplication>
#include <QMessageBox>

namespace dvr::live {

namespace {

QString captionOrTitle(const std::string& caption) {
    return caption.empty() ? QStringLiteral("Vistrel") : QString::fromStdString(caption);
}

}  // namespace

void DialogViewerNotifier::showMessage(const std::string& text, const std::string& caption) {
    QMessageBox::information(QApplication::activeWindow(), captionOrTitle(caption),
                             QString::fromStdString(text));
}

void DialogViewerNotifier::showError(const std::string& text, const std::string& caption) {
    QMessageBox::critical(QApplication::activeWindow(), captionOrTitle(caption),
                          QString::fromStdString(text));
}

void DialogViewerNotifier::beep() {
    QApplication::beep();
}

}  // namespace dvr::live
