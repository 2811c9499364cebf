#include "viewer/playback/PlaybackSessionHost.h"

namespace dvr::playback {

void PlaybackSessionHost::setPlaying(bool on) {
    if (!on)
        m_controller.playingStopped();
}

void PlaybackSessionHost::runViewDisconnect(link::DisconnectReason reason) {
    if (reason == link::DisconnectReason::ConnectFailed)
        m_controller.onConnectFailed();
}

void PlaybackSessionHost::livePositions(uint32_t, uint32_t record) {
    m_recordMillionths = record;
}

void PlaybackSessionHost::recordingRange(const link::RecordingRange& range) {
    m_controller.setRecordingRange(range);
}

void PlaybackSessionHost::playbackPictureTime(uint32_t dateWord, uint32_t timeWord) {
    m_controller.pictureTime(dateWord, timeWord);
}

void PlaybackSessionHost::playbackPosition(uint32_t millionths) {
    m_controller.positionPercent(millionths, m_recordMillionths);
}

void PlaybackSessionHost::playbackStatus(uint32_t code) {
    m_controller.playStatus(code);
}

bool PlaybackSessionHost::acceptPlaybackPicture(const frame::FrameHeader& header) {
    return m_controller.acceptPicture(header);
}

void PlaybackSessionHost::playbackPicture(int channel, const frame::FrameHeader& header,
                                          const frame::DecodedPicture& picture) {
    const PaneDrawList draws = m_controller.pictureArrived(channel, header);
    pictureDrawn(channel, header, picture, draws);
}

}  // namespace dvr::playback
