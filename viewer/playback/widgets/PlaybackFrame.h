// The playback window's own top-level window: frameless, of the playback skin's size and centred on the
// screen, or filling the screen with the skin centred on black. It moves with the mouse when the window
// asks for a drag.
#pragma once

#include "viewer/playback/widgets/PlaybackWindow.h"

#include <QWidget>

namespace dvr::playback {

class PlaybackFrame : public QWidget {
    Q_OBJECT
public:
    PlaybackFrame(PlaybackController& controller, const std::string& programFolder,
                  QWidget* parent = nullptr);

    PlaybackWindow* playbackWindow() const { return m_window; }
    // Shows the frame full screen or centred at the skin's size.
    void showWindow(bool fullScreen);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PlaybackWindow* m_window = nullptr;
};

}  // namespace dvr::playback
