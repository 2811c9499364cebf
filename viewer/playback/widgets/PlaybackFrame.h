// The playback window's own top-level window: frameless, of the playback skin's size and centred on the
// screen; or filling the screen with the skin scaled up uniformly to the largest size that fits, centred
// on black (the screen's resolution is never changed). It moves with the mouse when the window asks for a
// drag.
#pragma once

#include "viewer/playback/widgets/PlaybackWindow.h"

#include <QWidget>
#include <memory>

#include "common/skin/widgets/ScaledSkinHost.h"

namespace dvr::playback {

class PlaybackFrame : public QWidget {
    Q_OBJECT
public:
    PlaybackFrame(PlaybackController& controller, const std::string& programFolder,
                  QWidget* parent = nullptr);

    PlaybackWindow* playbackWindow() const { return m_window; }
    // Shows the frame full screen or centred at the skin's size.
    void showWindow(bool fullScreen);
    bool fullScreenShown() const { return m_scaled->scaled(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Never closed by the window manager behind the program's back: with the main window hidden, that
    // would end Vistrel without its exit (settings unsaved). The close is the window's EXIT instead.
    void closeEvent(QCloseEvent* event) override;

private:
    void setScaled(bool on);

    PlaybackWindow* m_window = nullptr;
    QSize m_skinSize;
    std::unique_ptr<skin::ScaledSkinHost> m_scaled;  // full screen: the window scaled
};

}  // namespace dvr::playback
