// The live window's remote playback: opens the playback window from the SEARCH button, hands the
// session's playback calls to the playback controller, finishes a reconnect started by a play button once
// the session has reported the connection, and gives the recorder back to the live view when the window
// closes. No toolkit: the windows are behind PlaybackShell.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "viewer/live/LiveController.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"
#include "viewer/playback/SessionPlaybackRequests.h"

namespace dvr::live {

// What the live playback asks of the windows.
class PlaybackShell {
public:
    virtual ~PlaybackShell() = default;
    // The live window hides and the playback window shows, full screen or centred.
    virtual void showPlayback(bool fullScreen) = 0;
    // The playback window is hidden again; the live window shows.
    virtual void showLive() = 0;
    // A playback picture the controller accepted, with the panes it feeds.
    virtual void playbackPicture(int channel, const frame::FrameHeader& header,
                                 const frame::DecodedPicture& picture,
                                 const playback::PaneDrawList& draws) = 0;
    // The controller's state changed outside the window's own input: buttons and texts follow it.
    virtual void playbackChanged() = 0;
    // Runs `task` once the current call has returned to the event loop.
    virtual void later(std::function<void()> task) = 0;
    // The session stored a new event list.
    virtual void eventListArrived() {}
};

class PlaybackHandOver {
public:
    // The live controller must already have its session; `localTime` gives the local wall-clock time.
    PlaybackHandOver(LiveController& live, PlaybackShell& shell,
                     playback::PlaybackController::LocalTime localTime);
    ~PlaybackHandOver();
    PlaybackHandOver(const PlaybackHandOver&) = delete;
    PlaybackHandOver& operator=(const PlaybackHandOver&) = delete;

    // The SEARCH button was accepted: live pictures pause and the window opens in the split code of the
    // last live picture's layout. False when it is open already.
    bool open();
    // The window closed (its controller sent the live request): the live window shows again.
    void closed();
    bool isOpen() const { return m_controller.isOpen(); }

    playback::PlaybackController& controller() { return m_controller; }
    // The session's playback host, told besides of the live view's connection state and event list.
    PlaybackPeer& host();
    // Decodes playback pictures on `worker` (nullptr: on the calling thread); it must outlive its use.
    void setDecodeWorker(frame::DecodeWorker* worker);

private:
    class Link;
    class Host;

    LiveController& m_live;
    PlaybackShell& m_shell;
    std::unique_ptr<Link> m_link;
    playback::PlaybackController m_controller;
    std::unique_ptr<Host> m_host;
};

}  // namespace dvr::live
