#pragma once

#include <QWidget>

#include <memory>

#include "common/skin/widgets/ScaledSkinHost.h"
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
    bool fullScreenShown() const { return m_scaled->scaled(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startDrag();
    // The playback window took the screen over, or gave it back.
    void showForPlayback(bool playbackShown);

    VistrelView* m_view = nullptr;
    QSize m_skinSize;
    std::unique_ptr<skin::ScaledSkinHost> m_scaled;  // full screen: the view scaled
};

}  // namespace dvr::live
