#pragma once

#include <QObject>

#include <functional>

#include "viewer/live/PlaybackHandOver.h"

namespace dvr::playback {
class PlaybackFrame;
}

namespace dvr::live {

// The playback window's frame as the live playback sees it. `shown` hears when the playback window takes
// the screen over (true) or gives it back (false). A task asked for later is dropped when the shell goes:
// it belongs to the playback objects that go with it.
class FramePlaybackShell : public PlaybackShell {
public:
    explicit FramePlaybackShell(std::function<void(bool)> shown) : m_shown(std::move(shown)) {}
    void setFrame(playback::PlaybackFrame* frame) { m_frame = frame; }

    void showPlayback(bool fullScreen) override;
    void showLive() override;
    void playbackPicture(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture,
                         const playback::PaneDrawList& draws) override;
    void playbackChanged() override;
    void later(std::function<void()> task) override;
    void eventListArrived() override;

private:
    QObject m_tasks;
    std::function<void(bool)> m_shown;
    playback::PlaybackFrame* m_frame = nullptr;
};

}  // namespace dvr::live
