#pragma once

#include <QWidget>

class QGraphicsScene;
class QGraphicsView;

#include "viewer/live/widgets/VistrelView.h"

namespace dvr::live {

// The main window: a frameless window of the live skin's size, centred on the screen, holding the view.
// Full screen fills the screen with the skin scaled up uniformly to the largest size that fits, centred on
// black; the screen's resolution is never changed.
class MainFrame : public QWidget {
    Q_OBJECT
public:
    MainFrame(ViewOptions options, ViewerNotifier& notifier, QWidget* parent = nullptr);

    VistrelView* view() const { return m_view; }
    void setFullScreen(bool on);
    bool fullScreenShown() const { return m_scaler != nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startDrag();
    // The playback window took the screen over, or gave it back.
    void showForPlayback(bool playbackShown);
    void fitView();

    VistrelView* m_view = nullptr;
    QSize m_skinSize;
    QGraphicsScene* m_scene = nullptr;  // full screen: the scene holding the view
    QGraphicsView* m_scaler = nullptr;  // full screen: shows the scene scaled
};

}  // namespace dvr::live
