#pragma once

#include <QWidget>

#include "viewer/live/widgets/VistrelView.h"

namespace dvr::live {

// The main window: a frameless window of the live skin's size, centred on the screen, holding the view.
// Full screen fills the screen and centres the skin on black; the screen's resolution is never changed.
class MainFrame : public QWidget {
    Q_OBJECT
public:
    MainFrame(ViewOptions options, ViewerNotifier& notifier, QWidget* parent = nullptr);

    VistrelView* view() const { return m_view; }
    void setFullScreen(bool on);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startDrag();

    VistrelView* m_view = nullptr;
    QSize m_skinSize;
};

}  // namespace dvr::live
