#include "viewer/live/widgets/FramePlaybackShell.h"

#include <QTimer>

#include "viewer/playback/widgets/PlaybackFrame.h"

namespace dvr::live {

void FramePlaybackShell::showPlayback(bool fullScreen) {
    m_shown(true);
    if (m_frame != nullptr) {
        m_frame->showWindow(fullScreen);
    }
}

void FramePlaybackShell::showLive() {
    if (m_frame != nullptr) {
        m_frame->hide();
    }
    m_shown(false);
}

void FramePlaybackShell::playbackPicture(int channel, const frame::FrameHeader& header,
                                         const frame::DecodedPicture& picture,
                                         const playback::PaneDrawList& draws) {
    if (m_frame != nullptr) {
        m_frame->playbackWindow()->showPicture(channel, header, picture, draws);
    }
}

void FramePlaybackShell::playbackChanged() {
    if (m_frame != nullptr) {
        m_frame->playbackWindow()->refreshLater();
    }
}

void FramePlaybackShell::later(std::function<void()> task) {
    QTimer::singleShot(0, &m_tasks, std::move(task));
}

void FramePlaybackShell::eventListArrived() {
    if (m_frame != nullptr) {
        m_frame->playbackWindow()->eventListArrived();
    }
}

}  // namespace dvr::live
