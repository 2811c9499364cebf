// A session host that hands the recorder session's playback calls to a
// PlaybackController: range, picture time, position, statuses, the picture
// check and the decoded pictures. Owners derive from it for what they show
// besides (the live view's state, the pixels of each picture).
#pragma once

#include "viewer/link/SessionHost.h"
#include "viewer/playback/PlaybackController.h"

namespace dvr::playback {

class PlaybackSessionHost : public link::SessionHost {
public:
    explicit PlaybackSessionHost(PlaybackController& controller) : m_controller(controller) {}

    bool playbackActive() const override { return m_controller.isOpen(); }
    int playState() const override { return m_controller.playState(); }
    bool playing() const override { return m_controller.playing(); }
    void setPlaying(bool on) override;
    // A connect started by a play button failed.
    void runViewDisconnect(link::DisconnectReason reason) override;
    void livePositions(uint32_t play, uint32_t record) override;
    void recordingRange(const link::RecordingRange& range) override;
    void playbackPictureTime(uint32_t dateWord, uint32_t timeWord) override;
    void playbackPosition(uint32_t millionths) override;
    void playbackStatus(uint32_t code) override;
    bool acceptPlaybackPicture(const frame::FrameHeader& header) override;
    void playbackPicture(int channel, const frame::FrameHeader& header,
                         const frame::DecodedPicture& picture) override;

protected:
    // A decoded picture the controller accepted, with the panes it feeds.
    virtual void pictureDrawn(int /*channel*/, const frame::FrameHeader&, const frame::DecodedPicture&,
                              const PaneDrawList&) {}

    PlaybackController& m_controller;
    uint32_t m_recordMillionths = 0;
};

}  // namespace dvr::playback
